// Figures for `make bench`, run inside tools/session.sh. Each section prints
// its own lines; nothing here passes or fails.
// Usage: pelmora_bench BUILD_DIR [SECTION...] (the build folder for the
// sections that start the program; all sections unless some are named).
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "support/no_sound_server.h"
#include "support/null_sink_recorder.h"
#include "support/stall_watch.h"
#include "support/tone.h"
#include "support/x_input.h"
#include "ui/layout.h"
#include "idle.h"
#include "startup.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void printFigure(const char* what, const std::vector<double>& v, const char* target) {
    if (v.empty()) {
        std::printf("  %-44s no figure\n", what);
        return;
    }
    std::printf("  %-44s median %6.1f ms  (min %.1f, max %.1f, %zu runs)  target %s\n", what,
                median(v), *std::min_element(v.begin(), v.end()),
                *std::max_element(v.begin(), v.end()), v.size(), target);
}

// The runs of a figure that had a stall of this machine's CPUs in them
// (support/stall_watch.h): a host that takes a CPU away for a sound server's
// cycle or more costs that cycle whatever the player does.
struct Stalls {
    int runs = 0;
    double longestMs = 0;
    void add(double stallMs) {
        ++runs;
        longestMs = std::max(longestMs, stallMs);
    }
    void print(const char* what, size_t of) const {
        if (runs) std::printf("  %-44s %d of %zu (longest %.1f ms)\n", what, runs, of, longestMs);
    }
};

// ---- sound ----------------------------------------------------------------

// A load of the machine's size beside the program: one busy loop at normal
// priority for each CPU, as a build or a second test run would be.
class Load {
public:
    explicit Load(int processes) {
        for (int i = 0; i < processes; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                sched_param normal{0};
                sched_setscheduler(0, SCHED_OTHER, &normal);
                volatile unsigned spin = 0;
                for (;;) spin = spin + 1;
            }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    ~Load() {
        for (const pid_t pid : pids_) kill(pid, SIGKILL);
        for (const pid_t pid : pids_) waitpid(pid, nullptr, 0);
    }

private:
    std::vector<pid_t> pids_;
};

// The thread that clicks runs real-time where allowed, as the recorder does,
// so that on a busy machine the figures are the player's delay and not the
// instrument's own wait for a CPU.
bool instrumentPriority(pthread_t thread) {
    const sched_param priority{sched_get_priority_min(SCHED_FIFO)};
    return pthread_setschedparam(thread, SCHED_FIFO, &priority) == 0;
}

constexpr int kRate = 48000;  // the notes' own rate

// What reached the sink, put on the clock; recorded at the notes' own rate,
// in blocks of the player's own cycle.
using Recorder = pelmora::testing::NullSinkRecorder;
constexpr int kRecorderFrames = 256;

// Run in a child process (ALSA reads its configuration once per process):
// prints how long calls take when no sound server can be reached.
int soundNoServerChild(const char* tone) {
    pelmora::testing::pointSoundServersNowhere(fs::path(tone).parent_path());
    std::vector<double> calls;
    for (int i = 0; i < 7; ++i) {
        const auto t0 = Clock::now();
        pelmora::sound::play(tone);
        calls.push_back(ms(Clock::now() - t0));
    }
    std::printf("%.2f %.2f\n", calls.front(), median({calls.begin() + 1, calls.end()}));
    return 0;
}

void benchNoServer(const fs::path& tone) {
    int out[2];
    if (pipe(out) != 0) return;
    const fs::path errFile = tone.parent_path() / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const char* argv[] = {"pelmora_bench", "--sound-no-server", tone.c_str(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr,
                               const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; rc == 0 && (n = read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    close(out[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    std::error_code e;
    const auto errors = fs::file_size(errFile, e);
    double first = 0, later = 0;
    if (std::sscanf(text.c_str(), "%lf %lf", &first, &later) != 2) {
        std::printf("  no server: child gave no figures\n");
        return;
    }
    std::printf("  %-44s first %.1f ms, then median %.1f ms  target < 100 ms\n",
                "no server: call returns after", first, later);
    std::printf("  %-44s %ju bytes\n", "no server: written to stderr", uintmax_t(e ? 0 : errors));
}

void benchSound() {
    std::printf("sound\n");
    char pattern[] = "/tmp/pelmora-bench.XXXXXX";
    if (!mkdtemp(pattern)) return;
    const fs::path dir = pattern;
    constexpr double kSeconds = 1.0;
    const fs::path tone = dir / "tone.wav";
    if (!pelmora::testing::writeTone(tone, kSeconds, kRate)) {
        std::printf("  could not write %s\n", tone.c_str());
        fs::remove_all(dir);
        return;
    }

    Recorder recorder(kRate, kRecorderFrames, true);
    if (!recorder.ready()) {
        std::printf("  no recording from the null sink (run inside tools/session.sh)\n");
    } else {
        const int cpus = int(std::max(1u, std::thread::hardware_concurrency()));
        for (const int busy : {0, cpus}) {
            const Load load(busy);
            std::this_thread::sleep_for(milliseconds(busy ? 1000 : 0));  // the loops have their share
            std::vector<double> toFirst, afterLast;
            double coldFirst = -1, coldAfter = -1;
            int runs = 0, whole = 0, silenced = 0;
            Stalls notWhole;
            for (int run = 0; run < 10; ++run) {
                const size_t from = recorder.count();
                pelmora::testing::StallWatch watch;
                const auto t0 = Clock::now();
                pelmora::sound::play(tone);
                const auto t1 = Clock::now();
                std::this_thread::sleep_for(milliseconds(300));  // let the tail reach parec
                Clock::time_point first, last;
                size_t length = 0;
                ++runs;
                if (!recorder.loudSpan(from, first, last, length)) continue;
                const bool lost = recorder.silentGaps(from) > 0;
                silenced += lost;
                // A sink of another rate (PipeWire's runs at 48 kHz) resamples the
                // edges by a sample or two; a cut would lose a period or more.
                const bool isWhole = !lost && std::abs(double(length) - kSeconds * kRate) <= 4;
                whole += isWhole;
                if (!isWhole && !watch.calm()) notWhole.add(watch.longestMs());
                if (busy) continue;
                if (run == 0) {
                    coldFirst = ms(first - t0);
                    coldAfter = ms(t1 - last);
                    continue;
                }
                toFirst.push_back(ms(first - t0));
                afterLast.push_back(ms(t1 - last));
            }
            if (!busy) {
                printFigure("play() call to first sample at the sink", toFirst, "<= 10 ms");
                printFigure("last sample at the sink to return", afterLast, "<= 20 ms");
                std::printf("  %-44s %.1f ms to first sample, return %.1f ms after last\n",
                            "first call of the process", coldFirst, coldAfter);
            }
            const std::string what = std::string("note reached the sink whole, ") + (busy ? "busy" : "quiet");
            std::printf("  %-44s %d of %d runs (%d with frames turned to silence)\n", what.c_str(), whole, runs,
                        silenced);
            notWhole.print("  not whole beside a stall of the CPUs", size_t(runs - whole));
        }
    }
    benchNoServer(tone);
    fs::remove_all(dir);
}

// A left click through XTEST, the button held `held` long; the time when
// the server has taken the release, which is when a button's click fires.
Clock::time_point clickAt(pelmora::testing::XInput& x, pelmora::ui::layout::Point p, milliseconds held) {
    x.move(p.x, p.y);
    x.button(1, true);
    std::this_thread::sleep_for(held);
    x.button(1, false);
    return Clock::now();
}

std::string loadAverage() {
    char text[64] = "";
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(text, sizeof text, f)) text[0] = 0;
        std::fclose(f);
    }
    std::string line = text;
    return line.substr(0, line.find(' ', line.find(' ', line.find(' ') + 1) + 1));
}

// The program started from `folder` at normal priority, as a player's
// would be, until its main window shows; ended when it goes.
class Program {
public:
    Program(const fs::path& folder, pelmora::testing::XInput& x) {
        const std::string program = (folder / "pelmora").string();
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        const sched_param normal{0};
        posix_spawnattr_setschedpolicy(&attributes, SCHED_OTHER);
        posix_spawnattr_setschedparam(&attributes, &normal);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
        if (posix_spawn(&pid_, program.c_str(), nullptr, &attributes, argv, environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        for (int i = 0; pid_ > 0 && i < 2000 && !x.showsWindow(pid_, "Pelmora"); ++i)
            std::this_thread::sleep_for(milliseconds(10));
    }
    ~Program() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

constexpr const char* kBesideStall = "  clicks beside a stall of the CPUs";

// 開始 clicked on the real program: from the click (the X server has taken
// the release) to the note's first sample at the sink, on a quiet machine
// and beside a load of its size.
void benchClick(const fs::path& buildDir) {
    std::printf("開始 click\n");
    Recorder recorder(kRate, kRecorderFrames, true);
    if (!recorder.ready()) {
        std::printf("  no recording from the null sink (run inside tools/session.sh)\n");
        return;
    }
    const bool clickerRealTime = instrumentPriority(pthread_self());
    if (!recorder.realTime() || !clickerRealTime)
        std::printf("  (the recorder or the clicker runs at normal priority: busy figures include its waits)\n");
    const fs::path folder = programCopy(buildDir);
    pelmora::testing::XInput x;
    const auto start = pelmora::ui::layout::kStartButton.centreOn(pelmora::ui::layout::kMainOrigin);
    // One click; the time from it to the first sample of its note.
    auto clickToFirst = [&](milliseconds held, std::vector<double>& figures, Stalls& stalls) {
        recorder.waitQuiet(milliseconds(300));  // a late note's tail is not the next one's start
        const size_t from = recorder.count();
        pelmora::testing::StallWatch watch;
        const auto clicked = clickAt(x, start, held);
        std::this_thread::sleep_for(milliseconds(100));  // well past the first sample
        const bool calm = watch.calm();
        std::this_thread::sleep_for(milliseconds(1900));  // the 1.5 s note, then its tail
        Clock::time_point first, last;
        size_t length = 0;
        if (!recorder.loudSpan(from, first, last, length)) return;
        figures.push_back(ms(first - clicked));
        if (!calm) stalls.add(watch.longestMs());
    };
    const int cpus = int(std::max(1u, std::thread::hardware_concurrency()));
    for (const int busy : {0, cpus}) {
        const std::string loadBefore = loadAverage();
        const Load load(busy);
        std::this_thread::sleep_for(milliseconds(busy ? 1000 : 0));  // the loops have their share
        const std::string figure = std::string(busy ? "busy" : "quiet") + ", ";
        // The note a player hears first: the first click of a program that
        // has just shown its window (and, after a second, is left idle).
        std::vector<double> firstOfProgram;
        Stalls firstStalls;
        for (int launch = 0; launch < 8; ++launch) {
            const Program program(folder, x);
            if (!program.started()) break;
            x.move(start.x, start.y);
            std::this_thread::sleep_for(milliseconds(1000));
            clickToFirst(milliseconds(0), firstOfProgram, firstStalls);
        }
        printFigure((figure + "first click of a new program, held 0").c_str(), firstOfProgram, "<= 10 ms");
        firstStalls.print(kBesideStall, firstOfProgram.size());
        // A player's click holds the button for some 50 to 150 ms, in which
        // the program opens the device; a click with no time between press
        // and release (xdotool's) shows what opening it costs.
        const Program program(folder, x);
        if (!program.started()) break;
        x.move(start.x, start.y);
        std::this_thread::sleep_for(milliseconds(500));
        for (const int held : {80, 0}) {
            std::vector<double> toFirst;
            Stalls stalls;
            for (int run = 0; run < 15; ++run) clickToFirst(milliseconds(held), toFirst, stalls);
            printFigure((figure + "held " + std::to_string(held) + " ms: click to first sample").c_str(), toFirst,
                        "<= 10 ms");
            stalls.print(kBesideStall, toFirst.size());
        }
        std::printf("  %-44s %s before, %s after\n",
                    busy ? ("load average, " + std::to_string(busy) + " busy loops").c_str()
                         : "load average, quiet",
                    loadBefore.c_str(), loadAverage().c_str());
    }
    fs::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--sound-no-server") return soundNoServerChild(argv[2]);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const fs::path buildDir = argc > 1 ? argv[1] : "build";
    // Sections named after the build folder run alone, in the order given.
    std::vector<std::string> sections(argv + std::min(argc, 2), argv + argc);
    if (sections.empty()) sections = {"sound", "click", "startup", "idle"};
    for (const std::string& section : sections) {
        if (section == "sound") benchSound();
        else if (section == "click") benchClick(buildDir);
        else if (section == "startup") startupSection(buildDir);
        else if (section == "idle") idleSection(buildDir);
        else std::printf("no section \"%s\" (sound, click, startup, idle)\n", section.c_str());
    }
    return 0;
}
