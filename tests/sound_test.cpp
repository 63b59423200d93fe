// Plays through the session's null sink (tools/session.sh) and checks what
// reached it by recording the sink's monitor with parec.
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "support/no_sound_server.h"
#include "support/null_sink_recorder.h"
#include "support/session_sound_server.h"
#include "support/stall_watch.h"
#include "support/tone.h"

namespace pelmora::sound {
void alertFrom(const std::string& bellPath, const std::function<void()>& started = {});
}

namespace fs = std::filesystem;
using namespace pelmora;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using pelmora::testing::writeTone;

namespace {

constexpr int kRecordRate = 44100;
constexpr const char* kBell = "/usr/share/sounds/freedesktop/stereo/bell.oga";

double lengthMs(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return 0;
    sf_close(f);
    return 1000.0 * double(info.frames) / info.samplerate;
}

double elapsedMs(const std::function<void()>& call) {
    const auto t0 = Clock::now();
    call();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double loudMs(const std::vector<short>& samples, int rate = kRecordRate) { return pelmora::testing::loudMs(samples, rate); }

// The same for a file, mixed down to mono as parec records it.
double fileLoudMs(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return 0;
    std::vector<short> all(size_t(info.frames * info.channels)), mono(size_t(info.frames));
    sf_readf_short(f, all.data(), info.frames);
    sf_close(f);
    for (size_t i = 0; i < mono.size(); ++i) {
        int sum = 0;
        for (int c = 0; c < info.channels; ++c) sum += all[i * info.channels + c];
        mono[i] = short(sum / info.channels);
    }
    return loudMs(mono, info.samplerate);
}

// The call returns once the note has sounded: not before its end (give or
// take the sink's own blocks), and not long after, though a sound server may
// take tens of milliseconds to set up the stream first (PipeWire's session
// manager links each new one), unless the machine stalled meanwhile.
void expectBlocksFor(double callMs, double noteMs, bool calm) {
    EXPECT_GT(callMs, noteMs - 30);
    if (calm) {
        EXPECT_LT(callMs, noteMs + 150);
    }
}

class Sound : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("PELMORA_NULL_MONITOR")) GTEST_SKIP() << "run inside tools/session.sh";
        char pattern[] = "/tmp/sound_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        // The first note of a process also sets up the sound library, which
        // takes tens of milliseconds more under a sanitizer; the timed notes
        // come after it.
        const fs::path warmUp = dir / "warm-up.wav";
        ASSERT_TRUE(writeTone(warmUp, 0.02));
        sound::play(warmUp);
    }
    void TearDown() override {
        if (!dir.empty()) fs::remove_all(dir);
    }

    // Plays via `call` while recording; gives the call's duration and the
    // loud stretch that reached the sink, and returns whether the machine had
    // its CPUs all the while (support/stall_watch.h); a recording beside a
    // stall is made again, up to 5 times.
    bool playRecorded(const std::function<void()>& call, double& callMs, double& heardMs) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            pelmora::testing::StallWatch stalls;
            pelmora::testing::NullSinkRecorder recording(kRecordRate);
            EXPECT_TRUE(recording.ready()) << "parec did not start";
            callMs = elapsedMs(call);
            const std::vector<short> samples = recording.stop();
            heardMs = loudMs(samples);
            gaps = pelmora::testing::silentGaps(samples, kRecordRate);
            if (stalls.calm()) return true;
            std::fprintf(stderr, "A CPU stalled while recording (longest wait %.1f ms); played again.\n",
                         stalls.longestMs());
        }
        std::fprintf(stderr, "A CPU stalled in each recording; what was heard is not judged.\n");
        return false;
    }

    fs::path dir;
    size_t gaps = 0;  // silent stretches inside the last recording
};

TEST_F(Sound, NoteBlocksForItsLengthAndReachesTheSinkWhole) {
    struct Case {
        double seconds;
        int rate, channels;
    };
    // The 40 ms clip fits in the device buffer and never fills it, so it
    // relies on being started and drained explicitly.
    for (const Case c : {Case{1.5, 44100, 1}, Case{0.6, 48000, 2}, Case{0.6, 22050, 1},
                         Case{0.04, 44100, 1}}) {
        SCOPED_TRACE(::testing::Message() << c.seconds << " s, " << c.rate << " Hz, "
                                        << c.channels << " channel(s)");
        const fs::path note = dir / "note.wav";
        ASSERT_TRUE(writeTone(note, c.seconds, c.rate, c.channels));
        double callMs = 0, heardMs = 0, startedMs = -1;
        // The caller hears of the start while most of the note is still to
        // come, and its paint then neither delays nor breaks the note.
        const bool calm = playRecorded(
            [&] {
                startedMs = -1;
                const auto called = Clock::now();
                sound::play(note, [&] {
                    startedMs = std::chrono::duration<double, std::milli>(Clock::now() - called).count();
                    std::this_thread::sleep_for(milliseconds(30));
                });
            },
            callMs, heardMs);
        expectBlocksFor(callMs, c.seconds * 1000, calm);
        EXPECT_GE(startedMs, 0);
        EXPECT_LT(startedMs, callMs - c.seconds * 1000 / 2);
        // Resampled notes may lose a sample or so at either edge.
        if (calm) {
            EXPECT_NEAR(heardMs, c.seconds * 1000, c.rate == kRecordRate ? 1 : 2);
            EXPECT_EQ(gaps, 0u) << "frames of the note turned to silence";
        }
    }
}

// A server that runs longer cycles than the player asks for (a user's own
// PULSE_PROP) still plays a note's last frames with the rest.
TEST_F(Sound, NoteEndsWholeInLongCycles) {
    // Set after the player's own first device, as a user's would be.
    const std::string had = std::getenv("PULSE_PROP") ? std::getenv("PULSE_PROP") : "";
    setenv("PULSE_PROP", "pulse.min.req=\"512/48000\" pulse.min.quantum=\"512/48000\"", 1);
    const fs::path note = dir / "note.wav";
    for (const double seconds : {0.04, 0.3}) {
        ASSERT_TRUE(writeTone(note, seconds));
        double callMs = 0, heardMs = 0;
        if (playRecorded([&] { sound::play(note); }, callMs, heardMs)) {
            EXPECT_NEAR(heardMs, seconds * 1000, 1);
        }
    }
    setenv("PULSE_PROP", had.c_str(), 1);
}

// The device opened ahead of a note (while 開始 is held) plays it as a fresh
// one would, also for a note of another format, and is closed when no note
// follows: then no stream is left on the server. Warming up opens nothing
// that stays.
TEST_F(Sound, APreparedDeviceIsTakenOverOrClosed) {
    auto command = [](const char* line) {
        std::unique_ptr<FILE, int (*)(FILE*)> out(popen(line, "r"), pclose);
        std::string text;
        for (int c; (c = std::fgetc(out.get())) != EOF;) text += char(c);
        return text;
    };
    // The device opens and closes on the sound thread, soon after the call.
    auto streams = [&](long expected) {
        long count = -1;
        for (int tries = 0; tries < 50 && count != expected; ++tries) {
            if (tries) std::this_thread::sleep_for(milliseconds(20));
            const std::string lines = command("pactl list short sink-inputs");
            count = std::count(lines.begin(), lines.end(), '\n');
        }
        return count;
    };
    for (const auto& [rate, channels] : {std::pair{44100, 1}, std::pair{48000, 2}}) {
        SCOPED_TRACE(::testing::Message() << rate << " Hz, " << channels << " channel(s)");
        const fs::path note = dir / "note.wav";
        ASSERT_TRUE(writeTone(note, 0.6, rate, channels));
        double callMs = 0, heardMs = 0;
        const bool calm = playRecorded(
            [&] {
                sound::prepare();
                sound::play(note);
            },
            callMs, heardMs);
        expectBlocksFor(callMs, 600, calm);
        if (calm) {
            EXPECT_NEAR(heardMs, 600, rate == kRecordRate ? 1 : 2);
        }
    }
    EXPECT_EQ(streams(0), 0);
    sound::prepare();
    EXPECT_EQ(streams(1), 1) << "the device is open while the button is held";
    // PipeWire runs the stream in the cycles its period asks for (10 ms,
    // which it rounds down to 256 frames): not in its default 1024 frames
    // (21 ms), which would put the first sample of a click at 20 ms and more,
    // nor in 128 (2.7 ms), which a busy virtual machine's stalls break.
    if (const std::string inputs = command("pactl info; pactl list sink-inputs");
        inputs.find("PipeWire") != std::string::npos) {
        const size_t at = inputs.find("node.latency = \"");
        ASSERT_NE(at, std::string::npos) << inputs;
        double frames = 0, rate = 1;
        std::sscanf(inputs.c_str() + at, "node.latency = \"%lf/%lf", &frames, &rate);
        EXPECT_LE(frames / rate * 1000, 10.0) << inputs.substr(at, 40);
        EXPECT_GE(frames / rate, 256.0 / 48000) << inputs.substr(at, 40);
    }
    sound::discardPrepared();
    EXPECT_EQ(streams(0), 0);

    // Warming up leaves no client of the server, nor its thread, behind.
    auto threads = [] { return std::distance(fs::directory_iterator("/proc/self/task"), {}); };
    const std::string clients = command("pactl list short clients | cut -f3 | sort");
    const auto threadsBefore = threads();
    sound::warmUp();
    EXPECT_EQ(command("pactl list short clients | cut -f3 | sort"), clients);
    EXPECT_EQ(threads(), threadsBefore);
}

TEST_F(Sound, ProgramNotesPlayForTheirLength) {
    std::vector<fs::path> notes;
    std::error_code e;
    for (const auto& entry : fs::directory_iterator(fs::path(PELMORA_BIN) / "mi", e))
        if (entry.path().extension() == ".wav") notes.push_back(entry.path());
    if (notes.empty()) GTEST_SKIP() << "no notes in " PELMORA_BIN "/mi yet";
    std::sort(notes.begin(), notes.end());
    for (const fs::path& note : {notes.front(), notes.back()}) {
        SCOPED_TRACE(note.string());
        double callMs = 0, heardMs = 0;
        const bool calm = playRecorded([&] { sound::play(note); }, callMs, heardMs);
        expectBlocksFor(callMs, lengthMs(note), calm);
        // A note's fade-out crosses the loudness threshold slowly, so the
        // resampling on the way to the sink or to the recording moves the
        // crossing by some milliseconds; none of the note may be lost.
        const double loud = fileLoudMs(note);
        if (!calm) continue;
        EXPECT_GE(heardMs, loud - 1);
        EXPECT_LE(heardMs, loud + 15);
    }
}

TEST_F(Sound, UnplayableFilesSoundTheAlert) {
    double alertCallMs = 0, alertMs = 0;
    const bool calmAlert = playRecorded([] { sound::alert(); }, alertCallMs, alertMs);
    ASSERT_GT(alertMs, 100) << "the alert itself was not heard";
    if (calmAlert && fs::exists(kBell)) {
        EXPECT_NEAR(alertMs, fileLoudMs(kBell), 1) << "the bell was not heard whole";
    }

    const fs::path whole = dir / "whole.wav";
    ASSERT_TRUE(writeTone(whole, 0.5));
    const auto wav = [&] {
        std::ifstream in(whole, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    auto writeFile = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    };
    std::string noise(4000, '\0');
    std::mt19937 random(7);
    for (char& c : noise) c = char(random());
    fs::create_directory(dir / "folder.wav");
    ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0600), 0);  // opening it would wait for a writer

    const std::vector<fs::path> bad = {
        dir / "missing.wav",
        writeFile("empty.wav", ""),
        writeFile("noise.wav", noise),
        dir / "folder.wav",
        dir / "fifo.wav",
        writeFile("header_only.wav", wav.substr(0, 30)),
        writeFile("cut_short.wav", wav.substr(0, wav.size() / 2)),
    };
    for (const fs::path& file : bad) {
        SCOPED_TRACE(file.filename().string());
        double callMs = 0, heardMs = 0;
        int started = 0;  // once, whichever sound takes the note's place
        const bool calm = playRecorded(
            [&] {
                started = 0;
                sound::play(file, [&] { ++started; });
            },
            callMs, heardMs);
        if (calm && calmAlert) {
            EXPECT_NEAR(heardMs, alertMs, 2);
            EXPECT_NEAR(callMs, alertCallMs, 30);
        }
        EXPECT_EQ(started, 1);
    }
}

TEST_F(Sound, BrokenThemeStillBeeps) {
    std::ofstream(dir / "bell.oga") << "not a sound";
    for (const fs::path& bell : {dir / "missing.oga", dir / "bell.oga"}) {
        SCOPED_TRACE(bell.filename().string());
        double callMs = 0, heardMs = 0;
        const bool calm = playRecorded([&] { sound::alertFrom(bell); }, callMs, heardMs);
        // A 150 ms beep whose fades dip below the loudness threshold briefly.
        if (calm) {
            EXPECT_NEAR(heardMs, 150, 3);
        }
        expectBlocksFor(callMs, 150, calm);
    }
}

// A server that stops answering (stopped here, as a hung one would be) holds
// neither the press nor a note much past the note's length; the notes sound
// again once it answers.
TEST_F(Sound, AStoppedServerHoldsNoCallForLong) {
    const pelmora::testing::SessionSoundServer server;
    ASSERT_TRUE(server.known()) << "tools/session.sh names its server";
    const fs::path note = dir / "note.wav";
    ASSERT_TRUE(writeTone(note, 0.5));
    for (const bool midNote : {false, true}) {
        SCOPED_TRACE(midNote ? "stopped while the note plays" : "stopped before the press");
        std::thread stopper([&] {
            if (midNote) std::this_thread::sleep_for(milliseconds(200));
            server.stop();
        });
        if (!midNote) stopper.join();
        const double pressMs = elapsedMs(sound::prepare);
        const double firstMs = elapsedMs([&] { sound::play(note); });
        if (midNote) stopper.join();
        const double nextMs = elapsedMs([&] { sound::play(note); });
        sound::discardPrepared();
        EXPECT_LT(pressMs, 500);
        EXPECT_LT(firstMs, 500 + 1500 + 1000);
        EXPECT_LT(nextMs, 500 + 1500 + 1000);

        server.resume();
        double callMs = 0, heardMs = 0;
        for (int attempt = 0; attempt < 10 && heardMs < 490; ++attempt) {
            std::this_thread::sleep_for(milliseconds(100));
            playRecorded([&] { sound::play(note); }, callMs, heardMs);
        }
        EXPECT_NEAR(heardMs, 500, 10) << "no whole note once the server answered again";
    }
}

// ALSA reads its configuration once per process, so the servers' absence is
// staged in a fresh child with the servers' addresses pointing nowhere.
TEST_F(Sound, WithoutServerReturnsAtOnceAndSilently) {
    const fs::path note = dir / "note.wav";
    ASSERT_TRUE(writeTone(note, 1.0));
    const fs::path output = dir / "output.txt";
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(10);  // a hang shows as a killed child, not as a stuck test
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        pelmora::testing::pointSoundServersNowhere(dir);
        double slowest = 0;
        for (int round = 0; round < 2; ++round) {
            slowest = std::max(slowest, elapsedMs([&] { sound::play(note); }));
            slowest = std::max(slowest, elapsedMs([&] { sound::play(dir / "missing.wav"); }));
            slowest = std::max(slowest, elapsedMs([] { sound::alert(); }));
        }
        (void)!write(result[1], &slowest, sizeof slowest);
        _exit(0);
    }
    close(result[1]);
    double slowest = -1;
    const bool reported = read(result[0], &slowest, sizeof slowest) == sizeof slowest;
    close(result[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child crashed or hung";
    ASSERT_TRUE(reported);
    EXPECT_LT(slowest, 500);
    std::ifstream in(output);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
}

}  // namespace
