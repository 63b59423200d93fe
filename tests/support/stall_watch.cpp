#include "support/stall_watch.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>

namespace pelmora::testing {

StallWatch::StallWatch() : longestUs_(std::max(1u, std::thread::hardware_concurrency())) {
    for (size_t cpu = 0; cpu < longestUs_.size(); ++cpu) threads_.emplace_back([this, cpu] { watch(cpu); });
}

bool StallWatch::calm() {
    stop();
    return longestMs() < kStallMs;
}

double StallWatch::longestMs() const {
    return double(*std::max_element(longestUs_.begin(), longestUs_.end())) / 1000;
}

void StallWatch::stop() {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
    threads_.clear();
}

void StallWatch::watch(size_t cpu) {
    using Clock = std::chrono::steady_clock;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
    const sched_param priority{sched_get_priority_min(SCHED_FIFO)};
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    long longest = 0;
    while (!stop_) {
        const auto asleep = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        longest = std::max<long>(longest, std::chrono::duration_cast<std::chrono::microseconds>(
                                              Clock::now() - asleep - std::chrono::milliseconds(1)).count());
    }
    longestUs_[cpu] = longest;
}

}  // namespace pelmora::testing
