// The program's threads run real-time while a sound is on its way, where
// that is allowed, and at normal priority otherwise and afterwards.
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "platform/realtime.h"
#include "platform/sound.h"

namespace {

namespace realtime = pelmora::sound::realtime;
using namespace std::chrono_literals;

pid_t thisThread() { return pid_t(syscall(SYS_gettid)); }
int policyOf(pid_t tid) { return int(syscall(SYS_sched_getscheduler, tid)) & ~SCHED_RESET_ON_FORK; }

// A thread that waits until told to end, as the toolkit's do.
class Idle {
public:
    Idle() : thread_([this] {
        tid_ = thisThread();
        while (!done_) std::this_thread::sleep_for(1ms);
    }) {
        while (!tid_) std::this_thread::yield();
    }
    ~Idle() {
        done_ = true;
        thread_.join();
    }
    pid_t tid() const { return tid_; }

private:
    std::atomic<bool> done_ = false;
    std::atomic<pid_t> tid_ = 0;
    std::thread thread_;
};

// Runs `body` in a child process (the scheduling state is the process's own)
// and gives its exit status: 0, or the number of the check that failed.
int inChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(10);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// Whether this user may run a thread real-time at all (the privilege, or an
// RLIMIT_RTPRIO of 1 or more); the allowed cases need it.
bool realTimeAllowed() {
    return inChild([] {
               const sched_param priority{1};
               return sched_setscheduler(0, SCHED_RR, &priority) == 0 ? 0 : 1;
           }) == 0;
}

// As an unprivileged player with RLIMIT_RTPRIO 0, whose real time can come
// only through RealtimeKit on `systemBus`; by default there is none.
void becomePlayerWithoutRealTime(const char* systemBus = "unix:path=/nonexistent/bus") {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_RTPRIO, &none);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus, 1);
    if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
}

TEST(SoundPriority, EveryNormalThreadIsRaisedBoundedAndPutBack) {
    const bool allowed = realTimeAllowed();
    for (const bool asPlayer : {false, true}) {
        if (!asPlayer && !allowed) continue;
        SCOPED_TRACE(asPlayer ? "real time not allowed" : "real time allowed");
        EXPECT_EQ(inChild([asPlayer] {
                      if (asPlayer) becomePlayerWithoutRealTime();
                      const Idle idle;
                      const Idle special;
                      const sched_param batch{0};
                      sched_setscheduler(special.tid(), SCHED_BATCH, &batch);
                      const int want = asPlayer ? SCHED_OTHER : SCHED_RR;
                      for (int round = 0; round < 2; ++round) {
                          realtime::raise();
                          if (policyOf(thisThread()) != want || policyOf(idle.tid()) != want) return 1;
                          if (policyOf(special.tid()) != SCHED_BATCH) return 2;
                          rlimit bound{};
                          getrlimit(RLIMIT_RTTIME, &bound);
                          if (!asPlayer && (bound.rlim_max > 200'000 || bound.rlim_cur > 100'000)) return 3;
                          realtime::restore();
                          if (policyOf(thisThread()) != SCHED_OTHER || policyOf(idle.tid()) != SCHED_OTHER) return 4;
                      }
                      return 0;
                  }),
                  0);
    }
}

// Once neither the limit nor RealtimeKit allows real time, nothing is asked
// again: the system bus that appears later hears nothing, and nothing is
// printed.
TEST(SoundPriority, WhereNotAllowedNothingIsAskedAgainOrPrinted) {
    const std::string bus = "/tmp/sound_priority_bus." + std::to_string(getpid());
    const std::string err = bus + ".err";
    EXPECT_EQ(inChild([&] {
                  becomePlayerWithoutRealTime();
                  if (!freopen(err.c_str(), "w", stderr)) return 1;
                  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
                  realtime::raise();
                  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
                  sockaddr_un address{};
                  address.sun_family = AF_UNIX;
                  bus.copy(address.sun_path, sizeof address.sun_path - 1);
                  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                      listen(listener, 4) != 0)
                      return 2;
                  realtime::raise();
                  const bool asked = accept(listener, nullptr, nullptr) >= 0;
                  unlink(bus.c_str());
                  return asked ? 3 : policyOf(thisThread()) == SCHED_OTHER ? 0 : 4;
              }),
              0);
    std::ifstream in(err);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
    std::filesystem::remove(err);
}

// A raised thread that spins is put back at normal priority after 100 ms of
// it, and the program lives on.
TEST(SoundPriority, ARunawayThreadIsPutBackNotKilled) {
    if (!realTimeAllowed()) GTEST_SKIP() << "real time is not allowed here";
    EXPECT_EQ(inChild([] {
                  realtime::raise();
                  if (policyOf(thisThread()) != SCHED_RR) return 1;
                  const auto until = std::chrono::steady_clock::now() + 400ms;
                  while (std::chrono::steady_clock::now() < until) {
                  }
                  return policyOf(thisThread()) == SCHED_OTHER ? 0 : 2;
              }),
              0);
}

// Through RealtimeKit (tests/fake_realtimekit.py), whose every grant is a
// round trip: the threads there from the start are asked for once, ahead,
// and keep real time between sounds; a sound asks only for the thread it
// starts, and does not wait for the answer.
TEST(SoundPriority, RealtimeKitIsAskedAheadOnceAndNotWaitedFor) {
    const char* asked = std::getenv("PELMORA_REALTIMEKIT_ASKED");
    if (!asked) GTEST_SKIP() << "run through tests/fake_realtimekit.py";
    if (getuid() != 0) GTEST_SKIP() << "the stand-in grants as root";
    EXPECT_EQ(inChild([] {
                  becomePlayerWithoutRealTime(std::getenv("DBUS_SYSTEM_BUS_ADDRESS"));
                  const Idle toolkit;
                  std::thread(realtime::raiseAhead).join();
                  if (policyOf(thisThread()) != SCHED_RR || policyOf(toolkit.tid()) != SCHED_RR) return 1;
                  for (int sound = 0; sound < 3; ++sound) {
                      realtime::raise();
                      const Idle client;  // as the device's open starts one
                      realtime::raise();
                      if (policyOf(client.tid()) != SCHED_OTHER) return 2;
                      while (policyOf(client.tid()) != SCHED_RR) std::this_thread::sleep_for(10ms);
                      realtime::restore();
                      if (policyOf(thisThread()) != SCHED_RR || policyOf(toolkit.tid()) != SCHED_RR) return 3;
                  }
                  return 0;
              }),
              0);
    std::ifstream in(asked);
    int calls = 0;
    for (std::string line; std::getline(in, line);) ++calls;
    EXPECT_EQ(calls, 2 + 3);
}

// Through a sound server: the caller and the client thread the device's open
// starts run real-time while the note plays, and normal priority after it.
TEST(SoundPriority, ANotePlaysRaisedAndEndsAtNormalPriority) {
    if (!std::getenv("PELMORA_NULL_MONITOR")) GTEST_SKIP() << "run inside tools/session.sh";
    if (!realTimeAllowed()) GTEST_SKIP() << "real time is not allowed here";
    EXPECT_EQ(inChild([] {
                  // A thread the sound library made real-time itself
                  // (pipewire-alsa's, SCHED_FIFO) counts as raised.
                  auto everyThread = [](bool raised) {
                      int count = 0;
                      for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
                          if ((policyOf(pid_t(std::stoi(task.path().filename()))) != SCHED_OTHER) != raised)
                              return -1;
                          ++count;
                      }
                      return count;
                  };
                  int during = 0;
                  pelmora::sound::play("/usr/share/sounds/freedesktop/stereo/bell.oga",
                                       [&] { during = everyThread(true); });
                  // One thread besides the caller: the sound client's.
                  if (during < 2) return 1;
                  return everyThread(false) > 0 ? 0 : 2;
              }),
              0);
}

}  // namespace
