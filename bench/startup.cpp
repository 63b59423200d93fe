#include "startup.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

struct Launch { double firstPaintMs; long residentKiB; };

// Starts `program`, waits for its first paint at the probe point, reads its
// memory once it has settled, and ends it.
Launch launch(Display* display, const fs::path& program) {
    while (pixelAt(display, kProbeX, kProbeY) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::string path = program.string();
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    const auto start = Clock::now();
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return {-1, 0};
    Launch result{-1, 0};
    while (Clock::now() - start < std::chrono::seconds(20)) {
        if (pixelAt(display, kProbeX, kProbeY) != 0) {
            result.firstPaintMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    result.residentKiB = residentKiB(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return result;
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
    for (int i = 0; i < 9; ++i) {
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
    XCloseDisplay(display);
    fs::remove_all(folder);

    std::printf("  %-44s %6.2f      target <= 1.15\n", "ratio, median of the pairs", median(ratios));
    std::printf("Resident memory after start-up, median:\n");
    std::printf("  %-44s %6.1f MiB\n", "Pelmora", median(memory));
    std::printf("  %-44s %6.1f MiB  target: Pelmora <= bare + 15 MiB\n", "bare window", median(bareMemory));
}
