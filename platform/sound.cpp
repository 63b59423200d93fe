// Decodes the whole file with libsndfile, then plays it on ALSA's "default"
// PCM from the caller's thread and returns once the device has played the
// last frame. The PCM is opened per call: a note follows a key press, so
// nothing is kept between notes (through PulseAudio an open PCM holds a
// stream and a client thread, and a restarted server would leave it dead).
#include "platform/sound.h"

#include <alsa/asoundlib.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace pelmora::sound {

// The alert sounds the bell from this file; tests point it elsewhere.
void alertFrom(const std::string& bellPath);

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kBell = "/usr/share/sounds/freedesktop/stereo/bell.oga";

// 100 ms of buffer, so that a busy machine does not starve it (40 ms did),
// in short periods: the first write fills the buffer whole, and a sound
// server runs its cycle at the period its clients ask for (PulseAudio's
// minimum request, PipeWire's quantum), which sets how soon the first
// sample sounds and how far behind the call the last one ends.
constexpr unsigned kBufferUs = 100'000;
constexpr unsigned kPeriodUs = 10'000;
// Notes last a second or two; a bigger file is cut here rather than loaded whole.
constexpr sf_count_t kMaxSamples = sf_count_t{48'000} * 2 * 120;
// How long past the note's own length a stalled device may keep the call.
constexpr auto kStallAllowance = milliseconds(1500);

struct Clip {
    int channels = 0;
    unsigned rate = 0;
    std::vector<short> samples;  // interleaved
    sf_count_t frames() const { return channels ? sf_count_t(samples.size()) / channels : 0; }
};

std::uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}

// libsndfile plays whatever part of a cut-off WAV is there; a note that stops
// short misleads the ear more than the alert does, so such a file is refused.
bool wavCutShort(const std::string& path, off_t fileSize) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char head[12];
    bool cut = false;
    if (std::fread(head, 1, 12, f) == 12 && std::equal(head, head + 4, "RIFF") &&
        std::equal(head + 8, head + 12, "WAVE")) {
        off_t pos = 12;
        unsigned char chunk[8];
        while (std::fread(chunk, 1, 8, f) == 8) {
            const off_t size = le32(chunk + 4);
            pos += 8;
            if (std::equal(chunk, chunk + 4, "data")) {
                cut = pos + size > fileSize;
                break;
            }
            pos += size + (size & 1);
            if (pos >= fileSize || fseeko(f, pos, SEEK_SET) != 0) break;
        }
    }
    std::fclose(f);
    return cut;
}

bool load(const std::string& path, Clip& clip) {
    // stat first: opening a FIFO would wait for a writer, and a folder or a
    // device is never a sound.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return false;
    if (wavCutShort(path, st.st_size)) return false;

    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return false;
    if (info.channels < 1 || info.channels > 64 || info.samplerate < 1000 ||
        info.samplerate > 768'000) {
        sf_close(file);
        return false;
    }
    clip.channels = info.channels;
    clip.rate = unsigned(info.samplerate);
    clip.samples.clear();
    const sf_count_t maxFrames = kMaxSamples / info.channels;
    sf_count_t got = 0;
    // Read in blocks: the header's frame count is not trusted for every format.
    constexpr sf_count_t kBlock = 16384;
    while (got < maxFrames) {
        const sf_count_t want = std::min(kBlock, maxFrames - got);
        clip.samples.resize(size_t(got + want) * info.channels);
        const sf_count_t n = sf_readf_short(file, clip.samples.data() + got * info.channels, want);
        if (n <= 0) break;
        got += n;
    }
    clip.samples.resize(size_t(got) * info.channels);
    sf_close(file);
    return got > 0;
}

// Stands in for a missing or broken sound theme.
Clip beep() {
    constexpr unsigned kRate = 44100;
    constexpr int kFrames = kRate * 150 / 1000;
    constexpr int kFade = kRate * 10 / 1000;
    Clip clip;
    clip.channels = 1;
    clip.rate = kRate;
    clip.samples.resize(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const double ramp = std::min({1.0, double(i) / kFade, double(kFrames - 1 - i) / kFade});
        clip.samples[i] = short(std::lround(12000 * ramp * std::sin(2 * M_PI * 880 * i / kRate)));
    }
    return clip;
}

void silent(const char*, int, const char*, int, const char*, ...) {}

enum class Outcome { played, noDevice, refused };

// The clip's format, resampled by ALSA where the device lacks its rate, the
// buffer and period above; playback starts with the first period written
// (the first write fills the whole buffer at once, and after an underrun
// what is left of a note may be less than a buffer), and a write may go on
// once a period is free.
bool configure(snd_pcm_t* pcm, const Clip& clip, snd_pcm_uframes_t& periodFrames) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = clip.rate, bufferUs = kBufferUs, periodUs = kPeriodUs;
    if (snd_pcm_hw_params_any(pcm, hw) < 0 || snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw, unsigned(clip.channels)) < 0 ||
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

// An open, configured PCM for a clip of this rate and channel count.
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
// which before the first one is the notes' own.
Device prepared;
unsigned lastRate = 44100;
int lastChannels = 1;

Outcome open(Device& device, const Clip& clip) {
    // Without a server ALSA falls back to hardware that may not exist; that is
    // a normal state here, not something to print.
    static const bool quiet = (snd_lib_error_set_handler(silent), true);
    (void)quiet;

    // Non-blocking, so that a busy device refuses at once instead of waiting.
    if (snd_pcm_open(&device.pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        device.pcm = nullptr;
        // The configuration remembers whether a server ran when it was first
        // read; read it afresh next time, in case one has started since.
        snd_config_update_free_global();
        return Outcome::noDevice;
    }
    device.rate = clip.rate;
    device.channels = clip.channels;
    if (!configure(device.pcm, clip, device.periodFrames)) {
        device.close();
        return Outcome::refused;
    }
    return Outcome::played;
}

Outcome output(const Clip& clip) {
    lastRate = clip.rate;
    lastChannels = clip.channels;
    Device device = prepared;
    prepared = {};
    if (device.pcm && (device.rate != clip.rate || device.channels != clip.channels)) device.close();
    if (!device.pcm) {
        if (const Outcome opened = open(device, clip); opened != Outcome::played) return opened;
    }
    snd_pcm_t* pcm = device.pcm;
    const snd_pcm_uframes_t periodFrames = device.periodFrames;
    struct Closer {
        Device& device;
        ~Closer() { device.close(); }
    } closer{device};

    const sf_count_t frames = clip.frames();
    const auto length = std::chrono::microseconds(frames * 1'000'000 / clip.rate);
    const auto deadline = Clock::now() + length + kStallAllowance;
    auto timeLeft = [&] {
        return std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    };

    // Every wait below is bounded by the deadline: with a stalled server the
    // call gives up, and closing the PCM drops what is left.
    sf_count_t done = 0;
    while (done < frames) {
        const snd_pcm_sframes_t n = snd_pcm_writei(
            pcm, clip.samples.data() + done * clip.channels, snd_pcm_uframes_t(frames - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (timeLeft() <= 0) return Outcome::played;
        if (n == 0 || n == -EAGAIN)
            snd_pcm_wait(pcm, int(std::min<long long>(timeLeft(), 100)));
        else if (snd_pcm_recover(pcm, int(n), 1) < 0)
            return Outcome::played;
    }

    // A clip shorter than the buffer never reached the start threshold.
    if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm);

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
        if (timeLeft() <= 0) return Outcome::played;
        const auto rest = std::chrono::microseconds(
            (delay - snd_pcm_sframes_t(periodFrames)) * 1'000'000 / clip.rate);
        std::this_thread::sleep_for(std::min<Clock::duration>(rest, deadline - Clock::now()));
    }
    snd_pcm_nonblock(pcm, 0);
    snd_pcm_drain(pcm);
    return Outcome::played;
}

}  // namespace

void prepare() {
    if (prepared.pcm) return;
    Clip format;
    format.rate = lastRate;
    format.channels = lastChannels;
    open(prepared, format);
}

void discardPrepared() { prepared.close(); }

void alertFrom(const std::string& bellPath) {
    Clip clip;
    if (!load(bellPath, clip)) clip = beep();
    output(clip);
}

void alert() { alertFrom(kBell); }

void play(const std::string& path) {
    Clip clip;
    if (!load(path, clip)) {
        alert();
        return;
    }
    if (output(clip) == Outcome::refused) alert();
}

}  // namespace pelmora::sound
