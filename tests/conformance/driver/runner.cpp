#include "runner.h"

#include <cstdlib>
#include <sstream>

#include "../../../app/wndproc.h"
#include "../../../draw/canvas.h"

namespace conf {

namespace {

const char kWindowClass[] = "kp-conformance";

bool ParseInt(const std::string &s, int *v)
{
    char *end = nullptr;
    long n = strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0')
        return false;
    *v = static_cast<int>(n);
    return true;
}

bool ParseColour(const std::string &s, COLORREF *c)
{
    if (s.size() != 6)
        return false;
    char *end = nullptr;
    unsigned long rgb = strtoul(s.c_str(), &end, 16);
    if (*end != '\0')
        return false;
    *c = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    return true;
}

uint32_t RgbFromColorref(COLORREF c)
{
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

bool ParseRop(const std::string &s, DWORD *rop)
{
    static const struct {
        const char *name;
        DWORD rop;
    } kRops[] = {{"srccopy", SRCCOPY},     {"srcpaint", SRCPAINT},   {"srcand", SRCAND},
                 {"srcinvert", SRCINVERT}, {"patcopy", PATCOPY},     {"patinvert", PATINVERT},
                 {"dstinvert", DSTINVERT}, {"blackness", BLACKNESS}, {"whiteness", WHITENESS}};
    for (const auto &r : kRops) {
        if (s == r.name) {
            *rop = r.rop;
            return true;
        }
    }
    return false;
}

bool ParseMessage(const std::string &s, UINT *message)
{
    static const struct {
        const char *name;
        UINT message;
    } kMessages[] = {{"mousemove", WM_MOUSEMOVE},        {"lbuttondown", WM_LBUTTONDOWN},
                     {"lbuttonup", WM_LBUTTONUP},        {"rbuttondown", WM_RBUTTONDOWN},
                     {"rbuttonup", WM_RBUTTONUP},        {"mbuttondown", WM_MBUTTONDOWN},
                     {"lbuttondblclk", WM_LBUTTONDBLCLK}};
    for (const auto &m : kMessages) {
        if (s == m.name) {
            *message = m.message;
            return true;
        }
    }
    return false;
}

// The fixed pattern of the blit source: every pixel a different colour.
COLORREF SourcePixel(int x, int y)
{
    return RGB((x * 37 + y * 11) & 0xFF, (y * 29 + 64) & 0xFF, ((x ^ y) * 13) & 0xFF);
}

}  // namespace

Runner::~Runner()
{
    EndFrame();
    FreeSource();
    CloseWindow();
}

bool Runner::Run(const std::string &script, std::string *error)
{
    std::istringstream lines(script);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty())
            continue;
        std::string why;
        if (!Exec(w, &why)) {
            *error = "line " + std::to_string(number) + " (" + line + "): " + why;
            return false;
        }
    }
    if (dc_) {
        *error = "the last frame has no snap";
        return false;
    }
    return true;
}

bool Runner::Exec(const std::vector<std::string> &w, std::string *error)
{
    const std::string &op = w[0];
    std::vector<int> n;
    // Arguments that must be numbers, by position; the rest are checked per operation.
    auto ints = [&](size_t first, size_t count) {
        if (w.size() < first + count) {
            *error = "too few arguments";
            return false;
        }
        n.clear();
        for (size_t i = first; i < first + count; ++i) {
            int v;
            if (!ParseInt(w[i], &v)) {
                *error = "not a number: " + w[i];
                return false;
            }
            n.push_back(v);
        }
        return true;
    };
    auto colour = [&](size_t i, COLORREF *c) {
        if (i >= w.size() || !ParseColour(w[i], c)) {
            *error = "not a colour (RRGGBB)";
            return false;
        }
        return true;
    };
    auto rop = [&](size_t i, DWORD *r) {
        if (i >= w.size() || !ParseRop(w[i], r)) {
            *error = "not a raster operation";
            return false;
        }
        return true;
    };
    auto needFrame = [&]() {
        if (!dc_)
            *error = "no frame";
        return dc_ != NULL;
    };

    if (op == "frame")
        return BeginFrame(w, error);
    if (op == "window-open")
        return OpenWindow(error);
    if (op == "window-close") {
        CloseWindow();
        return true;
    }
    if (op == "wm" || op == "window-pen" || op == "window-update" || op == "window-snap" ||
        op == "window-client-snap") {
        if (!window_ || !hdcCanvas) {
            *error = "no window";
            return false;
        }
        if (op == "wm") {
            UINT message;
            if (w.size() < 2 || !ParseMessage(w[1], &message)) {
                *error = "unknown message";
                return false;
            }
            if (!ints(2, 3))
                return false;
            SendMessageA(window_, message, static_cast<WPARAM>(n[0]), MAKELPARAM(n[1], n[2]));
            return true;
        }
        if (op == "window-pen") {
            COLORREF c;
            if (!ints(1, 1) || !colour(2, &c))
                return false;
            ChangeWindowPen(n[0], c);
            return true;
        }
        if (op == "window-update") {
            ShowWindow(window_, SW_SHOWNORMAL);
            UpdateWindow(window_);
            return true;
        }
        if (!ints(4, 4))
            return false;
        frame_ = Frame();
        frame_.script = w[1];
        frame_.penClass = w[2];
        frame_.name = w[3];
        frame_.background = 0xFFFFFF;
        if (w.size() > 8)
            frame_.sameAs = w[8];
        if (op == "window-snap") {
            Snap(hdcCanvas, n[0], n[1], n[2], n[3]);
        } else {
            HDC windowDc = GetDC(window_);
            Snap(windowDc, n[0], n[1], n[2], n[3]);
            ReleaseDC(window_, windowDc);
        }
        return true;
    }

    if (!needFrame())
        return false;
    if (op == "pen") {
        COLORREF c;
        if (!ints(1, 1) || !colour(2, &c))
            return false;
        SelectPen(CreatePen(PS_SOLID, n[0], c));
    } else if (op == "brush") {
        COLORREF c;
        if (!colour(1, &c))
            return false;
        SelectBrush(CreateSolidBrush(c), true);
    } else if (op == "brush-stock") {
        if (!ints(1, 1))
            return false;
        SelectBrush(static_cast<HBRUSH>(GetStockObject(n[0])), false);
    } else if (op == "move") {
        if (!ints(1, 2))
            return false;
        MoveToEx(dc_, n[0], n[1], NULL);
    } else if (op == "line") {
        if (!ints(1, 2))
            return false;
        LineTo(dc_, n[0], n[1]);
    } else if (op == "patblt") {
        DWORD r;
        if (!ints(1, 4) || !rop(5, &r))
            return false;
        PatBlt(dc_, n[0], n[1], n[2], n[3], r);
    } else if (op == "fillrect") {
        COLORREF c;
        if (!ints(1, 4) || !colour(5, &c))
            return false;
        RECT rc = {n[0], n[1], n[2], n[3]};
        HBRUSH b = CreateSolidBrush(c);
        FillRect(dc_, &rc, b);
        DeleteObject(b);
    } else if (op == "setpixel") {
        COLORREF c;
        if (!ints(1, 2) || !colour(3, &c))
            return false;
        SetPixel(dc_, n[0], n[1], c);
    } else if (op == "source") {
        if (!ints(1, 2))
            return false;
        MakeSource(n[0], n[1]);
    } else if (op == "blit" || op == "selfblit") {
        DWORD r;
        if (!ints(1, 6) || !rop(7, &r))
            return false;
        HDC src = op == "blit" ? sourceDc_ : dc_;
        if (!src) {
            *error = "no source bitmap";
            return false;
        }
        BitBlt(dc_, n[0], n[1], n[2], n[3], src, n[4], n[5], r);
    } else if (op == "keep") {
        if (!ints(1, 2))
            return false;
        frame_.keep.emplace_back(n[0], n[1]);
    } else if (op == "same-as") {
        if (w.size() != 2) {
            *error = "same-as needs a frame name";
            return false;
        }
        frame_.sameAs = w[1];
    } else if (op == "snap") {
        if (w.size() == 1) {
            Snap(dc_, 0, 0, frame_.width, frame_.height);
        } else {
            if (!ints(1, 4))
                return false;
            Snap(dc_, n[0], n[1], n[2], n[3]);
        }
        EndFrame();
    } else {
        *error = "unknown operation";
        return false;
    }
    return true;
}

bool Runner::BeginFrame(const std::vector<std::string> &w, std::string *error)
{
    int width, height;
    COLORREF bg;
    if (w.size() != 7 || !ParseInt(w[4], &width) || !ParseInt(w[5], &height) ||
        !ParseColour(w[6], &bg) || width <= 0 || height <= 0) {
        *error = "frame SCRIPT CLASS NAME W H RRGGBB";
        return false;
    }
    if (dc_) {
        *error = "the previous frame has no snap";
        return false;
    }
    frame_ = Frame();
    frame_.script = w[1];
    frame_.penClass = w[2];
    frame_.name = w[3];
    frame_.width = width;
    frame_.height = height;
    frame_.background = RgbFromColorref(bg);

    HDC screen = GetDC(NULL);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(NULL, screen);
    if (!dc_ || !bitmap_) {
        *error =
            "cannot create a " + std::to_string(width) + " x " + std::to_string(height) + " bitmap";
        return false;
    }
    oldBitmap_ = SelectObject(dc_, bitmap_);
    HBRUSH fill = CreateSolidBrush(bg);
    HGDIOBJ old = SelectObject(dc_, fill);
    PatBlt(dc_, 0, 0, width, height, PATCOPY);
    SelectObject(dc_, old);
    DeleteObject(fill);
    return true;
}

void Runner::Snap(HDC dc, int x, int y, int width, int height)
{
    frame_.width = width;
    frame_.height = height;
    frame_.pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col)
            frame_.pixels[static_cast<size_t>(row) * width + col] =
                RgbFromColorref(GetPixel(dc, x + col, y + row));
    }
    // Points to keep are given in the frame's coordinates; make them the snapped part's.
    for (auto &[kx, ky] : frame_.keep) {
        kx -= x;
        ky -= y;
    }
    out_->Write(frame_);
    ++framesWritten_;
}

void Runner::EndFrame()
{
    if (!dc_)
        return;
    SelectPen(NULL);
    SelectBrush(NULL, false);
    SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    FreeSource();
    dc_ = NULL;
    bitmap_ = NULL;
    oldBitmap_ = oldPen_ = oldBrush_ = NULL;
}

void Runner::SelectPen(HPEN pen)
{
    if (pen_) {
        SelectObject(dc_, oldPen_);
        DeleteObject(pen_);
        pen_ = NULL;
    }
    if (pen) {
        oldPen_ = SelectObject(dc_, pen);
        pen_ = pen;
    }
}

void Runner::SelectBrush(HBRUSH brush, bool owned)
{
    if (oldBrush_) {
        SelectObject(dc_, oldBrush_);
        oldBrush_ = NULL;
    }
    if (brush_) {
        DeleteObject(brush_);
        brush_ = NULL;
    }
    if (brush) {
        oldBrush_ = SelectObject(dc_, brush);
        if (owned)
            brush_ = brush;
    }
}

void Runner::MakeSource(int width, int height)
{
    FreeSource();
    HDC screen = GetDC(NULL);
    sourceDc_ = CreateCompatibleDC(screen);
    sourceBitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(NULL, screen);
    sourceOldBitmap_ = SelectObject(sourceDc_, sourceBitmap_);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            SetPixel(sourceDc_, x, y, SourcePixel(x, y));
    }
}

void Runner::FreeSource()
{
    if (!sourceDc_)
        return;
    SelectObject(sourceDc_, sourceOldBitmap_);
    DeleteDC(sourceDc_);
    DeleteObject(sourceBitmap_);
    sourceDc_ = NULL;
    sourceBitmap_ = NULL;
    sourceOldBitmap_ = NULL;
}

bool Runner::OpenWindow(std::string *error)
{
    if (window_) {
        *error = "a window is open already";
        return false;
    }
    static bool registered = false;
    HINSTANCE instance = GetModuleHandleA(NULL);
    if (!registered) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.style = 0;
        wc.lpfnWndProc = PaintWndProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(NULL, IDI_APPLICATION);
        wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kWindowClass;
        wc.hIconSm = LoadIconA(NULL, IDI_WINLOGO);
        if (!RegisterClassExA(&wc)) {
            *error = "RegisterClassExA failed";
            return false;
        }
        registered = true;
    }
    window_ = CreateWindowExA(0, kWindowClass, "Kelvane Paint conformance", WS_OVERLAPPEDWINDOW, 0,
                              0, 600, 500, NULL, NULL, instance, NULL);
    if (!window_ || !hdcCanvas) {
        *error = "the window or its canvas was not created";
        CloseWindow();
        return false;
    }
    return true;
}

void Runner::CloseWindow()
{
    if (!window_)
        return;
    DestroyWindow(window_);
    window_ = NULL;
    // WM_DESTROY posted the quit message; take everything off the queue.
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            break;
        DispatchMessageA(&msg);
    }
}

void Runner::ChangeWindowPen(int width, COLORREF colour)
{
    // The right click's pen change with a chosen pen: the saved pen back
    // into the canvas, the old pen deleted, the new one selected.
    SelectObject(hdcCanvas, hpenSaved);
    DeleteObject(hpenCurrent);
    hpenCurrent = CreatePen(PS_SOLID, width, colour);
    SelectObject(hdcCanvas, hpenCurrent);
}

}  // namespace conf
