// Running a program's entry point on a thread of its own, as the process's
// only GUI thread, with the test waiting for it to be idle or to end.
#include <string>
#include <thread>

#include "../../user/host_events.h"
#include "headless_internal.h"

namespace kp::host {

// ---- The program thread ---------------------------------------------------------

bool HeadlessHost::Start(EntryPoint entry, const char *commandLine)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (programRunning_)
            return false;
    }
    // A new process: no classes, no windows, an empty queue.
    kp::user::ResetForNewProcess();
    std::unique_lock<std::mutex> lock(mutex_);
    windows_.Clear();
    inboxHead_ = inboxCount_ = 0;
    presentTotal_ = 0;
    programRunning_ = true;
    programWaiting_ = false;
    programExited_ = false;
    exitCode_ = -1;
    program_ = std::thread(&HeadlessHost::ProgramThread, this, entry,
                           std::string(commandLine ? commandLine : ""));
    return WaitIdleLocked(lock);
}

void HeadlessHost::ProgramThread(EntryPoint entry, std::string commandLine)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        programThreadId_ = std::this_thread::get_id();
    }
    int code = entry(GetModuleHandleA(NULL), NULL, commandLine.data(), SW_SHOWDEFAULT);
    std::lock_guard<std::mutex> lock(mutex_);
    exitCode_ = code;
    programExited_ = true;
    programWaiting_ = false;
    stateChanged_.notify_all();
}

bool HeadlessHost::WaitIdleLocked(std::unique_lock<std::mutex> &lock)
{
    if (!programRunning_)
        return inboxCount_ == 0;
    return stateChanged_.wait_for(
        lock, kGuard, [this] { return programExited_ || (programWaiting_ && inboxCount_ == 0); });
}

bool HeadlessHost::WaitIdle()
{
    std::unique_lock<std::mutex> lock(mutex_);
    return WaitIdleLocked(lock);
}

bool HeadlessHost::Exited()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return programExited_;
}

int HeadlessHost::Join()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!programRunning_)
            return exitCode_;
        if (!stateChanged_.wait_for(lock, kGuard, [this] { return programExited_; }))
            return -1;
    }
    // The thread's own state (its message queue) goes with it; then the
    // process is over and USER forgets what was left.
    program_.join();
    kp::user::ResetForNewProcess();
    std::lock_guard<std::mutex> lock(mutex_);
    programRunning_ = false;
    windows_.Clear();
    return exitCode_;
}

bool HeadlessHost::RunOnProgramThread(const std::function<void()> &fn)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!programRunning_) {
            // Not ours to wait for: the caller's thread is the one that pumps.
            fn();
            return true;
        }
    }
    bool done = false;
    Event e;
    e.kind = Event::Kind::Call;
    e.call = &fn;
    e.done = &done;
    Inject(e);
    std::unique_lock<std::mutex> lock(mutex_);
    WaitIdleLocked(lock);
    if (!done && !programExited_)
        Deadlock("waiting for a call on the program thread");
    return done;
}

void HeadlessHost::StopProgram()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!programRunning_)
        return;
    if (!programExited_) {
        // A test that failed half way: close every window, and should the
        // program ignore that, end its loop.
        for (size_t i = 0; i < windows_.Size(); ++i) {
            const HostWindow *w = &windows_.At(i);
            if (inboxCount_ == kInboxCapacity)
                break;
            Event e;
            e.kind = Event::Kind::Close;
            e.hwnd = w->hwnd;
            inbox_[(inboxHead_ + inboxCount_++) % kInboxCapacity] = e;
        }
        if (inboxCount_ < kInboxCapacity) {
            Event quit;
            quit.kind = Event::Kind::Quit;
            inbox_[(inboxHead_ + inboxCount_++) % kInboxCapacity] = quit;
        }
        inboxChanged_.notify_all();
        if (!stateChanged_.wait_for(lock, kGuard, [this] { return programExited_; }))
            Deadlock("waiting for the program to end");
    }
    lock.unlock();
    program_.join();
    lock.lock();
    programRunning_ = false;
}

}  // namespace kp::host
