#pragma once
// Whether this machine kept its CPUs for a while. A virtual machine's host
// may take them away for milliseconds at a time (steal time), and a sound
// server that misses its cycles then adds or drops a cycle's frames,
// whatever the player did: on one virtual machine every recording that came
// out wrong had a stall of 3.8 ms or more in it, when its cycle was 2.7 ms,
// and of 7 ms or more at 5.3 ms cycles.
#include <atomic>
#include <thread>
#include <vector>

namespace pelmora::testing {

class StallWatch {
public:
    // A CPU kept from this machine for about a cycle of the sound server's
    // (PipeWire's is 5.3 ms while a note plays) may cost the server that cycle.
    static constexpr double kStallMs = 2.5;

    // A thread on each CPU, at real-time priority where allowed, sleeps 1 ms
    // at a time and notes how much longer it took: only a CPU that ran
    // nothing of this machine keeps it for milliseconds.
    StallWatch();
    ~StallWatch() { stop(); }
    StallWatch(const StallWatch&) = delete;
    StallWatch& operator=(const StallWatch&) = delete;

    // Stops watching; whether no CPU stalled.
    bool calm();
    // The longest stall seen on any CPU.
    double longestMs() const;

private:
    void stop();
    void watch(size_t cpu);

    std::atomic<bool> stop_ = false;
    std::vector<long> longestUs_;
    std::vector<std::thread> threads_;
};

}  // namespace pelmora::testing
