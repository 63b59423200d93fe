#pragma once
// What reaches the session's null sink (tools/session.sh), recorded from its
// monitor through parec as mono 16-bit samples, each block noted with the
// time it arrived, so that a sample can be put on the clock. The arrival is
// later than the sink took the sample, by the server's delivery to parec:
// figures lean against the player, never for it.
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace pelmora::testing {

class NullSinkRecorder {
public:
    using Clock = std::chrono::steady_clock;

    // `latencyFrames` is how much parec may gather before it hands a block
    // on. A sound server runs its cycle no longer than its clients' shortest
    // (PipeWire rounds it down to a power of two), so a recorder asking less
    // than the player's 256 frames would shorten the player's cycle too.
    // With `realTime`, parec and the thread taking its samples run
    // real-time where allowed, so that on a busy machine a figure is the
    // player's delay and not the recorder's own wait for a CPU.
    explicit NullSinkRecorder(int rate = 44100, int latencyFrames = 441, bool realTime = false);
    ~NullSinkRecorder();
    NullSinkRecorder(const NullSinkRecorder&) = delete;
    NullSinkRecorder& operator=(const NullSinkRecorder&) = delete;

    // Whether the recording runs: false outside the session.
    bool ready() { return count() > 0; }
    int rate() const { return rate_; }
    // Whether both run real-time, as asked.
    bool realTime() const { return realTime_; }
    size_t count();
    // Stops once the tail of what played has had time to arrive; everything recorded.
    std::vector<short> stop();

    // Until the last `quiet` of the recording has no loud sample (10 s at most).
    void waitQuiet(std::chrono::milliseconds quiet);
    // Arrival times of the first and last loud sample after sample `from`,
    // and how many samples lie between them.
    bool loudSpan(size_t from, Clock::time_point& first, Clock::time_point& last, size_t& length);
    // silentGaps() of what was recorded after sample `from`.
    size_t silentGaps(size_t from);

private:
    void read();
    void finish();
    Clock::time_point arrivalOf(size_t index) const;

    struct Block {
        size_t end;
        Clock::time_point at;
    };
    int rate_;
    int fd_ = -1;
    pid_t pid_ = -1;
    bool realTime_ = false;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<short> samples_;
    std::vector<Block> blocks_;
};

// Milliseconds from the first to the last sample louder than 300; 0 for silence.
double loudMs(const std::vector<short>& samples, int rate);
// Stretches of 1 ms or more without a loud sample between the first loud
// sample and the last: a square wave has none, unless a sound server turned
// some of its frames to silence on the way.
size_t silentGaps(const std::vector<short>& samples, int rate, size_t from = 0);

}  // namespace pelmora::testing
