// The headless host: windows are pixel buffers in memory, the screen is a
// size, and input comes from the test that owns the host. It lets tests run
// the real WinMain and window procedures and look at what they painted.
//
// Threads. The host is driven in one of three ways:
//  - Start() runs a program entry point (WinMain) on a program thread of its
//    own, as the process's only GUI thread. The test injects input from its
//    thread, WaitIdle() waits until the program has dealt with all of it, and
//    Join() waits for the program to end (program_thread.cpp).
//  - Without Start(), a test creates windows on its own thread and pumps the
//    events itself through GetMessageA/PeekMessageA.
//  - Or it calls the entry point on its own thread after SetInputSource():
//    whenever the program waits for input, the source says what comes next.
// Injected input goes into an inbox (a preallocated ring: injecting and
// delivering never allocate) and reaches USER, in order, on the thread that
// pumps, inside PumpEvents. Everything else that the program touches (window
// pixels, USER's tables) belongs to the pumping thread; the test reads it
// only while that thread waits for input, which WaitIdle() guarantees.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../../user/host.h"
#include "../host_window.h"

namespace kp::host {

struct HeadlessWindow;

// What the host leaves where a window's pixels are lost (a new window, an
// uncovered or newly exposed area, a minimized window). GDI never writes
// this value (its pixels have a zero top byte), so a pixel that still holds
// it after painting was never painted.
constexpr uint32_t kLostPixel = 0xFFFF00FFu;

// A copy of a window's client pixels (0x00RRGGBB, rows top to bottom).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// One present: the pixels of rect (client coordinates) of hwnd changed and
// were shown.
struct PresentRecord {
    HWND hwnd = nullptr;
    RECT rect = {0, 0, 0, 0};
};

class HeadlessHost final : public Host {
  public:
    using EntryPoint = int (*)(HINSTANCE, HINSTANCE, LPSTR, int);

    // How long a wait for the program may take before it is taken for a
    // deadlock (a hung program must fail a test, not hang it). A guard, never
    // a way of synchronising.
    static constexpr int kDeadlockGuardSeconds = 60;

    // The host becomes the process's current host (SetHost) and detaches
    // itself when destroyed.
    HeadlessHost();
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost &) = delete;
    HeadlessHost &operator=(const HeadlessHost &) = delete;

    // ---- Configuration (any time) ------------------------------------------
    void SetScreenSize(int width, int height);  // default 1920 x 1080
    void SetStartupShowCommand(int cmdShow);    // what SW_SHOWDEFAULT means; SW_SHOWNORMAL

    // ---- The program thread --------------------------------------------------
    // Starts entry(instance, NULL, commandLine, SW_SHOWDEFAULT) on the program
    // thread, as a new process: USER first forgets all classes and windows.
    // Returns once the program waits for input or has ended; false if it
    // neither did within the deadlock guard, or a program already runs.
    bool Start(EntryPoint entry, const char *commandLine = "");
    // Returns once the program has delivered and handled every event
    // injected so far, painted, and waits for more (or has ended). False if
    // that did not happen within the deadlock guard. Without a program thread
    // it returns at once: true if the inbox is empty.
    bool WaitIdle();
    // True once the program's entry point has returned.
    bool Exited();
    // Waits for the program to end; its exit code, or -1 if it did not end
    // within the deadlock guard (or never started).
    int Join();
    // Runs fn on the thread that pumps, between two events, and waits until it
    // has run (without a program thread it runs at once). Lets a test look at
    // USER's state of a running program. False if the program ended first.
    bool RunOnProgramThread(const std::function<void()> &fn);

    // ---- Input (any thread) ---------------------------------------------------
    // Delivered in order on the pumping thread. Like a window system, the host
    // drops pointer events for a window that is hidden or minimized, and for
    // points outside its client area (the program never captures the mouse).
    // keys is the MK_* state after the event, as the message's wParam.
    void MouseMove(HWND hwnd, int x, int y, WPARAM keys);
    // message: WM_LBUTTONDOWN/UP, WM_RBUTTONDOWN/UP, WM_MBUTTONDOWN/UP,
    // WM_XBUTTONDOWN/UP (the X button in the high word of keys).
    void MouseButton(HWND hwnd, UINT message, int x, int y, WPARAM keys);
    // Another window covered rect (client coordinates) and went away: the
    // window's pixels there are lost (kLostPixel) and USER is told.
    void CoverAndUncover(HWND hwnd, const RECT &rect);
    // The user minimized, restored (to the last normal size), maximized the
    // window, or dragged its frame to a new client size.
    void Minimize(HWND hwnd);
    void Restore(HWND hwnd);
    void Maximize(HWND hwnd);
    void Resize(HWND hwnd, int clientWidth, int clientHeight);
    // The close button (WM_DELETE_WINDOW on X11).
    void RequestClose(HWND hwnd);
    // Ends the message loop of a program that a close did not end (as a task
    // manager would): PostQuitMessage(-1) on the pumping thread.
    void EndLoop();
    // An event that does nothing but end a wait for input.
    void Wake();
    // Forgets the injected events not delivered yet, as the end of the
    // process that the host served would: a test that runs the program again
    // on the same host, without a program thread, starts with this.
    void DiscardInput();
    // Without a program thread, a thread that pumps and finds nothing to
    // deliver calls source (on that thread, between two events) instead of
    // waiting for another thread: it injects what comes next, at least one
    // event.
    void SetInputSource(std::function<void()> source);
    // Changes the window's pixels in rect without telling USER, as a faulty
    // compositor would: a probe for which pixels a later paint rewrites.
    void Scribble(HWND hwnd, const RECT &rect, uint32_t pixel);

    // ---- Inspection -------------------------------------------------------------
    // The live host windows in creation order; the first one (NULL if none).
    std::vector<HWND> Windows();
    HWND MainWindow();
    // Copies of the host's view of a window (waiting for the program to be
    // idle first); empty / Hidden for an unknown window.
    Image Pixels(HWND hwnd);
    // Whether what the host shows of the window is exactly its surface (after
    // presenting what changed); true for a window whose sizes differ (a
    // minimized one) or an unknown one.
    bool ShowsSurface(HWND hwnd);
    ShowState StateOf(HWND hwnd);
    std::string TitleOf(HWND hwnd);
    // Rectangles presented since the last ClearPresents (the most recent
    // kPresentLogSize of them), and how many there were in all. A window's
    // changed pixels are presented when the program next waits for input.
    static constexpr int kPresentLogSize = 4096;
    std::vector<PresentRecord> Presents();
    long PresentCount();
    void ClearPresents();

    // ---- Host ---------------------------------------------------------------------
    void ScreenSize(int *width, int *height) override;
    int StartupShowCommand() override;
    HostWindow *CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                 int clientWidth, int clientHeight) override;
    void DestroyHostWindow(HostWindow *window) override;
    void SetShowState(HostWindow *window, ShowState state) override;
    void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) override;
    void PumpEvents(bool wait) override;

    struct Event;  // an injected event, as the inbox holds it

  private:
    static constexpr int kInboxCapacity = 4096;

    void Inject(const Event &event);
    void Deliver(const Event &event);
    void DeliverPointer(const Event &event);
    void DeliverPlacement(const Event &event);
    void DeliverToWindowSystem(const Event &event);
    bool WaitIdleLocked(std::unique_lock<std::mutex> &lock);
    HeadlessWindow *FindLocked(HWND hwnd) const;
    void FlushLocked();
    void ProgramThread(EntryPoint entry, std::string commandLine);
    void StopProgram();

    std::mutex mutex_;
    std::condition_variable inboxChanged_;  // events arrived, or room freed
    std::condition_variable stateChanged_;  // the program waits or ended

    // Inbox ring.
    std::unique_ptr<Event[]> inbox_;
    int inboxHead_ = 0;
    int inboxCount_ = 0;

    int screenWidth_ = 1920;
    int screenHeight_ = 1080;
    int startupShow_ = SW_SHOWNORMAL;

    WindowRegistry windows_;
    std::function<void()> inputSource_;

    std::unique_ptr<PresentRecord[]> presents_;
    long presentTotal_ = 0;

    std::thread program_;
    std::thread::id programThreadId_;
    bool programRunning_ = false;  // started and not yet joined
    bool programWaiting_ = false;  // blocked in PumpEvents(wait) on an empty inbox
    bool programExited_ = false;
    int exitCode_ = -1;
};

}  // namespace kp::host
