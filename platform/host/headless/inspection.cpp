// What a test can see of the host's windows: their shown pixels, show state
// and title, and the log of what was presented.
#include <algorithm>

#include "headless_internal.h"

namespace kp::host {

// ---- Inspection -------------------------------------------------------------------

std::vector<HWND> HeadlessHost::Windows()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HWND> list;
    windows_.ForEach<HostWindow>([&list](const HostWindow &w) { list.push_back(w.hwnd); });
    return list;
}

HWND HeadlessHost::MainWindow()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return windows_.Empty() ? nullptr : windows_.At(0).hwnd;
}

Image HeadlessHost::Pixels(HWND hwnd)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (programRunning_ && !WaitIdleLocked(lock))
        Deadlock("waiting for the program to settle before reading pixels");
    FlushLocked();
    Image image;
    const HeadlessWindow *w = FindLocked(hwnd);
    if (w == nullptr)
        return image;
    image.width = w->width;
    image.height = w->height;
    image.pixels = w->shown;
    return image;
}

bool HeadlessHost::ShowsSurface(HWND hwnd)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (programRunning_ && !WaitIdleLocked(lock))
        Deadlock("waiting for the program to settle before reading pixels");
    FlushLocked();
    const HeadlessWindow *w = FindLocked(hwnd);
    if (w == nullptr)
        return true;
    const Surface s = w->surface->Pixels();
    if (s.width != w->width || s.height != w->height)
        return true;
    for (int y = 0; y < s.height; ++y)
        if (!std::equal(s.pixels + static_cast<size_t>(y) * s.stride,
                        s.pixels + static_cast<size_t>(y) * s.stride + s.width,
                        w->shown.begin() + static_cast<ptrdiff_t>(y) * w->width))
            return false;
    return true;
}

ShowState HeadlessHost::StateOf(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const HeadlessWindow *w = FindLocked(hwnd);
    return w ? w->state : ShowState::Hidden;
}

std::string HeadlessHost::TitleOf(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const HeadlessWindow *w = FindLocked(hwnd);
    return w ? w->title : std::string();
}

std::vector<PresentRecord> HeadlessHost::Presents()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (programRunning_)
        WaitIdleLocked(lock);
    FlushLocked();
    const long kept = std::min<long>(presentTotal_, kPresentLogSize);
    std::vector<PresentRecord> list;
    for (long i = presentTotal_ - kept; i < presentTotal_; ++i)
        list.push_back(presents_[i % kPresentLogSize]);
    return list;
}

long HeadlessHost::PresentCount()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (programRunning_)
        WaitIdleLocked(lock);
    FlushLocked();
    return presentTotal_;
}

void HeadlessHost::ClearPresents()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (programRunning_)
        WaitIdleLocked(lock);
    FlushLocked();
    presentTotal_ = 0;
}

}  // namespace kp::host
