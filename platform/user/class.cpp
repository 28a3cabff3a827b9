// Window classes, system icons and cursors, and the module handle.
#include <windows.h>

#include <cstring>
#include <strings.h>

#include "class.h"
#include "window.h"

namespace kp::user {

namespace {

WindowClass classes[kMaxClasses];

// Application class atoms, as Windows numbers them.
constexpr ATOM kFirstClassAtom = 0xC000;
ATOM nextAtom = kFirstClassAtom;

constexpr size_t kMaxClassNameLength = 255;

// The executable's instance handle: its image base, as on Windows.
const HINSTANCE kModuleHandle = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000));

HINSTANCE NormalInstance(HINSTANCE instance)
{
    return instance ? instance : kModuleHandle;
}

}  // namespace

WindowClass *FindClass(LPCSTR nameOrAtom)
{
    if (nameOrAtom == nullptr)
        return nullptr;
    if (IS_INTRESOURCE(nameOrAtom)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(nameOrAtom));
        for (WindowClass &c : classes)
            if (c.used && c.atom == atom)
                return &c;
        return nullptr;
    }
    // Class names are compared without regard to case, as on Windows.
    for (WindowClass &c : classes)
        if (c.used && strcasecmp(c.name.c_str(), nameOrAtom) == 0)
            return &c;
    return nullptr;
}

void ForgetClasses()
{
    for (WindowClass &c : classes)
        c = WindowClass{};
    nextAtom = kFirstClassAtom;
}

}  // namespace kp::user

using namespace kp::user;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *wc)
{
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpfnWndProc == nullptr ||
        wc->lpszClassName == nullptr || wc->cbClsExtra < 0 || wc->cbWndExtra < 0)
        return 0;
    if (!IS_INTRESOURCE(wc->lpszClassName) &&
        (wc->lpszClassName[0] == '\0' || strlen(wc->lpszClassName) > kMaxClassNameLength))
        return 0;
    if (IS_INTRESOURCE(wc->lpszClassName))
        return 0;  // registering under a bare atom is not supported
    if (FindClass(wc->lpszClassName) != nullptr)
        return 0;

    for (WindowClass &c : classes) {
        if (c.used)
            continue;
        c.used = true;
        c.atom = nextAtom++;
        c.name = wc->lpszClassName;
        c.style = wc->style;
        c.wndProc = wc->lpfnWndProc;
        c.instance = NormalInstance(wc->hInstance);
        c.icon = wc->hIcon;
        c.iconSmall = wc->hIconSm;
        c.cursor = wc->hCursor;
        c.background = wc->hbrBackground;
        return c.atom;
    }
    return 0;  // class table full
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance)
{
    WindowClass *cls = FindClass(className);
    if (cls == nullptr || cls->instance != NormalInstance(instance))
        return FALSE;
    for (int i = 0; i < kMaxWindows; ++i) {
        Window *w = WindowAt(i);
        if (w->used && w->cls == cls)
            return FALSE;  // a class with windows cannot go
    }
    *cls = WindowClass{};
    return TRUE;
}

// ---- System icons and cursors ------------------------------------------------

namespace {

// Stable handles for the predefined resources, one per identifier.
constexpr uintptr_t kIconHandleBase = 0x00010000;
constexpr uintptr_t kCursorHandleBase = 0x00020000;

bool IsSystemIcon(uintptr_t id)
{
    return id >= 32512 && id <= 32518;  // IDI_APPLICATION .. IDI_SHIELD
}

bool IsSystemCursor(uintptr_t id)
{
    // IDC_ARROW .. IDC_UPARROW, and IDC_SIZE .. IDC_HELP.
    return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
}

// The handle of a predefined resource: the program has no resources of its
// own, so only the system's exist, asked for with a NULL instance and an
// identifier. 0 when there is no such resource.
uintptr_t SystemResource(HINSTANCE instance, LPCSTR name, bool (*known)(uintptr_t), uintptr_t base)
{
    if (instance != nullptr || !IS_INTRESOURCE(name))
        return 0;
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    return known(id) ? base + id : 0;
}

}  // namespace

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    return reinterpret_cast<HICON>(SystemResource(instance, name, IsSystemIcon, kIconHandleBase));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    return reinterpret_cast<HCURSOR>(
        SystemResource(instance, name, IsSystemCursor, kCursorHandleBase));
}

// ---- Process -------------------------------------------------------------------

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    // Only the executable itself is known by handle.
    return moduleName == nullptr ? kModuleHandle : nullptr;
}
