#include "platform/sound_source.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pelmora::sound {

namespace {

// Notes last a second or two; a longer file is cut here.
constexpr std::int64_t kMaxSamples = std::int64_t{48'000} * 2 * 120;

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

}  // namespace

Source::~Source() {
    if (file_) sf_close(file_);
}

bool Source::open(const std::string& path) {
    // stat first: opening a FIFO would wait for a writer, and a folder or a
    // device is never a sound.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return false;
    if (wavCutShort(path, st.st_size)) return false;

    SF_INFO info{};
    file_ = sf_open(path.c_str(), SFM_READ, &info);
    if (!file_) return false;
    if (info.channels < 1 || info.channels > 64 || info.samplerate < 1000 || info.samplerate > 768'000) {
        sf_close(file_);
        file_ = nullptr;
        return false;
    }
    channels_ = info.channels;
    rate_ = unsigned(info.samplerate);
    framesLeft_ = kMaxSamples / channels_;
    return true;
}

void Source::beep() {
    constexpr unsigned kRate = 44100;
    constexpr int kFrames = kRate * 150 / 1000;
    constexpr int kFade = kRate * 10 / 1000;
    channels_ = 1;
    rate_ = kRate;
    memory_.resize(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const double ramp = std::min({1.0, double(i) / kFade, double(kFrames - 1 - i) / kFade});
        memory_[i] = short(std::lround(12000 * ramp * std::sin(2 * M_PI * 880 * i / kRate)));
    }
    framesLeft_ = kFrames;
}

std::int64_t Source::read(short* out, std::int64_t frames) {
    frames = std::min(frames, framesLeft_);
    if (frames <= 0) return 0;
    std::int64_t got = 0;
    if (file_) {
        // The header's frame count is not trusted for every format: read until
        // the decoder has no more.
        got = std::max<sf_count_t>(0, sf_readf_short(file_, out, frames));
    } else {
        got = std::min<std::int64_t>(frames, std::int64_t(memory_.size() - memoryAt_));
        std::copy_n(memory_.begin() + std::ptrdiff_t(memoryAt_), got, out);
        memoryAt_ += std::size_t(got);
    }
    framesLeft_ -= got;
    return got;
}

}  // namespace pelmora::sound
