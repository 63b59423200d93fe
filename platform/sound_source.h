#pragma once
// The frames of a sound as playback takes them: a file decoded one block at
// a time, so that its start sounds before the rest is read, or a short beep
// held in memory.
#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;

namespace pelmora::sound {

class Source {
public:
    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source();

    // A sound file; false when it is missing, empty, not a sound, or a WAV
    // whose data stops short of what its header says.
    bool open(const std::string& path);
    // The alert's stand-in where the sound theme is missing or broken.
    void beep();

    int channels() const { return channels_; }
    unsigned rate() const { return rate_; }
    // Up to `frames` frames, interleaved, into `out`: how many it gave, 0 at
    // the end or at a read error. A sound is cut after two minutes.
    std::int64_t read(short* out, std::int64_t frames);

private:
    sf_private_tag* file_ = nullptr;
    std::vector<short> memory_;
    std::size_t memoryAt_ = 0;
    int channels_ = 0;
    unsigned rate_ = 0;
    std::int64_t framesLeft_ = 0;
};

}  // namespace pelmora::sound
