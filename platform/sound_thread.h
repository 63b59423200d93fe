#pragma once
// The thread every call into the sound device runs on. Through a sound
// server any of those calls may wait on the server without bound (a stopped
// PulseAudio, or a PipeWire whose session manager has gone, never answers),
// and the caller, the window's thread, must not hang with it: it waits for a
// sound only as long as the sound should take, and then goes on without it.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <sys/types.h>

namespace pelmora::sound {

class SoundThread {
public:
    using Clock = std::chrono::steady_clock;

    // A sound on its way, as its work reports on it to the waiting caller.
    class Progress {
    public:
        // The device plays: the caller may do its part meanwhile.
        void begun();
        // The caller is to wait until `deadline`; false once it has given
        // up, and the work should stop.
        bool waitedUntil(Clock::time_point deadline);

    private:
        friend class SoundThread;
        bool givenUp();
        std::mutex mutex_;
        std::condition_variable changed_;
        bool begun_ = false, ended_ = false, abandoned_ = false;
        Clock::time_point deadline_;
    };

    // The one of this process (a child made by fork() starts its own). It is
    // never destroyed: it may still be inside the device as the program ends.
    static SoundThread& get();

    // Runs `work` there and waits for it: `started` runs here once the work
    // has begun (or as the wait ends), and the call returns once the work
    // has ended, or at the deadline it last set (`allowance` after the
    // hand-over until it sets one). While work given up on still holds the
    // thread, the call returns at once.
    void play(std::function<void(Progress&)> work, const std::function<void()>& started,
              Clock::duration allowance);

    // Work that waits for nothing (the device opened ahead of a sound, or
    // closed unused): run there once the thread is free; a later call or a
    // sound handed over meanwhile takes its place.
    void meanwhile(std::function<void()> work);

private:
    SoundThread();
    void run();
    // False, handing nothing over, while work given up on holds the thread.
    bool handOver(const std::shared_ptr<Progress>& progress, std::function<void(Progress&)> work);

    const pid_t process_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<Progress> next_, last_;
    std::function<void(Progress&)> nextWork_;
    std::function<void()> meanwhile_;
};

}  // namespace pelmora::sound
