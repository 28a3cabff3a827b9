// The seat on Wayland: the pointer over the program's windows (not over
// their frames, which libdecor serves) and the keyboard's modifiers and
// Alt+F4. Positions come in the surface's logical pixels, which are the
// program's. While a button pressed in a window is held, the compositor
// keeps sending that window the pointer's positions, outside it too; the
// window's pointer state drops those, as Windows sends nothing there to a
// window without capture.
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-cursor.h>

#include <cmath>
#include <cstdlib>

#include "../../user/host_events.h"
#include "../pointer_input.h"
#include "wayland_host.h"

namespace kp::host {

namespace {

WaylandHost &Self(void *data)
{
    return *static_cast<WaylandHost *>(data);
}

void OnCapabilities(void *data, wl_seat *, uint32_t capabilities)
{
    Self(data).SeatCapabilities(capabilities);
}

void OnSeatName(void *, wl_seat *, const char *) {}

const wl_seat_listener kSeatListener = {OnCapabilities, OnSeatName};

void OnPointerEnter(void *data, wl_pointer *, uint32_t serial, wl_surface *surface, wl_fixed_t x,
                    wl_fixed_t y)
{
    Self(data).PointerEntered(surface, serial, x, y);
}

void OnPointerLeave(void *data, wl_pointer *, uint32_t, wl_surface *surface)
{
    Self(data).PointerLeft(surface);
}

void OnMotion(void *data, wl_pointer *, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    Self(data).PointerMoved(x, y);
}

void OnButton(void *data, wl_pointer *, uint32_t, uint32_t, uint32_t button, uint32_t state)
{
    Self(data).PointerButton(button, state);
}

void OnAxis(void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {}
void OnFrame(void *, wl_pointer *) {}
void OnAxisSource(void *, wl_pointer *, uint32_t) {}
void OnAxisStop(void *, wl_pointer *, uint32_t, uint32_t) {}
void OnAxisDiscrete(void *, wl_pointer *, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {
    OnPointerEnter, OnPointerLeave, OnMotion,   OnButton,       OnAxis,
    OnFrame,        OnAxisSource,   OnAxisStop, OnAxisDiscrete, OnAxisDiscrete};

void OnKeymap(void *data, wl_keyboard *, uint32_t format, int32_t fd, uint32_t size)
{
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1)
        Self(data).Keymap(fd, size);
    close(fd);
}

void OnKeyboardEnter(void *data, wl_keyboard *, uint32_t, wl_surface *surface, wl_array *)
{
    Self(data).KeyboardEntered(surface);
}

void OnKeyboardLeave(void *data, wl_keyboard *, uint32_t, wl_surface *)
{
    Self(data).KeyboardEntered(nullptr);
}

void OnKey(void *data, wl_keyboard *, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    Self(data).Key(key, state);
}

void OnModifiers(void *data, wl_keyboard *, uint32_t, uint32_t depressed, uint32_t latched,
                 uint32_t locked, uint32_t group)
{
    Self(data).Modifiers(depressed, latched, locked, group);
}

void OnRepeatInfo(void *, wl_keyboard *, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {OnKeymap, OnKeyboardEnter, OnKeyboardLeave,
                                                OnKey,    OnModifiers,     OnRepeatInfo};

bool ButtonFromCode(uint32_t code, MouseButton *out)
{
    switch (code) {
    case BTN_LEFT:
        *out = MouseButton::Left;
        return true;
    case BTN_RIGHT:
        *out = MouseButton::Right;
        return true;
    case BTN_MIDDLE:
        *out = MouseButton::Middle;
        return true;
    case BTN_SIDE:
        *out = MouseButton::X1;
        return true;
    case BTN_EXTRA:
        *out = MouseButton::X2;
        return true;
    default:
        return false;
    }
}

// The program's pixel under a position: the one it falls in.
int Pixel(wl_fixed_t position)
{
    return static_cast<int>(std::floor(wl_fixed_to_double(position)));
}

}  // namespace

void WaylandHost::ListenToSeat()
{
    wl_seat_add_listener(seat_, &kSeatListener, this);
    if (xkb_ == nullptr)
        xkb_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
}

void WaylandHost::SeatCapabilities(uint32_t capabilities)
{
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (pointer && pointer_ == nullptr) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &kPointerListener, this);
    } else if (!pointer && pointer_ != nullptr) {
        wl_pointer_destroy(pointer_);
        pointer_ = nullptr;
    }
    if (keyboard && keyboard_ == nullptr) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
    } else if (!keyboard && keyboard_ != nullptr) {
        wl_keyboard_destroy(keyboard_);
        keyboard_ = nullptr;
    }
}

void WaylandHost::DropSeat()
{
    SeatCapabilities(0);
    if (cursorTheme_ != nullptr)
        wl_cursor_theme_destroy(cursorTheme_);
    if (cursorSurface_ != nullptr)
        wl_surface_destroy(cursorSurface_);
    if (keyState_ != nullptr)
        xkb_state_unref(keyState_);
    if (keymap_ != nullptr)
        xkb_keymap_unref(keymap_);
    if (xkb_ != nullptr)
        xkb_context_unref(xkb_);
    if (seat_ != nullptr)
        wl_seat_destroy(seat_);
    cursorTheme_ = nullptr;
    cursorSurface_ = nullptr;
    keyState_ = nullptr;
    keymap_ = nullptr;
    xkb_ = nullptr;
    seat_ = nullptr;
    seatName_ = 0;
    pointerWindow_ = keyboardWindow_ = 0;
}

// The arrow, at the window's scale, from the cursor theme (XCURSOR_THEME,
// XCURSOR_SIZE), where there is one.
void WaylandHost::SetCursor(uint32_t serial, int scale)
{
    if (cursorScale_ != scale) {
        if (cursorTheme_ != nullptr)
            wl_cursor_theme_destroy(cursorTheme_);
        const char *size = std::getenv("XCURSOR_SIZE");
        const int pixels = (size != nullptr && std::atoi(size) > 0 ? std::atoi(size) : 24) * scale;
        cursorTheme_ = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), pixels, shm_);
        cursorScale_ = scale;
    }
    wl_cursor *cursor =
        cursorTheme_ ? wl_cursor_theme_get_cursor(cursorTheme_, "left_ptr") : nullptr;
    if (cursor == nullptr || cursor->image_count == 0)
        return;
    wl_cursor_image *image = cursor->images[0];
    if (cursorSurface_ == nullptr)
        cursorSurface_ = wl_compositor_create_surface(compositor_);
    wl_surface_set_buffer_scale(cursorSurface_, scale);
    wl_surface_attach(cursorSurface_, wl_cursor_image_get_buffer(image), 0, 0);
    wl_surface_damage_buffer(cursorSurface_, 0, 0, int(image->width), int(image->height));
    wl_surface_commit(cursorSurface_);
    wl_pointer_set_cursor(pointer_, serial, cursorSurface_, int(image->hotspot_x) / scale,
                          int(image->hotspot_y) / scale);
}

void WaylandHost::PointerEntered(wl_surface *surface, uint32_t serial, wl_fixed_t x, wl_fixed_t y)
{
    WaylandWindow *w = WindowOf(surface);
    pointerWindow_ = w != nullptr ? w->id : 0;
    if (w == nullptr)
        return;  // a frame's surface: libdecor's
    SetCursor(serial, w->Shm().Scale());
    pointerX_ = x;
    pointerY_ = y;
    Queue(HostEvent{kPointerEnter, uint32_t(w->id), x, y, 0, 0, 0, 0});
}

void WaylandHost::PointerLeft(wl_surface *surface)
{
    WaylandWindow *w = WindowOf(surface);
    if (w != nullptr)
        Queue(HostEvent{kPointerLeave, uint32_t(w->id), 0, 0, 0, 0, 0, 0});
    pointerWindow_ = 0;
}

void WaylandHost::PointerMoved(wl_fixed_t x, wl_fixed_t y)
{
    pointerX_ = x;
    pointerY_ = y;
    if (pointerWindow_ != 0)
        Queue(HostEvent{kPointerMotion, uint32_t(pointerWindow_), x, y, 0, 0, 0, 0});
}

void WaylandHost::PointerButton(uint32_t button, uint32_t state)
{
    if (pointerWindow_ != 0)
        Queue(HostEvent{kPointerButton, uint32_t(pointerWindow_), pointerX_, pointerY_, 0, 0,
                        state == WL_POINTER_BUTTON_STATE_PRESSED, button});
}

void WaylandHost::KeyboardEntered(wl_surface *surface)
{
    WaylandWindow *w = WindowOf(surface);
    keyboardWindow_ = w != nullptr ? w->id : 0;
}

void WaylandHost::Keymap(int fd, uint32_t size)
{
    void *text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text == MAP_FAILED || xkb_ == nullptr)
        return;
    xkb_keymap *keymap =
        xkb_keymap_new_from_string(xkb_, static_cast<const char *>(text), XKB_KEYMAP_FORMAT_TEXT_V1,
                                   XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr)
        return;
    if (keyState_ != nullptr)
        xkb_state_unref(keyState_);
    if (keymap_ != nullptr)
        xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    keyState_ = xkb_state_new(keymap);
}

void WaylandHost::Modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group)
{
    if (keyState_ == nullptr)
        return;
    xkb_state_update_mask(keyState_, depressed, latched, locked, 0, 0, group);
    const bool shift =
        xkb_state_mod_name_is_active(keyState_, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE) > 0;
    const bool control =
        xkb_state_mod_name_is_active(keyState_, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE) > 0;
    Queue(HostEvent{kModifiers, 0, 0, 0, 0, 0, uint32_t(shift) | uint32_t(control) << 1, 0});
}

// Alt+F4 closes the window with the keyboard focus, as on Windows.
void WaylandHost::Key(uint32_t key, uint32_t state)
{
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED || keyState_ == nullptr || keyboardWindow_ == 0)
        return;
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(keyState_, key + 8);  // evdev to XKB
    const bool alt =
        xkb_state_mod_name_is_active(keyState_, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0;
    const bool control =
        xkb_state_mod_name_is_active(keyState_, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE) > 0;
    if (sym == XKB_KEY_F4 && alt && !control)
        Queue(HostEvent{kCloseKey, uint32_t(keyboardWindow_), 0, 0, 0, 0, 0, 0});
}

bool WaylandHost::DeliverPointer(WaylandWindow &w, const HostEvent &e)
{
    const int x = Pixel(e.x), y = Pixel(e.y);
    switch (e.type) {
    case kPointerLeave:
        w.pointer.PointerLeft();
        return false;
    case kPointerButton: {
        MouseButton button;
        return ButtonFromCode(e.detail, &button) &&
               kp::host::PointerButton(w, button, e.state != 0, x, y);
    }
    default:  // an enter or a motion
        return kp::host::PointerMoved(w, x, y);
    }
}

bool WaylandHost::Deliver(const HostEvent &e)
{
    if (e.type == kModifiers) {
        windows_.ForEach<HostWindow>(
            [&e](HostWindow &w) { w.pointer.SetModifiers(e.state & 1, e.state & 2); });
        return false;
    }
    WaylandWindow *w = WindowWithId(int(e.window));
    if (w == nullptr)
        return false;
    switch (e.type) {
    case kCloseKey:
    case kCloseRequest:
        kp::user::HostCloseRequested(w->hwnd);
        return true;
    case kConfigure:
        return DeliverConfigure(*w, e);
    default:
        return w->Showing() && DeliverPointer(*w, e);
    }
}

}  // namespace kp::host
