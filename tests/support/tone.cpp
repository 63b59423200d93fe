#include "support/tone.h"

#include <sndfile.h>

#include <vector>

namespace pelmora::testing {

bool writeTone(const std::filesystem::path& path, double seconds, int rate, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    const auto frames = sf_count_t(seconds * rate);
    std::vector<short> samples(size_t(frames * channels));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (i / size_t(channels) * 440 * 2 / size_t(rate)) % 2 ? 8000 : -8000;
    const bool written = sf_writef_short(f, samples.data(), frames) == frames;
    return sf_close(f) == 0 && written;
}

}  // namespace pelmora::testing
