#include "support/null_sink_recorder.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

extern char** environ;

namespace pelmora::testing {
namespace {
using std::chrono::milliseconds;
constexpr int kLoud = 1000;  // of a square wave's 8000
}  // namespace

NullSinkRecorder::NullSinkRecorder(int rate, int latencyFrames, bool realTime) : rate_(rate) {
    const char* monitor = std::getenv("PELMORA_NULL_MONITOR");
    int fds[2];
    if (!monitor || pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string device = std::string("--device=") + monitor;
    const std::string rateArg = "--rate=" + std::to_string(rate);
    const std::string latency = "--latency=" + std::to_string(latencyFrames * 2);  // bytes, mono s16
    const char* argv[] = {"parec", device.c_str(), "--raw", "--format=s16le", rateArg.c_str(), "--channels=1",
                          latency.c_str(), nullptr};
    // parec gets the server's defaults whatever this process's PULSE_PROP,
    // so that the recording is the same whoever plays.
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("PULSE_PROP=", 0) != 0) env.push_back(*e);
    env.push_back(nullptr);
    const sched_param priority{sched_get_priority_min(SCHED_FIFO)};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setschedpolicy(&attributes, SCHED_FIFO);
    posix_spawnattr_setschedparam(&attributes, &priority);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
    int rc = posix_spawnp(&pid_, "parec", &actions, realTime ? &attributes : nullptr, const_cast<char**>(argv),
                          env.data());
    realTime_ = realTime && rc == 0;
    if (rc == EPERM) rc = posix_spawnp(&pid_, "parec", &actions, nullptr, const_cast<char**>(argv), env.data());
    if (rc != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    fd_ = fds[0];
    if (pid_ <= 0) return;
    reader_ = std::thread([this] { read(); });
    if (realTime_) realTime_ = pthread_setschedparam(reader_.native_handle(), SCHED_FIFO, &priority) == 0;
    // The monitor streams silence from the moment parec is connected.
    for (int i = 0; i < 300 && count() == 0; ++i) std::this_thread::sleep_for(milliseconds(10));
}

NullSinkRecorder::~NullSinkRecorder() { finish(); }

void NullSinkRecorder::finish() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) close(fd_), fd_ = -1;
}

size_t NullSinkRecorder::count() {
    std::lock_guard lock(mutex_);
    return samples_.size();
}

std::vector<short> NullSinkRecorder::stop() {
    std::this_thread::sleep_for(milliseconds(250));  // the tail's way to parec
    finish();
    return samples_;
}

void NullSinkRecorder::waitQuiet(milliseconds quiet) {
    const size_t span = size_t(quiet.count()) * size_t(rate_) / 1000;
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard lock(mutex_);
            if (samples_.size() >= span &&
                std::none_of(samples_.end() - long(span), samples_.end(), [](short v) { return std::abs(v) > kLoud; }))
                return;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
}

bool NullSinkRecorder::loudSpan(size_t from, Clock::time_point& first, Clock::time_point& last, size_t& length) {
    std::lock_guard lock(mutex_);
    size_t a = samples_.size(), b = 0;
    for (size_t i = from; i < samples_.size(); ++i)
        if (std::abs(samples_[i]) > kLoud) {
            a = std::min(a, i);
            b = i;
        }
    if (a == samples_.size()) return false;
    first = arrivalOf(a);
    last = arrivalOf(b);
    length = b - a + 1;
    return true;
}

size_t NullSinkRecorder::silentGaps(size_t from) {
    std::lock_guard lock(mutex_);
    return testing::silentGaps(samples_, rate_, from);
}

void NullSinkRecorder::read() {
    short buf[256];
    size_t odd = 0;  // a read may end inside a sample
    char* bytes = reinterpret_cast<char*>(buf);
    for (;;) {
        const ssize_t n = ::read(fd_, bytes + odd, sizeof buf - odd);
        if (n <= 0) return;
        const auto now = Clock::now();
        const size_t total = odd + size_t(n);
        std::lock_guard lock(mutex_);
        samples_.insert(samples_.end(), buf, buf + total / 2);
        blocks_.push_back({samples_.size(), now});
        odd = total % 2;
        if (odd) bytes[0] = bytes[total - 1];
    }
}

NullSinkRecorder::Clock::time_point NullSinkRecorder::arrivalOf(size_t index) const {
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                               [](size_t i, const Block& b) { return i < b.end; });
    return it == blocks_.end() ? Clock::time_point::max() : it->at;
}

double loudMs(const std::vector<short>& samples, int rate) {
    auto loud = [](short s) { return std::abs(int(s)) > 300; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) return 0;
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    return 1000.0 * double(last - first) / rate;
}

size_t silentGaps(const std::vector<short>& samples, int rate, size_t from) {
    size_t gaps = 0, lastLoud = 0;
    bool heard = false;
    for (size_t i = from; i < samples.size(); ++i) {
        if (std::abs(samples[i]) <= kLoud) continue;
        gaps += heard && i - lastLoud > size_t(rate) / 1000;
        heard = true;
        lastLoud = i;
    }
    return gaps;
}

}  // namespace pelmora::testing
