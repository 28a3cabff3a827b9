// kp-drag: one left-button drag, paced like a 1000 Hz mouse, and the CPU
// time that a program and the display server spend on it.
//
//   kp-drag --server PID[,PID...] --program PID[,PID...] [--input PID,...]
//           [--watch PID,...] [--rfb-fd FD] [--ask]
//           [--interval-us 1000] [--quiet-ms 60] [--timeout-s 60] < drag
//
// The moves go through XTEST to the X server of DISPLAY or, with --rfb-fd,
// as RFB PointerEvent messages on an open connection to a VNC server (its
// handshake done by the caller), which is how the benchmark moves the
// pointer of a Wayland compositor: wayvnc turns them into a virtual pointer.
//
// The drag on stdin: a line "POINTS CHECKS", POINTS lines "x y" (screen
// coordinates; the first is where the button goes down, every further one is
// one motion event) and CHECKS lines "x y": pixels that must all be white
// before the drag and of which at least one is black once the program has
// handled the last move (the caller gives the eight neighbours of the last
// point: whatever line algorithm, and however a program merges moves that
// queue up, the last segment drawn ends next to that point). The pacer reads
// them from the X server, or with --ask leaves that to the caller: it prints
// a line "probe" and reads the number of black check pixels from stdin.
// Prints one JSON object (after any "probe" lines).
//
// What is measured. utime + stime (/proc/PID/stat, clock ticks) of each
// program process and of the display server's processes (--server: the X
// server; a compositor and its Xwayland), read once just before the first
// motion and once after the program has dealt with the last one. The pacer
// is a process of its own and is not counted. --input names the processes
// that turn the pacer's messages into input (wayvnc): reported apart (role
// "input") and, like the program and the server, awaited to be quiet at the
// end. --watch names processes that are only reported (role "other"), such
// as helpers of the program that have work of their own in the background.
// Also reported: each process's write system calls over the drag
// (/proc/PID/io), a sign of how many times per move a program sends its
// requests out to an X server (a program that is behind presents several
// moves at once; Wayland clients send with sendmsg, which is not counted
// there). The X server's side includes turning the XTEST requests into
// pointer events, which a real mouse costs the server too.
//
// When the drag is over. Not by sleeping and not by asking the display
// server while measuring: after the last motion (and one XSync on X, so that
// the server has made the events) the pacer watches the measured processes
// through /proc only, every 2 ms: the sum of the threads' run time
// (schedstat, in ns) and whether any thread is runnable. The first sample of
// a stretch of --quiet-ms in which nothing is runnable and the processes
// together ran less than 1% of it gives the end readings (the watched
// processes do not count here). Only after those readings are taken are the
// check pixels read (XGetImage of their bounding box on the root window, from
// the pacer's own connection, or the caller's probe): if one is black, the
// readings stand; if none is (the program was idle for a moment with work
// left, or was not scheduled at all), it waits for the next quiet stretch
// and takes new end readings, which then also hold the cost of that one
// small probe; the number of probes is reported. The same quiet wait comes
// before the start readings, after the press, so that nothing left over from
// the press or from starting the program is counted.
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
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// Where the moves go: XTEST on the X server, or PointerEvent messages on an
// RFB connection (the caller did the handshake; the coordinates are the
// framebuffer's).
struct Input {
    Display *dpy = nullptr;
    int screen = 0;
    int rfb = -1;
    bool ask = false;  // the caller reads the check pixels (see CountBlack)
};

void RfbSend(int fd, bool pressed, Point p)
{
    unsigned char msg[6] = {5,
                            static_cast<unsigned char>(pressed ? 1 : 0),
                            static_cast<unsigned char>(p.x >> 8),
                            static_cast<unsigned char>(p.x),
                            static_cast<unsigned char>(p.y >> 8),
                            static_cast<unsigned char>(p.y)};
    for (size_t done = 0; done < sizeof msg;) {
        ssize_t n = write(fd, msg + done, sizeof msg - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pfd{fd, POLLOUT, 0};
            poll(&pfd, 1, 1000);
        } else {
            std::perror("kp-drag: RFB write");
            std::exit(1);
        }
    }
}

void Move(const Input &in, Point p, bool pressed)
{
    if (in.rfb >= 0) {
        RfbSend(in.rfb, pressed, p);
        return;
    }
    XTestFakeMotionEvent(in.dpy, in.screen, p.x, p.y, CurrentTime);
    XFlush(in.dpy);
}

void Button(const Input &in, Point p, bool down)
{
    if (in.rfb >= 0) {
        RfbSend(in.rfb, down, p);
        return;
    }
    XTestFakeButtonEvent(in.dpy, 1, down, CurrentTime);
    XSync(in.dpy, False);
}

// How many of the check pixels are black on the screen (-1: unreadable).
// With --ask the caller reads them: the pacer prints a line "probe" and reads
// the count from stdin (after the drag).
int CountBlack(const Input &in, const std::vector<Point> &checks)
{
    if (in.ask) {
        std::printf("probe\n");
        std::fflush(stdout);
        int black = -1;
        return std::scanf("%d", &black) == 1 ? black : -1;
    }
    int x0 = checks[0].x, y0 = checks[0].y, x1 = x0, y1 = y0;
    for (const Point &p : checks) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    XImage *img = XGetImage(in.dpy, DefaultRootWindow(in.dpy), x0, y0, x1 - x0 + 1, y1 - y0 + 1,
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

struct Options {
    std::vector<int> program, server, input, watch;
    long long interval = 1'000'000, quiet = 60'000'000, timeout = 60'000'000'000LL;
    int rfbFd = -1;
    bool ask = false;
};

bool ParseOptions(int argc, char **argv, Options *o)
{
    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i];
        if (opt == "--ask") {
            o->ask = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char *v = argv[++i];
        if (opt == "--server" || opt == "--xserver")
            o->server = ParsePids(v);
        else if (opt == "--program")
            o->program = ParsePids(v);
        else if (opt == "--input")
            o->input = ParsePids(v);
        else if (opt == "--watch")
            o->watch = ParsePids(v);
        else if (opt == "--rfb-fd")
            o->rfbFd = std::atoi(v);
        else if (opt == "--interval-us")
            o->interval = std::atoll(v) * 1000;
        else if (opt == "--quiet-ms")
            o->quiet = std::atoll(v) * 1'000'000;
        else if (opt == "--timeout-s")
            o->timeout = std::atoll(v) * 1'000'000'000LL;
        else
            return false;
    }
    return !o->server.empty() && !o->program.empty() && o->interval > 0;
}

bool ReadDrag(std::vector<Point> *points, std::vector<Point> *checks)
{
    int count = 0, checkCount = 0;
    if (std::scanf("%d %d", &count, &checkCount) != 2 || count < 2 || checkCount < 1)
        return false;
    points->resize(count);
    checks->resize(checkCount);
    for (Point &p : *points)
        if (std::scanf("%d %d", &p.x, &p.y) != 2)
            return false;
    for (Point &p : *checks)
        if (std::scanf("%d %d", &p.x, &p.y) != 2)
            return false;
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: kp-drag --server PID[,PID...] --program PID[,PID...] "
                         "[--input PID,...] [--watch PID,...] [--rfb-fd FD] [--ask] "
                         "[--interval-us N] [--quiet-ms N] [--timeout-s N] < drag\n");
    return 2;
}

struct Roles {
    std::vector<int> pids;  // program, server, input, then watched processes
    size_t programs = 0, servers = 0, busy = 0;

    explicit Roles(const Options &o)
    {
        pids = o.program;
        programs = pids.size();
        pids.insert(pids.end(), o.server.begin(), o.server.end());
        servers = pids.size();
        pids.insert(pids.end(), o.input.begin(), o.input.end());
        busy = pids.size();
        pids.insert(pids.end(), o.watch.begin(), o.watch.end());
    }
    const char *Of(size_t i) const
    {
        return i < programs ? "program" : i < servers ? "server" : i < busy ? "input" : "other";
    }
};

struct Timing {
    long long sent = 0, lateMax = 0, lateSum = 0;
    int lateCount = 0;  // wake-ups more than half an interval late
    long long t0 = 0;
};

// Sends the moves after the first point, motion i at t0 + (i - 1) * interval.
Timing Pace(const Input &in, const std::vector<Point> &points, long long interval)
{
    Timing t;
    t.t0 = Now() + interval;
    for (size_t i = 1; i < points.size(); ++i) {
        long long due = t.t0 + static_cast<long long>(i - 1) * interval;
        SleepUntil(due);
        long long late = Now() - due;
        t.lateMax = std::max(t.lateMax, late);
        t.lateSum += late;
        t.lateCount += late > interval / 2;
        Move(in, points[i], true);
    }
    if (in.dpy != nullptr)
        XSync(in.dpy, False);
    t.sent = Now();
    return t;
}

void Report(const Options &o, const Roles &roles, const Sample &start, const Sample &end,
            const Timing &t, size_t moves, bool quiet[2], int probes, bool shown, bool realtime)
{
    long tck = sysconf(_SC_CLK_TCK);
    std::printf("{\"moves\": %zu, \"interval_us\": %lld, \"clk_tck\": %ld, \"shown\": %s, "
                "\"probes\": %d, \"start_quiet\": %s, \"end_quiet\": %s, \"realtime\": %s,\n",
                moves, o.interval / 1000, tck, shown ? "true" : "false", probes,
                quiet[0] ? "true" : "false", quiet[1] ? "true" : "false",
                realtime ? "true" : "false");
    std::printf(" \"send_s\": %.4f, \"drain_ms\": %.2f, \"late_max_us\": %.0f, "
                "\"late_mean_us\": %.1f, \"late_count\": %d,\n",
                (t.sent - t.t0) / 1e9, (end.time - t.sent) / 1e6, t.lateMax / 1e3,
                t.lateSum / 1e3 / moves, t.lateCount);
    // The rest of the machine while the drag ran: busy ticks of all CPUs less
    // the measured processes and the pacer, in cores.
    long long measured = 0;  // every process read, the watched ones too
    for (size_t i = 0; i < roles.pids.size(); ++i)
        measured += end.procs[i].ticks - start.procs[i].ticks;
    double seconds = (end.time - start.time) / 1e9;
    double others = (end.machineBusy - start.machineBusy - measured - (end.self - start.self)) /
                    (seconds * tck);
    std::printf(" \"elapsed_s\": %.4f, \"pacer_us\": %.0f, \"others_cores\": %.3f,\n", seconds,
                (end.self - start.self) * 1e6 / tck, std::max(others, 0.0));
    std::printf(" \"processes\": [");
    for (size_t i = 0; i < roles.pids.size(); ++i) {
        const ProcCpu &a = start.procs[i];
        const ProcCpu &b = end.procs[i];
        std::printf("%s\n  {\"pid\": %d, \"comm\": \"%s\", \"role\": \"%s\", \"alive\": %s, "
                    "\"ticks\": %lld, \"us\": %.0f, \"schedstat_us\": %.0f, \"writes\": %lld}",
                    i ? "," : "", roles.pids[i], Comm(roles.pids[i]).c_str(), roles.Of(i),
                    a.alive && b.alive ? "true" : "false", b.ticks - a.ticks,
                    (b.ticks - a.ticks) * 1e6 / tck, (b.ns - a.ns) / 1e3, b.writes - a.writes);
    }
    std::printf("\n]}\n");
}

bool OpenInput(const Options &o, Input *in)
{
    in->rfb = o.rfbFd;
    in->ask = o.ask;
    if (in->rfb >= 0 && in->ask)
        return true;
    in->dpy = XOpenDisplay(nullptr);
    if (in->dpy == nullptr) {
        std::fprintf(stderr, "kp-drag: cannot open the display\n");
        return false;
    }
    int ev, err, major, minor;
    if (in->rfb < 0 && !XTestQueryExtension(in->dpy, &ev, &err, &major, &minor)) {
        std::fprintf(stderr, "kp-drag: the X server has no XTEST\n");
        return false;
    }
    in->screen = DefaultScreen(in->dpy);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    Options o;
    std::vector<Point> points, checks;
    if (!ParseOptions(argc, argv, &o) || !ReadDrag(&points, &checks))
        return Usage();
    // Wake-ups on time: the default timer slack (50 us) would make every
    // motion late by about that much.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    sched_param param{};
    param.sched_priority = 10;
    bool realtime = sched_setscheduler(0, SCHED_FIFO, &param) == 0;
    Input in;
    if (!OpenInput(o, &in))
        return 1;
    if (CountBlack(in, checks) != 0) {
        std::fprintf(stderr, "kp-drag: check pixels are not all white before the drag\n");
        return 1;
    }
    Roles roles(o);
    Move(in, points[0], false);
    Button(in, points[0], true);
    bool quiet[2] = {false, false};
    WaitQuiet(roles.pids, roles.busy, o.quiet, Now() + o.timeout / 4, &quiet[0]);

    Sample start = Take(roles.pids, roles.busy);
    Timing t = Pace(in, points, o.interval);
    Sample end;
    bool shown = false;
    int probes = 0;
    long long deadline = t.sent + o.timeout;
    while (!shown && Now() < deadline) {
        end = WaitQuiet(roles.pids, roles.busy, o.quiet, deadline, &quiet[1]);
        ++probes;
        shown = CountBlack(in, checks) > 0;
    }
    Button(in, points.back(), false);
    if (in.dpy != nullptr)
        XCloseDisplay(in.dpy);
    Report(o, roles, start, end, t, points.size() - 1, quiet, probes, shown, realtime);
    return shown ? 0 : 3;
}
