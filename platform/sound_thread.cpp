#include "platform/sound_thread.h"

#include <unistd.h>

#include <thread>
#include <utility>

namespace pelmora::sound {

void SoundThread::Progress::begun() {
    const std::lock_guard lock(mutex_);
    begun_ = true;
    changed_.notify_all();
}

bool SoundThread::Progress::waitedUntil(Clock::time_point deadline) {
    const std::lock_guard lock(mutex_);
    if (deadline > deadline_) deadline_ = deadline;
    return !abandoned_;
}

bool SoundThread::Progress::givenUp() {
    const std::lock_guard lock(mutex_);
    return abandoned_;
}

SoundThread& SoundThread::get() {
    static std::mutex starting;
    static SoundThread* current = nullptr;
    const std::lock_guard lock(starting);
    if (!current || current->process_ != getpid()) current = new SoundThread;
    return *current;
}

SoundThread::SoundThread() : process_(getpid()) {
    // Detached, so that the program may end while the thread waits on a
    // server; what it uses is never destroyed.
    std::thread([this] { run(); }).detach();
}

void SoundThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return next_ || meanwhile_; });
        if (const std::shared_ptr<Progress> progress = std::exchange(next_, nullptr)) {
            const auto work = std::exchange(nextWork_, nullptr);
            lock.unlock();
            if (!progress->givenUp()) work(*progress);
            {
                const std::lock_guard ended(progress->mutex_);
                progress->ended_ = true;
                progress->changed_.notify_all();
            }
            lock.lock();
        } else {
            const auto work = std::exchange(meanwhile_, nullptr);
            lock.unlock();
            work();
            lock.lock();
        }
    }
}

void SoundThread::meanwhile(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    meanwhile_ = std::move(work);
    wake_.notify_one();
}

bool SoundThread::handOver(const std::shared_ptr<Progress>& progress, std::function<void(Progress&)> work) {
    const std::lock_guard lock(mutex_);
    if (last_) {
        const std::lock_guard held(last_->mutex_);
        if (last_->abandoned_ && !last_->ended_) return false;
    }
    last_ = next_ = progress;
    nextWork_ = std::move(work);
    meanwhile_ = nullptr;
    wake_.notify_one();
    return true;
}

void SoundThread::play(std::function<void(Progress&)> work, const std::function<void()>& started,
                       Clock::duration allowance) {
    auto progress = std::make_shared<Progress>();
    progress->deadline_ = Clock::now() + allowance;
    if (!handOver(progress, std::move(work))) {
        if (started) started();
        return;
    }
    std::unique_lock lock(progress->mutex_);
    bool told = false;
    auto tell = [&] {
        if (told) return;
        told = true;
        lock.unlock();
        if (started) started();
        lock.lock();
    };
    while (!progress->ended_) {
        if (progress->begun_ && !told) {
            tell();
            continue;
        }
        if (Clock::now() >= progress->deadline_) {
            progress->abandoned_ = true;
            break;
        }
        progress->changed_.wait_until(lock, progress->deadline_);
    }
    tell();
}

}  // namespace pelmora::sound
