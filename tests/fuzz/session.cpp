// A hostile session of the program, decoded from bytes.
//
// Input layout (every read past the end gives 0, so any byte string is a
// session):
//   screen   1 byte: 0x00..0xEF a small screen, 0xF0..0xF7 one about the
//            window's size, 0xF8..0xFD a desktop one; 0xFE a large one (up to
//            7680 x 4320), picked by 1 more byte; 0xFF any size, 2 + 2 bytes
//            (width % 7681, height % 4321: 0 x 0 up to 7680 x 4320, the
//            height cut to keep at most 256 K pixels, less than the window)
//   show     1 byte: the start-up show command (kShowCommands)
//   then operations until the input ends, each one code byte and its
//   arguments (see Session::Step). Codes 248..255 close the window.
//
// The program is the real one: WinMain runs on this thread, and whenever its
// message loop has nothing left to do the host asks the session for the next
// operations (HeadlessHost::SetInputSource), so that a session costs no
// thread hand-offs. Each time, before it goes on, the session checks that
// the host shows exactly the window's surface and that whatever the layer
// takes to be a copy of the canvas really is one.
#include "session.h"

#include <windows.h>

#include <kp_diagnostics.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/wndproc.h"
#include "draw/canvas.h"
#include "gdi/objects.h"
#include "gdi/rects.h"
#include "host/headless/headless.h"
#include "user/host_events.h"
#include "user/window.h"

namespace kpfuzz {

namespace {

class Reader {
  public:
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool Done() const { return pos_ >= size_; }
    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t U16()
    {
        uint16_t low = U8();
        return static_cast<uint16_t>(low | (U8() << 8));
    }
    uint32_t U32()
    {
        uint32_t low = U16();
        return low | (uint32_t(U16()) << 16);
    }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

struct Size {
    int width, height;
};

// Screens, by the cost of their canvas and of a maximized window (both as
// large as the screen): most sessions get a small screen, smaller than the
// window in both directions or in one (the program's paths are the same on
// any screen), fewer one about the window's size (584 x 461 is its client
// area), few a desktop-sized one, and very few the large ones, whose canvas
// alone costs as much as forty small sessions.
constexpr Size kSmallScreens[] = {{1, 1},     {1, 2},     {2, 1},    {16, 16},
                                  {200, 150}, {320, 200}, {700, 40}, {40, 700}};
constexpr Size kWindowSizedScreens[] = {{584, 461}, {600, 500}, {640, 480}, {800, 600}};
constexpr Size kDesktopScreens[] = {{1024, 768}, {1366, 768}, {1280, 1024}, {1920, 1080}};
constexpr Size kLargeScreens[] = {{2560, 1440}, {3840, 2160}, {7680, 4320}};
constexpr long long kMaxAnyScreenPixels = 1ll << 18;

constexpr int kShowCommands[] = {SW_SHOWNORMAL,  SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED,
                                 SW_SHOWDEFAULT, SW_HIDE,          SW_SHOWNOACTIVATE,
                                 SW_SHOW,        SW_MINIMIZE,      SW_RESTORE};
constexpr int kShowCount = sizeof(kShowCommands) / sizeof(kShowCommands[0]);

constexpr WPARAM kKeyStates[] = {
    MK_LBUTTON,
    0,
    MK_LBUTTON | MK_SHIFT,
    MK_LBUTTON | MK_CONTROL,
    MK_LBUTTON | MK_RBUTTON,
    MK_RBUTTON,
    MK_LBUTTON | MK_MBUTTON,
    MK_LBUTTON | MK_XBUTTON1,
};
constexpr int kKeyStateCount = sizeof(kKeyStates) / sizeof(kKeyStates[0]);

constexpr UINT kMouseMessages[] = {
    WM_MOUSEMOVE,     WM_LBUTTONDOWN, WM_LBUTTONUP,   WM_LBUTTONDBLCLK,
    WM_RBUTTONDOWN,   WM_RBUTTONUP,   WM_MBUTTONDOWN, WM_MBUTTONUP,
    WM_XBUTTONDOWN,   WM_XBUTTONUP,   WM_MOUSEWHEEL,  WM_MOUSEMOVE,
    WM_RBUTTONDBLCLK, WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_RBUTTONDOWN,
};
constexpr int kMouseMessageCount = sizeof(kMouseMessages) / sizeof(kMouseMessages[0]);

constexpr WPARAM kSystemCommands[] = {SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_SIZE, SC_CLOSE};
constexpr int kSystemCommandCount = sizeof(kSystemCommands) / sizeof(kSystemCommands[0]);

// Messages that only the platform itself sends, once, at a given moment
// (creation, destruction, the quit message), and those whose parameters are
// pointers in Win32: posting made-up values for them would be the sender's
// fault on Windows too. They become WM_NULL; WM_SETTEXT and WM_GETTEXT are
// sent with real buffers instead (see Session::Arbitrary).
bool SenderOnlyMessage(UINT message)
{
    switch (message) {
    case 0x0001:  // WM_CREATE: a second one would build a second canvas
    case 0x0002:  // WM_DESTROY: the drawing state would go while the window
                  // lives on, and a right click still queued would then make
                  // a pen that nothing deletes (found by this fuzzer; a real
                  // destruction discards the window's queued messages)
    case 0x0012:  // WM_QUIT: a thread message, never a window's
    case 0x001A:  // WM_SETTINGCHANGE (string)
    case 0x001B:  // WM_DEVMODECHANGE (string)
    case 0x0024:  // WM_GETMINMAXINFO
    case 0x002B:  // WM_DRAWITEM
    case 0x002C:  // WM_MEASUREITEM
    case 0x002D:  // WM_DELETEITEM
    case 0x0039:  // WM_COMPAREITEM
    case 0x0046:  // WM_WINDOWPOSCHANGING
    case 0x0047:  // WM_WINDOWPOSCHANGED
    case 0x004A:  // WM_COPYDATA
    case 0x004E:  // WM_NOTIFY
    case 0x0053:  // WM_HELP
    case 0x007C:  // WM_STYLECHANGING
    case 0x007D:  // WM_STYLECHANGED
    case 0x0081:  // WM_NCCREATE
    case 0x0083:  // WM_NCCALCSIZE
    case 0x0214:  // WM_SIZING
    case 0x0216:  // WM_MOVING
    case 0x0220:  // WM_MDICREATE
        return true;
    default:
        return false;
    }
}

// The largest client area asked of the host: twice the screen's, but at
// least 64 K pixels (256 x 256, or 8192 wide and 8 high) and at most 1 M
// (half a full HD screen); at most 8192 pixels a side.
constexpr long long kMinClientBound = 1ll << 16;
constexpr long long kMaxClientBound = 1ll << 20;
constexpr long long kMaxClientSide = 8192;
// The host's inbox holds 4096 events; hand over well before that. One
// operation injects at most kMaxStepEvents.
constexpr int kInboxRoom = 4000;
constexpr int kMaxStepEvents = 128;

class Session {
  public:
    Session(Reader &in, kp::host::HeadlessHost &host) : in_(in), host_(host) {}

    SessionResult Run()
    {
        KpGdiCounts before;
        KpGetGdiCounts(&before);
        screen_ = ScreenFromInput();
        host_.SetScreenSize(screen_.width, screen_.height);
        host_.SetStartupShowCommand(kShowCommands[in_.U8() % kShowCount]);
        host_.SetInputSource([this] { Feed(); });
        char commandLine[] = "";
        int code = WinMain(GetModuleHandleA(NULL), NULL, commandLine, SW_SHOWDEFAULT);
        ReleaseHoard();
        if (result_.ok && code != 0)
            Fail("the program ended with " + std::to_string(code) + ", not 0");
        if (result_.ok)
            CheckCounts(before);
        return result_;
    }

  private:
    void Fail(const std::string &what)
    {
        if (result_.ok) {
            result_.ok = false;
            result_.failure = what;
        }
    }

    Size ScreenFromInput()
    {
        uint8_t pick = in_.U8();
        if (pick == 0xFF) {
            long long width = in_.U16() % 7681, height = in_.U16() % 4321;
            if (width * height > kMaxAnyScreenPixels)
                height = kMaxAnyScreenPixels / width;
            return Size{int(width), int(height)};
        }
        if (pick == 0xFE)
            return kLargeScreens[in_.U8() % 3];
        if (pick >= 0xF8)
            return kDesktopScreens[pick % 4];
        if (pick >= 0xF0)
            return kWindowSizedScreens[pick % 4];
        return kSmallScreens[pick % 8];
    }

    long long ClientBound() const
    {
        const long long twice = 2ll * screen_.width * screen_.height;
        return std::clamp(twice, kMinClientBound, kMaxClientBound);
    }

    // The program waits for input: check what it shows, then hand over the
    // next operations, as many as the host's inbox takes, up to a drain.
    void Feed()
    {
        if (hwnd_ == NULL)
            hwnd_ = host_.MainWindow();
        ++result_.rounds;
        Check();
        if (!result_.ok || in_.Done()) {
            End();
            return;
        }
        pending_ = 0;
        drain_ = false;
        while (result_.ok && !drain_ && !in_.Done() && pending_ + kMaxStepEvents <= kInboxRoom) {
            Step();
            ++result_.operations;
        }
        if (pending_ == 0)
            host_.Wake();  // the operations acted directly: look at the queue again
    }

    // No more input: close the window, as the user would, once; should the
    // program go on waiting, that is a failure, and its loop is ended.
    void End()
    {
        if (!closed_ && IsWindow(hwnd_)) {
            closed_ = true;
            host_.RequestClose(hwnd_);
            return;
        }
        Fail("closing the window did not end the program");
        host_.EndLoop();
    }

    void Room(int events) { pending_ += events; }

    void Check()
    {
        kp::user::Window *w = kp::user::FromHandle(hwnd_);
        if (w == nullptr)
            return;
        if (!kp::gdi::CopiesHold(w->surface))
            Fail("the window's pixels are not the copy of the canvas that the layer takes "
                 "them for: copying the canvas again would skip pixels that differ");
        else if (w->visible && !IsIconic(hwnd_) && !host_.ShowsSurface(hwnd_))
            Fail("the shown window differs from its surface: a changed pixel was not presented");
    }

    Size Client()
    {
        RECT r = {0, 0, 0, 0};
        GetClientRect(hwnd_, &r);
        return Size{r.right, r.bottom};
    }

    // A point: anywhere a 16-bit coordinate reaches, or inside the client.
    POINT Point()
    {
        uint8_t mode = in_.U8();
        int x = in_.U16(), y = in_.U16();
        if (mode & 1) {
            Size c = Client();
            x %= c.width + 1;
            y %= c.height + 1;
        }
        return POINT{x, y};
    }

    WPARAM Keys()
    {
        uint8_t pick = in_.U8();
        return pick >= 0xF0 ? WPARAM(in_.U8()) : kKeyStates[pick % kKeyStateCount];
    }

    Size ResizeTarget()
    {
        long long width = 0, height = 0;
        switch (in_.U8() % 8) {
        case 0:
            break;
        case 1:
            width = height = 1;
            break;
        case 2:
            width = in_.U8();
            height = in_.U8();
            break;
        case 3:
            width = in_.U16() % 2048;
            height = in_.U16() % 2048;
            break;
        case 4:
            width = screen_.width;
            height = screen_.height;
            break;
        case 5:
            width = screen_.width + in_.U8();
            height = screen_.height + in_.U8();
            break;
        case 6:
            width = 2ll * screen_.width + in_.U8();
            height = 2ll * screen_.height + in_.U8();
            break;
        default:
            width = in_.U16();
            height = in_.U16();
            break;
        }
        // Each side is bounded too, so that a session stays quick.
        width = std::min(width, kMaxClientSide);
        height = std::min(height, kMaxClientSide);
        const long long bound = ClientBound();
        if (width > 0 && width * height > bound)
            height = bound / width;
        return Size{int(width), int(height)};
    }

    // Pens until GDI's object table is full, then gives back `spare` of them.
    void Hoard(int spare)
    {
        for (;;) {
            HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
            if (pen == NULL)
                break;
            hoard_.push_back(pen);
        }
        for (; spare > 0 && !hoard_.empty(); --spare) {
            DeleteObject(hoard_.back());
            hoard_.pop_back();
        }
    }

    void ReleaseHoard()
    {
        for (HPEN pen : hoard_)
            DeleteObject(pen);
        hoard_.clear();
    }

    // Any message, any parameters, posted or sent.
    void Arbitrary()
    {
        uint8_t mode = in_.U8();
        UINT message = (mode & 2) ? in_.U32() : in_.U16();
        WPARAM wParam = in_.U32();
        LPARAM lParam = (mode & 4) ? LPARAM(int32_t(in_.U32())) : LPARAM(in_.U32());
        if (message == WM_SETTEXT) {
            int length = in_.U8() % sizeof(text_);
            for (int i = 0; i < length; ++i)
                text_[i] = char(in_.U8() | 1);
            text_[length] = '\0';
            SendMessageA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_));
            return;
        }
        if (message == WM_GETTEXT) {
            SendMessageA(hwnd_, WM_GETTEXT, wParam % (sizeof(text_) + 1),
                         reinterpret_cast<LPARAM>(text_));
            return;
        }
        if (SenderOnlyMessage(message))
            message = WM_NULL;
        if (mode & 1)
            SendMessageA(hwnd_, message, wParam, lParam);
        else
            PostMessageA(hwnd_, message, wParam, lParam);
    }

    // One operation.
    void Step()
    {
        uint8_t code = in_.U8();
        if (code >= 248) {
            Room(1);
            host_.RequestClose(hwnd_);
        } else if (code % 16 < 6) {
            InputStep(code % 16);
        } else {
            WindowStep(code);
        }
    }

    // What the user does with the mouse, and what other programs send.
    void InputStep(int kind)
    {
        switch (kind) {
        case 0: {  // the pointer moves (the host drops it outside the client)
            POINT p = Point();
            Room(1);
            host_.MouseMove(hwnd_, p.x, p.y, Keys());
            break;
        }
        case 1: {  // left button down
            POINT p = Point();
            Room(1);
            host_.MouseButton(hwnd_, WM_LBUTTONDOWN, p.x, p.y, MK_LBUTTON);
            break;
        }
        case 2: {  // left button up
            POINT p = Point();
            Room(1);
            host_.MouseButton(hwnd_, WM_LBUTTONUP, p.x, p.y, 0);
            break;
        }
        case 3: {  // a burst of right clicks
            int clicks = in_.U8() % 64 + 1;
            POINT p = Point();
            WPARAM keys = Keys() & ~WPARAM(MK_RBUTTON);
            for (int i = 0; i < clicks; ++i) {
                Room(2);
                host_.MouseButton(hwnd_, WM_RBUTTONDOWN, p.x, p.y, keys | MK_RBUTTON);
                host_.MouseButton(hwnd_, WM_RBUTTONUP, p.x, p.y, keys);
            }
            break;
        }
        case 4: {  // a mouse message straight to the window, any coordinates
            UINT message = kMouseMessages[in_.U8() % kMouseMessageCount];
            WPARAM keys = in_.U16();
            int x = in_.U16(), y = in_.U16();
            PostMessageA(hwnd_, message, keys, MAKELPARAM(x, y));
            break;
        }
        default:
            Arbitrary();
            break;
        }
    }

    // What happens to the window, to GDI's table and to the screen.
    void WindowStep(uint8_t code)
    {
        switch (code % 16) {
        case 6: {
            Size s = ResizeTarget();
            Room(1);
            host_.Resize(hwnd_, s.width, s.height);
            break;
        }
        case 7:
            Room(1);
            host_.Minimize(hwnd_);
            break;
        case 8:
            Room(1);
            host_.Restore(hwnd_);
            break;
        case 9:
            Room(1);
            host_.Maximize(hwnd_);
            break;
        case 10: {  // something covered part of the window and went away
            RECT r;
            r.left = int16_t(in_.U16());
            r.top = int16_t(in_.U16());
            r.right = int16_t(in_.U16());
            r.bottom = int16_t(in_.U16());
            Room(1);
            host_.CoverAndUncover(hwnd_, r);
            break;
        }
        case 11: {  // the system menu or a caption button
            WPARAM command = kSystemCommands[in_.U8() % kSystemCommandCount];
            PostMessageA(hwnd_, WM_SYSCOMMAND, command | (in_.U8() & 0x0F), 0);
            break;
        }
        case 12:  // filling GDI's table costs as much as a whole session:
                  // only a quarter of these codes do, the rest empty it
            if (code < 0x40)
                Hoard(in_.U8() % 8);
            else
                ReleaseHoard();
            break;
        case 13:
            ReleaseHoard();
            break;
        case 14:  // let the program drain its queue
            drain_ = true;
            break;
        default: {  // the screen's resolution changes under the program
            screen_ = ScreenFromInput();
            host_.SetScreenSize(screen_.width, screen_.height);
            break;
        }
        }
    }

    void CheckCounts(const KpGdiCounts &before)
    {
        KpGdiCounts after;
        KpGetGdiCounts(&after);
        char text[256];
        std::snprintf(text, sizeof text,
                      "GDI objects not given back: window DCs %d -> %d, memory DCs %d -> %d, "
                      "bitmaps %d -> %d, pens %d -> %d, brushes %d -> %d",
                      before.dcs, after.dcs, before.memoryDcs, after.memoryDcs, before.bitmaps,
                      after.bitmaps, before.pens, after.pens, before.brushes, after.brushes);
        if (after.total != before.total || after.dcs != before.dcs ||
            after.memoryDcs != before.memoryDcs || after.bitmaps != before.bitmaps ||
            after.pens != before.pens || after.brushes != before.brushes) {
            Fail(text);
            return;
        }
        if (after.deletedWhileSelected != before.deletedWhileSelected)
            Fail("an object was deleted while still selected into a DC");
    }

    Reader &in_;
    kp::host::HeadlessHost &host_;
    HWND hwnd_ = NULL;
    Size screen_ = {0, 0};
    int pending_ = 0;  // events injected since the program last waited
    bool drain_ = false;
    bool closed_ = false;
    std::vector<HPEN> hoard_;
    char text_[64] = {};
    SessionResult result_;
};

}  // namespace

SessionResult RunSession(kp::host::HeadlessHost &host, const uint8_t *data, size_t size)
{
    // A fresh process: no classes, no windows, an empty queue, no input left
    // over from the last one.
    kp::user::ResetForNewProcess();
    kp::host::SetHost(&host);
    host.DiscardInput();
    SessionResult result;
    if (host.MainWindow() != NULL) {
        result.ok = false;
        result.failure = "the host still shows a window of an earlier session";
        return result;
    }
    Reader in(data, size);
    result = Session(in, host).Run();
    host.SetInputSource(nullptr);  // it refers to the session
    return result;
}

SessionResult RunSession(const uint8_t *data, size_t size)
{
    kp::host::HeadlessHost host;
    return RunSession(host, data, size);
}

}  // namespace kpfuzz
