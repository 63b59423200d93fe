#include "idle.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "startup.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr auto kIdle = std::chrono::seconds(10);

struct Usage {
    double cpuMs = 0;        // utime + stime of all threads
    long switches = 0;       // context switches of all threads: each is a wake-up or a preemption
    int threads = 0;
};

Usage usage(pid_t pid) {
    Usage u;
    const fs::path proc = "/proc/" + std::to_string(pid);
    std::ifstream stat(proc / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name, which may hold blanks, start at state (3).
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stoull(field);
    }
    u.cpuMs = 1000.0 * double(ticks) / double(sysconf(_SC_CLK_TCK));
    std::error_code e;
    for (const auto& task : fs::directory_iterator(proc / "task", e)) {
        ++u.threads;
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.find("ctxt_switches:") != std::string::npos) u.switches += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return u;
}

void report(const char* what, pid_t pid) {
    const Usage before = usage(pid);
    std::this_thread::sleep_for(kIdle);
    const Usage after = usage(pid);
    const double seconds = std::chrono::duration<double>(kIdle).count();
    std::printf("  %-44s %5.0f ms CPU in %.0f s (%.2f %%), %ld context switches, %d threads  target 0 ms\n", what,
                after.cpuMs - before.cpuMs, seconds, (after.cpuMs - before.cpuMs) / seconds / 10,
                after.switches - before.switches, after.threads);
}

}  // namespace

void idleSection(const fs::path& buildDir) {
    std::printf("Idle (utime + stime from /proc/PID/stat, 10 ms steps):\n");
    const fs::path folder = programCopy(buildDir);
    const std::string program = (folder / "pelmora").string();
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        std::printf("  the program did not start\n");
        fs::remove_all(folder);
        return;
    }
    if (std::system("timeout 20 xdotool search --sync --onlyvisible --name '^Pelmora$' >/dev/null") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(1));  // the first paint and font loading
        report("main window open, untouched", pid);
        // One question: 開始 clicked, the note played, the pointer moved off.
        if (Display* display = XOpenDisplay(nullptr)) {
            const Usage before = usage(pid);
            XTestFakeMotionEvent(display, -1, 489, 455, 0);
            XTestFakeButtonEvent(display, 1, True, 0);
            XTestFakeButtonEvent(display, 1, False, 0);
            XTestFakeMotionEvent(display, -1, 5, 5, 0);
            XCloseDisplay(display);
            std::this_thread::sleep_for(std::chrono::seconds(3));
            const Usage after = usage(pid);
            std::printf("  %-44s %5.0f ms CPU, %ld context switches\n", "one note played (start button clicked)",
                        after.cpuMs - before.cpuMs, after.switches - before.switches);
            report("after one note", pid);
        }
    } else {
        std::printf("  no window\n");
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    fs::remove_all(folder);
}
