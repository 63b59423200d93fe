#include "startup.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A point of the bare main window, right of the keyboard: black (the empty
// root of the virtual display) until the window has painted it.
constexpr int kProbeX = 217 + 450, kProbeY = 267 + 150;

unsigned long pixelAt(Display* display, int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel;
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

struct Painted { pid_t pid = -1; double firstPaintMs = -1; };

// Starts `args` (the first looked up on PATH, its stderr silenced) once the
// probe point is black, and waits up to `limit` for the first paint there.
Painted startUntilPainted(Display* display, const std::vector<std::string>& args, std::chrono::seconds limit) {
    while (pixelAt(display, kProbeX, kProbeY) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Painted result;
    const auto start = Clock::now();
    const int rc = posix_spawnp(&result.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return {};
    while (Clock::now() - start < limit) {
        if (pixelAt(display, kProbeX, kProbeY) != 0) {
            result.firstPaintMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        // Looking without pause would keep a core and the X server busy on
        // a two-core machine, against the program being timed.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return result;
}

struct Launch { double firstPaintMs; long residentKiB; };

// Starts `program`, waits for its first paint at the probe point, reads its
// memory once it has settled, and ends it.
Launch launch(Display* display, const fs::path& program) {
    const Painted painted = startUntilPainted(display, {program.string()}, std::chrono::seconds(20));
    if (painted.pid < 0) return {-1, 0};
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Launch result{painted.firstPaintMs, residentKiB(painted.pid)};
    kill(painted.pid, SIGTERM);
    waitpid(painted.pid, nullptr, 0);
    return result;
}

// Instructions the program runs from exec to its first paint, counted by
// callgrind: unlike the clock, the count does not move with the machine's
// load. 0 where valgrind is missing.
double instructionsToFirstPaint(Display* display, const fs::path& program) {
    const fs::path out = fs::temp_directory_path() / ("pelmora-bench-" + std::to_string(getpid()) + ".callgrind");
    const Painted painted = startUntilPainted(
        display, {"valgrind", "--tool=callgrind", "--callgrind-out-file=" + out.string(), program.string()},
        std::chrono::seconds(60));
    if (painted.pid < 0) return 0;
    // The counts so far go to a part file of their own.
    if (painted.firstPaintMs >= 0)
        std::system(("callgrind_control --dump " + std::to_string(painted.pid) + " >/dev/null 2>&1").c_str());
    kill(painted.pid, SIGKILL);
    waitpid(painted.pid, nullptr, 0);
    double total = 0;
    std::ifstream part(out.string() + ".1");
    for (std::string line; std::getline(part, line);) {
        if (line.rfind("totals:", 0) == 0) total = std::stod(line.substr(7));
    }
    fs::remove(out);
    fs::remove(out.string() + ".1");
    return total;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

fs::path programCopy(const fs::path& buildDir) {
    const fs::path folder = fs::temp_directory_path() / ("pelmora-bench-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& entry : fs::directory_iterator(buildDir / "bin")) {
        if (entry.path().filename() != "date.ini") {
            fs::copy(entry.path(), folder / entry.path().filename(), fs::copy_options::recursive);
        }
    }
    const char record[] = "[\x8f\xee\x95\xf1]\r\n\x83\x86\x81\x5b\x83\x55\x81\x5b=bench\r\n";  // [情報] ユーザー=bench
    std::ofstream(folder / "date.ini", std::ios::binary).write(record, sizeof record - 1);
    return folder;
}

void startupSection(const fs::path& buildDir) {
    std::printf("Start-up (exec to first paint) against a bare main window with a menu bar and a Japanese label,\n"
                "in interleaved pairs (the order alternates):\n");
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::printf("  no display\n");
        return;
    }
    const fs::path folder = programCopy(buildDir);
    const fs::path bare = buildDir / "bench" / "minimal_window";

    std::vector<double> ratios, memory, bareMemory;
    // A busy two-core machine moves single launches by a third; the median
    // of many pairs is steadier.
    for (int i = 0; i < 15; ++i) {
        Launch p, b;
        if (i % 2 == 0) {
            p = launch(display, folder / "pelmora");
            b = launch(display, bare);
        } else {
            b = launch(display, bare);
            p = launch(display, folder / "pelmora");
        }
        if (p.firstPaintMs <= 0 || b.firstPaintMs <= 0) {
            std::printf("  pair %d: no first paint\n", i + 1);
            continue;
        }
        ratios.push_back(p.firstPaintMs / b.firstPaintMs);
        memory.push_back(p.residentKiB / 1024.0);
        bareMemory.push_back(b.residentKiB / 1024.0);
        std::printf("  pair %d: Pelmora %6.1f ms, bare window %6.1f ms, ratio %.2f\n", i + 1, p.firstPaintMs,
                    b.firstPaintMs, ratios.back());
    }
    std::printf("  %-44s %6.2f      target <= 1.15\n", "ratio, median of the pairs", median(ratios));
    const double pelmora = instructionsToFirstPaint(display, folder / "pelmora");
    const double plain = instructionsToFirstPaint(display, bare);
    if (pelmora > 0 && plain > 0) {
        std::printf("  %-44s %.1f M against %.1f M, ratio %.3f\n", "instructions to first paint (callgrind)",
                    pelmora / 1e6, plain / 1e6, pelmora / plain);
    } else {
        std::printf("  instructions to first paint: not counted (valgrind missing)\n");
    }
    XCloseDisplay(display);
    fs::remove_all(folder);

    std::printf("Resident memory after start-up, median:\n");
    std::printf("  %-44s %6.1f MiB\n", "Pelmora", median(memory));
    std::printf("  %-44s %6.1f MiB  target: Pelmora <= bare + 15 MiB\n", "bare window", median(bareMemory));
}
