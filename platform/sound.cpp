// Plays a sound on ALSA's "default" PCM from the sound thread
// (platform/sound_thread.h), decoding it as the device takes it, while the
// caller waits until the device has played the last frame. The PCM is
// opened per sound: a note follows a key press, so nothing is kept between
// notes (through PulseAudio an open PCM holds a stream and a client thread,
// and a restarted server would leave it dead).
#include "platform/sound.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/realtime.h"
#include "platform/sound_source.h"
#include "platform/sound_thread.h"

namespace pelmora::sound {

// The alert sounds the bell from this file; tests point it elsewhere.
void alertFrom(const std::string& bellPath, const std::function<void()>& started = {});

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kBell = "/usr/share/sounds/freedesktop/stereo/bell.oga";

// 100 ms of buffer, so that a busy machine does not starve it (40 ms did),
// in 10 ms periods: the first write all but fills the buffer, and a sound
// server runs its cycle at the period its clients ask for (PulseAudio's
// minimum request, PipeWire's quantum, rounded down to a power of two
// frames), which sets how soon the first sample sounds and how far behind
// the call the last one ends. 10 ms makes PipeWire's cycle 256 frames
// (5.3 ms); 5 ms made it 128 (2.7 ms), short enough that a virtual machine's
// stalls beside a busy load cost a cycle, 128 frames of the note turned to
// silence, in one note of five.
constexpr unsigned kBufferUs = 100'000;
constexpr unsigned kPeriodUs = 10'000;
// What is decoded at a time: a little less than the buffer.
constexpr snd_pcm_uframes_t kBlockFrames = 4096;
// The silence after each sound (see output()): longer than a 512-frame cycle
// at 48 kHz, and short enough that a call still returns within 20 ms of the
// sound's end.
constexpr unsigned kTailUs = 12'000;
// How long past the note's own length a stalled device may keep the call,
// and how long the device may take to open.
constexpr auto kStallAllowance = milliseconds(1500);

void silent(const char*, int, const char*, int, const char*, ...) {}

enum class Outcome { played, noDevice, refused };
using Progress = SoundThread::Progress;

// The sound's format, resampled by ALSA where the device lacks its rate, the
// buffer and period above; playback starts with the first period written
// (the first write all but fills the buffer, and after an underrun what is
// left of a note may be less than a buffer), and a write may go on once a
// period is free.
bool configure(snd_pcm_t* pcm, unsigned rate, int channels, snd_pcm_uframes_t& periodFrames) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned bufferUs = kBufferUs, periodUs = kPeriodUs;
    if (snd_pcm_hw_params_any(pcm, hw) < 0 || snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw, unsigned(channels)) < 0 ||
        snd_pcm_hw_params_set_rate(pcm, hw, rate, 0) < 0 ||
        snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr) < 0 ||
        snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr) < 0 || snd_pcm_hw_params(pcm, hw) < 0)
        return false;
    snd_pcm_uframes_t bufferFrames = 0;
    if (snd_pcm_get_params(pcm, &bufferFrames, &periodFrames) < 0) return false;

    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    return snd_pcm_sw_params_current(pcm, sw) >= 0 &&
           snd_pcm_sw_params_set_start_threshold(pcm, sw, periodFrames) >= 0 &&
           snd_pcm_sw_params_set_avail_min(pcm, sw, periodFrames) >= 0 && snd_pcm_sw_params(pcm, sw) >= 0;
}

// An open, configured PCM for a sound of this rate and channel count.
struct Device {
    snd_pcm_t* pcm = nullptr;
    unsigned rate = 0;
    int channels = 0;
    snd_pcm_uframes_t periodFrames = 0;
    void close() {
        if (pcm) snd_pcm_close(pcm);
        pcm = nullptr;
    }
};

// What prepare() opened, and the format it opens for: the last sound's,
// which before the first one is the notes' own. The sound thread's.
Device prepared;
unsigned lastRate = 48000;
int lastChannels = 1;

// warmUp() opens the device on a thread of its own while the window's
// thread may open it for a note.
std::mutex opening;

// The default PCM, unconfigured: a stream is made only once it is configured.
// Non-blocking, so that a busy device refuses at once instead of waiting.
snd_pcm_t* openDefault() {
    const std::lock_guard lock(opening);
    // Without a server ALSA falls back to hardware that may not exist; that is
    // a normal state here, not something to print.
    snd_lib_error_set_handler(silent);
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) == 0) return pcm;
    // The configuration remembers whether a server ran when it was first
    // read; read it afresh next time, in case one has started since.
    snd_config_update_free_global();
    return nullptr;
}

Outcome open(Device& device, unsigned rate, int channels) {
    device.pcm = openDefault();
    // The thread the open starts (the pulse plug-in's client, which sends
    // every write and waits for every reply) is raised with the others.
    realtime::raise();
    if (!device.pcm) return Outcome::noDevice;
    device.rate = rate;
    device.channels = channels;
    if (!configure(device.pcm, rate, channels, device.periodFrames)) {
        device.close();
        return Outcome::refused;
    }
    return Outcome::played;
}

Outcome output(Source& source, Progress& progress) {
    const unsigned rate = source.rate();
    const int channels = source.channels();
    // The first block is decoded before the device is touched: a sound with
    // no frames at all is refused.
    std::vector<short> block(kBlockFrames * snd_pcm_uframes_t(channels));
    snd_pcm_sframes_t have = source.read(block.data(), kBlockFrames), at = 0;
    if (have <= 0) return Outcome::refused;

    lastRate = rate;
    lastChannels = channels;
    Device device = prepared;
    prepared = {};
    if (device.pcm && (device.rate != rate || device.channels != channels)) device.close();
    if (!device.pcm) {
        if (const Outcome opened = open(device, rate, channels); opened != Outcome::played) return opened;
    }
    snd_pcm_t* pcm = device.pcm;
    const snd_pcm_uframes_t periodFrames = device.periodFrames;
    struct Closer {
        Device& device;
        ~Closer() { device.close(); }
    } closer{device};

    // Every wait below is bounded by a deadline that each decoded block moves
    // on by its length, and so is the caller's: with a stalled server the
    // sound is given up, and closing the PCM drops what is left.
    const auto begun = Clock::now();
    std::int64_t decoded = have;
    auto deadline = [&] { return begun + std::chrono::microseconds(decoded * 1'000'000 / rate) + kStallAllowance; };
    auto timeLeft = [&] { return std::chrono::duration_cast<milliseconds>(deadline() - Clock::now()).count(); };
    if (!progress.waitedUntil(deadline())) return Outcome::played;
    bool told = false;

    // PipeWire's PulseAudio server takes a stream's data only a whole cycle
    // at a time until it is told to drain, which is done a period before the
    // end, so the last frames of a note could wait there for a cycle or two
    // and sound after a gap. Silence after the sound takes their place.
    bool tailed = false;
    while (have > 0) {
        const snd_pcm_sframes_t n =
            snd_pcm_writei(pcm, block.data() + at * channels, snd_pcm_uframes_t(have - at));
        if (n > 0) {
            at += n;
            // The device plays what it was just given while the caller does
            // its part.
            if (!told && snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING) {
                told = true;
                progress.begun();
            }
            if (at == have) {
                have = source.read(block.data(), kBlockFrames);
                if (have <= 0 && !tailed) {
                    tailed = true;
                    have = std::min<snd_pcm_sframes_t>(rate * std::uint64_t(kTailUs) / 1'000'000, kBlockFrames);
                    std::fill_n(block.begin(), have * channels, short(0));
                }
                at = 0;
                decoded += std::max<snd_pcm_sframes_t>(have, 0);
                if (!progress.waitedUntil(deadline())) return Outcome::played;
            }
            continue;
        }
        if (timeLeft() <= 0) return Outcome::played;
        if (n == 0 || n == -EAGAIN)
            snd_pcm_wait(pcm, int(std::min<long long>(timeLeft(), 100)));
        else if (snd_pcm_recover(pcm, int(n), 1) < 0)
            return Outcome::played;
    }

    // A sound shorter than a period never reached the start threshold.
    if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm);
    progress.begun();

    // Sleep through all but the last period here: snd_pcm_drain through the
    // pulse plugin waits on the server without any bound of its own, so it
    // is left only the final stretch. A stream that has run dry (the server
    // may report the underrun while a few frames short of a period still
    // count as delay) has played everything.
    for (;;) {
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_state(pcm) != SND_PCM_STATE_RUNNING || snd_pcm_delay(pcm, &delay) < 0 ||
            delay <= snd_pcm_sframes_t(periodFrames))
            break;
        if (timeLeft() <= 0 || !progress.waitedUntil(deadline())) return Outcome::played;
        const auto rest = std::chrono::microseconds(
            (delay - snd_pcm_sframes_t(periodFrames)) * 1'000'000 / rate);
        std::this_thread::sleep_for(std::min<Clock::duration>(rest, deadline() - Clock::now()));
    }
    snd_pcm_nonblock(pcm, 0);
    snd_pcm_drain(pcm);
    return Outcome::played;
}

}  // namespace

void prepare() {
    SoundThread& thread = SoundThread::get();
    // From the press on, so that the release that plays the note is not
    // kept waiting either; the press itself does not wait for the device.
    realtime::raise();
    thread.meanwhile([] {
        if (!prepared.pcm) open(prepared, lastRate, lastChannels);
    });
}

void warmUp() {
    // The sound thread is there before real time is asked for ahead.
    SoundThread::get();
    // What stays loaded once the device is closed again is what the first
    // open costs: ALSA's configuration, the default device's plug-in and its
    // sound server's client library.
    if (snd_pcm_t* pcm = openDefault()) snd_pcm_close(pcm);
    realtime::raiseAhead();
}

void discardPrepared() {
    SoundThread::get().meanwhile([] { prepared.close(); });
    realtime::restore();
}

namespace {

// The bell, or the beep where the theme lacks it.
void sound(const std::string& bellPath, Progress& progress) {
    Source source;
    const bool bell = source.open(bellPath);
    if (!bell) source.beep();
    if (output(source, progress) == Outcome::refused && bell) {
        Source beep;
        beep.beep();
        output(beep, progress);
    }
}

// Runs a sound's work on the sound thread, with the program's threads at
// real time until the call returns.
void perform(std::function<void(Progress&)> work, const std::function<void()>& started) {
    SoundThread& thread = SoundThread::get();
    realtime::raise();
    thread.play(std::move(work), started, kStallAllowance);
    realtime::restore();
}

}  // namespace

void alertFrom(const std::string& bellPath, const std::function<void()>& started) {
    perform([bellPath](Progress& progress) { sound(bellPath, progress); }, started);
}

void alert() { alertFrom(kBell); }

void play(const std::string& path, const std::function<void()>& started) {
    perform(
        [path](Progress& progress) {
            Source source;
            if (!source.open(path) || output(source, progress) == Outcome::refused) sound(kBell, progress);
        },
        started);
}

}  // namespace pelmora::sound
