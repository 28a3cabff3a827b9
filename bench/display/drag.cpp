// kp-drag: one left-button drag through XTEST, paced like a 1000 Hz mouse,
// and the CPU time that a program and the X server spend on it.
//
//   kp-drag --xserver PID --program PID[,PID...] [--watch PID[,PID...]]
//           [--interval-us 1000] [--quiet-ms 60] [--timeout-s 60] < drag
//
// The drag on stdin: a line "POINTS CHECKS", POINTS lines "x y" (root
// coordinates; the first is where the button goes down, every further one is
// one motion event) and CHECKS lines "x y": pixels that must all be white
// before the drag and of which at least one is black once the program has
// handled the last move (the caller gives the eight neighbours of the last
// point: whatever line algorithm, and however a program merges moves that
// queue up, the last segment drawn ends next to that point).
// Prints one JSON object.
//
// What is measured. utime + stime (/proc/PID/stat, clock ticks) of each
// program process and of the X server, read once just before the first
// motion and once after the program has dealt with the last one. The pacer
// is a process of its own and is not counted. --watch names processes that
// are only reported (role "other"), such as helpers of the program that
// have work of their own in the background. Also reported: each process's
// write system calls over the drag (/proc/PID/io), a sign of how many times
// per move a program sends its requests out (a program that is behind
// presents several moves at once). The X server's side includes
// turning the XTEST requests into pointer events, which a real mouse costs
// the server too.
//
// When the drag is over. Not by sleeping and not by asking the X server
// while measuring: after the last motion (and one XSync, so that the server
// has made the events) the pacer watches the measured processes through
// /proc only, every 2 ms: the sum of the threads' run time (schedstat, in
// ns) and whether any thread is runnable. The first sample of a stretch of
// --quiet-ms in which nothing is runnable and the processes together ran
// less than 1% of it gives the end readings (the watched processes do not
// count here). Only after those readings are taken does the pacer ask the
// server for the check pixels (XGetImage of their bounding box on the root
// window, from its own connection): if one is black, the readings stand; if
// none is (the program was idle for a moment with work left, or was not
// scheduled at all), it waits for the next quiet stretch and takes new end
// readings, which then also hold the cost of that one small probe; the
// number of probes is reported. The same quiet wait comes before the start
// readings, after the press, so that nothing left over from the press or
// from starting the program is counted.
//
// Pacing: motion i goes out at t0 + i * interval (absolute time,
// clock_nanosleep TIMER_ABSTIME), so a late wake-up does not push the rest of
// the drag back. Each motion is flushed on its own. A mouse does not wait for
// a free CPU: the pacer asks for a real-time priority (SCHED_FIFO, when
// allowed; it sleeps nearly all the time, a few microseconds of work per
// move), so that a program and X server that keep both cores busy do not
// delay the moves and so get fewer of them to merge. How late the wake-ups
// were is reported, as a sign of a busy machine.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr long long kSampleNs = 2'000'000;
// Less than this share of a quiet stretch spent running counts as idle:
// background timers may tick, work for the drag may not.
constexpr long long kQuietShare = 100;

struct Point {
    int x, y;
};

struct ProcCpu {
    long long ticks = 0;   // utime + stime of the whole process
    long long ns = 0;      // run time of all its threads (schedstat)
    long long writes = 0;  // write system calls of the whole process (/proc/PID/io syscw)
    bool runnable = false;
    bool alive = false;
};

struct Sample {
    long long time = 0;  // CLOCK_MONOTONIC ns
    std::vector<ProcCpu> procs;
    long long ns = 0;
    bool runnable = false;
    long long machineBusy = 0;  // clock ticks of all CPUs not idle (/proc/stat)
    long long self = 0;         // the pacer's own ticks
};

long long Now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

void SleepUntil(long long t)
{
    timespec ts{static_cast<time_t>(t / 1'000'000'000LL), static_cast<long>(t % 1'000'000'000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
    }
}

bool ReadFile(const std::string &path, char *buf, size_t size)
{
    FILE *f = std::fopen(path.c_str(), "r");
    if (f == nullptr)
        return false;
    size_t n = std::fread(buf, 1, size - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    return n > 0;
}

// The fields of a stat line after the command name, which may hold spaces:
// fields[0] is the state (field 3 of proc(5)).
std::vector<std::string> StatFields(const char *line)
{
    std::vector<std::string> fields;
    const char *p = std::strrchr(line, ')');
    if (p == nullptr)
        return fields;
    for (++p; *p;) {
        while (*p == ' ' || *p == '\n')
            ++p;
        const char *start = p;
        while (*p && *p != ' ' && *p != '\n')
            ++p;
        if (p > start)
            fields.emplace_back(start, p);
    }
    return fields;
}

ProcCpu ReadProc(int pid)
{
    ProcCpu cpu;
    char buf[4096];
    std::string base = "/proc/" + std::to_string(pid);
    if (!ReadFile(base + "/stat", buf, sizeof buf))
        return cpu;
    std::vector<std::string> f = StatFields(buf);
    if (f.size() < 13 || f[0] == "Z" || f[0] == "X")
        return cpu;
    cpu.alive = true;
    cpu.ticks = std::atoll(f[11].c_str()) + std::atoll(f[12].c_str());  // fields 14 and 15
    if (ReadFile(base + "/io", buf, sizeof buf)) {
        if (const char *w = std::strstr(buf, "syscw:"))
            cpu.writes = std::atoll(w + 6);
    }
    DIR *dir = opendir((base + "/task").c_str());
    if (dir == nullptr)
        return cpu;
    while (dirent *e = readdir(dir)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        std::string task = base + "/task/" + e->d_name;
        if (ReadFile(task + "/schedstat", buf, sizeof buf))
            cpu.ns += std::atoll(buf);
        if (ReadFile(task + "/stat", buf, sizeof buf)) {
            std::vector<std::string> tf = StatFields(buf);
            if (!tf.empty() && tf[0] == "R")
                cpu.runnable = true;
        }
    }
    closedir(dir);
    return cpu;
}

// Busy clock ticks of the whole machine: everything but idle and iowait.
long long MachineBusy()
{
    char buf[512];
    if (!ReadFile("/proc/stat", buf, sizeof buf) || std::strncmp(buf, "cpu ", 4) != 0)
        return 0;
    long long v[10] = {};
    std::sscanf(buf + 4, "%lld %lld %lld %lld %lld %lld %lld %lld", &v[0], &v[1], &v[2], &v[3],
                &v[4], &v[5], &v[6], &v[7]);
    return v[0] + v[1] + v[2] + v[5] + v[6] + v[7];  // user nice system irq softirq steal
}

// Reads every process of pids; the run time and runnable state of the first
// `busy` of them make the sample's ns and runnable.
Sample Take(const std::vector<int> &pids, size_t busy)
{
    Sample s;
    s.machineBusy = MachineBusy();
    s.self = ReadProc(getpid()).ticks;
    for (size_t i = 0; i < pids.size(); ++i) {
        ProcCpu c = ReadProc(pids[i]);
        if (i < busy) {
            s.ns += c.ns;
            s.runnable = s.runnable || c.runnable;
        }
        s.procs.push_back(c);
    }
    s.time = Now();
    return s;
}

// Waits for a quiet stretch (see the header) of the first `busy` of pids
// and returns its first sample; *ok is false if none came before the
// deadline (then the last sample).
Sample WaitQuiet(const std::vector<int> &pids, size_t busy, long long quietNs, long long deadline,
                 bool *ok)
{
    Sample anchor = Take(pids, busy);
    for (;;) {
        SleepUntil(Now() + kSampleNs);
        Sample s = Take(pids, busy);
        if (s.runnable || anchor.runnable || s.ns - anchor.ns > quietNs / kQuietShare) {
            anchor = s;
        } else if (s.time - anchor.time >= quietNs) {
            *ok = true;
            return anchor;
        }
        if (s.time > deadline) {
            *ok = false;
            return s;
        }
    }
}

// How many of the check pixels are black on the screen (-1: unreadable).
int ChecksBlack(Display *dpy, const std::vector<Point> &checks)
{
    int x0 = checks[0].x, y0 = checks[0].y, x1 = x0, y1 = y0;
    for (const Point &p : checks) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    XImage *img = XGetImage(dpy, DefaultRootWindow(dpy), x0, y0, x1 - x0 + 1, y1 - y0 + 1,
                            AllPlanes, ZPixmap);
    if (img == nullptr)
        return -1;
    int black = 0;
    for (const Point &p : checks)
        black += (XGetPixel(img, p.x - x0, p.y - y0) & 0xFFFFFF) == 0;
    XDestroyImage(img);
    return black;
}

std::vector<int> ParsePids(const char *text)
{
    std::vector<int> pids;
    for (const char *p = text; *p;) {
        char *end;
        long v = std::strtol(p, &end, 10);
        if (end == p)
            break;
        pids.push_back(static_cast<int>(v));
        p = *end == ',' ? end + 1 : end;
    }
    return pids;
}

std::string Comm(int pid)
{
    char buf[256];
    if (!ReadFile("/proc/" + std::to_string(pid) + "/comm", buf, sizeof buf))
        return "?";
    std::string s(buf);
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    for (char &ch : s)  // printed inside a JSON string
        if (ch == '"' || ch == '\\' || static_cast<unsigned char>(ch) < 0x20)
            ch = '_';
    return s;
}

int Usage()
{
    std::fprintf(stderr, "usage: kp-drag --xserver PID --program PID[,PID...] [--watch PID,...] "
                         "[--interval-us N] [--quiet-ms N] [--timeout-s N] < drag\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    int xserver = 0;
    std::vector<int> program, watch;
    long long interval = 1'000'000, quiet = 60'000'000, timeout = 60'000'000'000LL;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string opt = argv[i];
        if (opt == "--xserver")
            xserver = std::atoi(argv[i + 1]);
        else if (opt == "--program")
            program = ParsePids(argv[i + 1]);
        else if (opt == "--watch")
            watch = ParsePids(argv[i + 1]);
        else if (opt == "--interval-us")
            interval = std::atoll(argv[i + 1]) * 1000;
        else if (opt == "--quiet-ms")
            quiet = std::atoll(argv[i + 1]) * 1'000'000;
        else if (opt == "--timeout-s")
            timeout = std::atoll(argv[i + 1]) * 1'000'000'000LL;
        else
            return Usage();
    }
    int count = 0, checkCount = 0;
    if (xserver <= 0 || program.empty() || interval <= 0 ||
        std::scanf("%d %d", &count, &checkCount) != 2 || count < 2 || checkCount < 1)
        return Usage();
    std::vector<Point> points(count), checks(checkCount);
    for (Point &p : points)
        if (std::scanf("%d %d", &p.x, &p.y) != 2)
            return Usage();
    for (Point &p : checks)
        if (std::scanf("%d %d", &p.x, &p.y) != 2)
            return Usage();

    // Wake-ups on time: the default timer slack (50 us) would make every
    // motion late by about that much.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    sched_param param{};
    param.sched_priority = 10;
    bool realtime = sched_setscheduler(0, SCHED_FIFO, &param) == 0;
    Display *dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "kp-drag: cannot open the display\n");
        return 1;
    }
    int ev, err, major, minor;
    if (!XTestQueryExtension(dpy, &ev, &err, &major, &minor)) {
        std::fprintf(stderr, "kp-drag: the X server has no XTEST\n");
        return 1;
    }
    if (ChecksBlack(dpy, checks) != 0) {
        std::fprintf(stderr, "kp-drag: check pixels are not all white before the drag\n");
        return 1;
    }
    // The program's processes, the X server, then the watched ones.
    std::vector<int> pids = program;
    pids.push_back(xserver);
    size_t busy = pids.size();
    pids.insert(pids.end(), watch.begin(), watch.end());
    int screen = DefaultScreen(dpy);

    XTestFakeMotionEvent(dpy, screen, points[0].x, points[0].y, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XSync(dpy, False);
    bool startQuiet = false;
    WaitQuiet(pids, busy, quiet, Now() + timeout / 4, &startQuiet);

    Sample start = Take(pids, busy);
    long long t0 = Now() + interval;
    long long lateMax = 0, lateSum = 0;
    int lateCount = 0;  // wake-ups more than half an interval late
    for (int i = 1; i < count; ++i) {
        long long due = t0 + static_cast<long long>(i - 1) * interval;
        SleepUntil(due);
        long long late = Now() - due;
        lateMax = std::max(lateMax, late);
        lateSum += late;
        lateCount += late > interval / 2;
        XTestFakeMotionEvent(dpy, screen, points[i].x, points[i].y, CurrentTime);
        XFlush(dpy);
    }
    XSync(dpy, False);
    long long sent = Now();

    Sample end;
    bool endQuiet = false, shown = false;
    int probes = 0;
    long long deadline = sent + timeout;
    while (!shown && Now() < deadline) {
        end = WaitQuiet(pids, busy, quiet, deadline, &endQuiet);
        ++probes;
        shown = ChecksBlack(dpy, checks) > 0;
    }
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
    XCloseDisplay(dpy);

    long tck = sysconf(_SC_CLK_TCK);
    std::printf("{\"moves\": %d, \"interval_us\": %lld, \"clk_tck\": %ld, \"shown\": %s, "
                "\"probes\": %d, \"start_quiet\": %s, \"end_quiet\": %s, \"realtime\": %s,\n",
                count - 1, interval / 1000, tck, shown ? "true" : "false", probes,
                startQuiet ? "true" : "false", endQuiet ? "true" : "false",
                realtime ? "true" : "false");
    std::printf(" \"send_s\": %.4f, \"drain_ms\": %.2f, \"late_max_us\": %.0f, "
                "\"late_mean_us\": %.1f, \"late_count\": %d,\n",
                (sent - t0) / 1e9, (end.time - sent) / 1e6, lateMax / 1e3,
                lateSum / 1e3 / (count - 1), lateCount);
    // The rest of the machine while the drag ran: busy ticks of all CPUs less
    // the measured processes and the pacer, in cores.
    long long measured = 0;  // every process read, the watched ones too
    for (size_t i = 0; i < pids.size(); ++i)
        measured += end.procs[i].ticks - start.procs[i].ticks;
    double seconds = (end.time - start.time) / 1e9;
    double others = (end.machineBusy - start.machineBusy - measured - (end.self - start.self)) /
                    (seconds * tck);
    std::printf(" \"elapsed_s\": %.4f, \"pacer_us\": %.0f, \"others_cores\": %.3f,\n", seconds,
                (end.self - start.self) * 1e6 / tck, std::max(others, 0.0));
    std::printf(" \"processes\": [");
    for (size_t i = 0; i < pids.size(); ++i) {
        const ProcCpu &a = start.procs[i];
        const ProcCpu &b = end.procs[i];
        const char *role = i + 1 < busy ? "program" : i + 1 == busy ? "xserver" : "other";
        std::printf("%s\n  {\"pid\": %d, \"comm\": \"%s\", \"role\": \"%s\", \"alive\": %s, "
                    "\"ticks\": %lld, \"us\": %.0f, \"schedstat_us\": %.0f, \"writes\": %lld}",
                    i ? "," : "", pids[i], Comm(pids[i]).c_str(), role,
                    a.alive && b.alive ? "true" : "false", b.ticks - a.ticks,
                    (b.ticks - a.ticks) * 1e6 / tck, (b.ns - a.ns) / 1e3, b.writes - a.writes);
    }
    std::printf("\n]}\n");
    return shown ? 0 : 3;
}
