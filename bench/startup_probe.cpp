// Starts a program and watches it from outside, as an X client beside it: the time until its
// window first shows painted pixels, its peak memory, and the CPU and wake-ups it spends while
// idle and (after a click) while busy. The program gets no hook of any kind.
//
// Usage: startup_probe [--click X,Y] [--settle MS] [--sample MS] [--frame FILE.ppm] -- PROGRAM [ARG...]
// Prints one line of key=value pairs.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// Where both programs draw first: the menu bar and, in qelo, the start button under it.
constexpr int RegionWidth = 240;
constexpr int RegionHeight = 100;
// Text and button edges are antialiased; an unpainted window is one or two colours.
constexpr size_t PaintedColours = 8;

int ignoreXErrors(Display *, XErrorEvent *) { return 0; }

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::optional<long> windowPid(Display *display, Window window, Atom pidAtom)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data)
            != Success
        || !data)
        return std::nullopt;
    std::optional<long> pid;
    if (count == 1 && format == 32)
        pid = *reinterpret_cast<long *>(data);
    XFree(data);
    return pid;
}

// Top-level client windows of the process, as the window manager lists them.
Window findClientWindow(Display *display, pid_t pid)
{
    const Atom listAtom = XInternAtom(display, "_NET_CLIENT_LIST", False);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), listAtom, 0, 1024, False, XA_WINDOW, &type, &format,
                           &count, &after, &data)
            != Success
        || !data)
        return 0;
    Window found = 0;
    const Window *windows = reinterpret_cast<Window *>(data);
    for (unsigned long i = 0; i < count && !found; ++i) {
        if (windowPid(display, windows[i], pidAtom) == pid)
            found = windows[i];
    }
    XFree(data);
    return found;
}

struct Region
{
    int width = 0;
    int height = 0;
    std::vector<unsigned long> pixels;
};

std::optional<Region> grab(Display *display, Window window, int width, int height)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return std::nullopt;
    width = std::min(width, attributes.width);
    height = std::min(height, attributes.height);
    if (width <= 0 || height <= 0)
        return std::nullopt;
    XImage *image = XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    Region region{width, height, {}};
    region.pixels.reserve(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            region.pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return region;
}

size_t colourCount(const Region &region)
{
    std::set<unsigned long> colours;
    for (unsigned long p : region.pixels) {
        colours.insert(p);
        if (colours.size() >= PaintedColours)
            break;
    }
    return colours.size();
}

void writePpm(const Region &region, const std::string &path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << region.width << ' ' << region.height << "\n255\n";
    for (unsigned long p : region.pixels) {
        const char rgb[3] = {char((p >> 16) & 0xFF), char((p >> 8) & 0xFF), char(p & 0xFF)};
        out.write(rgb, 3);
    }
}

// utime + stime of all threads, in clock ticks, and the wake-ups (context switches) of all threads.
struct Usage
{
    long long ticks = 0;
    long long switches = 0;
};

Usage usageOf(pid_t pid)
{
    Usage usage;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        // Fields after the name start at 3 (state); utime and stime are 14 and 15.
        for (int index = 3; fields >> field; ++index) {
            if (index == 14 || index == 15)
                usage.ticks += std::stoll(field);
            if (index == 15)
                break;
        }
    }
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(tasks.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream status(tasks + "/" + entry->d_name + "/status");
            while (std::getline(status, line)) {
                if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                    usage.switches += std::stoll(line.substr(line.find(':') + 1));
            }
        }
        closedir(dir);
    }
    return usage;
}

long statusKib(pid_t pid, const char *key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    }
    return -1;
}

struct Load
{
    double cpuPercent;
    double wakeupsPerSecond;
};

Load measureLoad(pid_t pid, int ms)
{
    const Usage before = usageOf(pid);
    const Clock::time_point start = Clock::now();
    sleepMs(ms);
    const Usage after = usageOf(pid);
    const double seconds = msSince(start) / 1000;
    const double tick = double(sysconf(_SC_CLK_TCK));
    return {100.0 * double(after.ticks - before.ticks) / tick / seconds, double(after.switches - before.switches) / seconds};
}

int run(const std::vector<char *> &command, int settleMs, int sampleMs, std::optional<std::pair<int, int>> click,
        const std::string &framePath)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "startup_probe: no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreXErrors);

    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawn(&pid, command[0], nullptr, nullptr, command.data(), environ) != 0) {
        std::fprintf(stderr, "startup_probe: cannot start %s\n", command[0]);
        return 2;
    }

    // Poll every millisecond: find the window, then wait for its first painted pixels.
    Window window = 0;
    double mappedMs = -1, paintedMs = -1;
    Region frame;
    while (msSince(start) < 20000) {
        if (!window)
            window = findClientWindow(display, pid);
        if (window) {
            if (const std::optional<Region> region = grab(display, window, RegionWidth, RegionHeight)) {
                if (mappedMs < 0)
                    mappedMs = msSince(start);
                if (colourCount(*region) >= PaintedColours) {
                    paintedMs = msSince(start);
                    frame = *region;
                    break;
                }
            }
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "startup_probe: the program ended before painting\n");
            XCloseDisplay(display);
            return 2;
        }
        sleepMs(1);
    }
    if (paintedMs < 0) {
        std::fprintf(stderr, "startup_probe: no painted window within 20 s\n");
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        XCloseDisplay(display);
        return 2;
    }
    if (!framePath.empty())
        writePpm(frame, framePath);

    sleepMs(settleMs);
    const long hwmStart = statusKib(pid, "VmHWM:");
    const Load idle = measureLoad(pid, sampleMs);
    std::printf("first_frame_ms=%.1f mapped_ms=%.1f hwm_kib=%ld idle_cpu_pct=%.2f idle_wakeups_per_s=%.2f",
                paintedMs, mappedMs, hwmStart, idle.cpuPercent, idle.wakeupsPerSecond);

    if (click) {
        const std::optional<Region> before = grab(display, window, RegionWidth, RegionHeight);
        // xdotool moves the real pointer and clicks, as a player's mouse would.
        const std::string x = std::to_string(click->first), y = std::to_string(click->second),
                          win = std::to_string(window);
        std::vector<const char *> xdotool = {"xdotool", "mousemove", "--window", win.c_str(), x.c_str(), y.c_str(),
                                             "click", "1", nullptr};
        pid_t tool = 0;
        if (posix_spawnp(&tool, "xdotool", nullptr, nullptr, const_cast<char **>(xdotool.data()), environ) == 0)
            waitpid(tool, nullptr, 0);
        sleepMs(300);
        const std::optional<Region> after = grab(display, window, RegionWidth, RegionHeight);
        const bool changed = before && after && before->pixels != after->pixels;
        const Load busy = measureLoad(pid, sampleMs);
        std::printf(" clicked_changed_screen=%d after_click_cpu_pct=%.2f after_click_wakeups_per_s=%.2f hwm_after_kib=%ld",
                    int(changed), busy.cpuPercent, busy.wakeupsPerSecond, statusKib(pid, "VmHWM:"));
    }
    std::printf("\n");

    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    int settleMs = 1000, sampleMs = 4000;
    std::optional<std::pair<int, int>> click;
    std::string framePath;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            break;
        if (option == "--settle")
            settleMs = std::atoi(argv[++i]);
        else if (option == "--sample")
            sampleMs = std::atoi(argv[++i]);
        else if (option == "--frame")
            framePath = argv[++i];
        else if (option == "--click") {
            int x = 0, y = 0;
            if (std::sscanf(argv[++i], "%d,%d", &x, &y) == 2)
                click = {x, y};
        }
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr,
                     "usage: startup_probe [--click X,Y] [--settle MS] [--sample MS] [--frame FILE.ppm] -- PROGRAM [ARG...]\n");
        return 2;
    }
    std::vector<char *> command(argv + i + 1, argv + argc);
    command.push_back(nullptr);
    return run(command, settleMs, sampleMs, click, framePath);
}
