#include "platform/realtime.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <string_view>
#include <type_traits>
#include <vector>

namespace pelmora::sound::realtime {
namespace {

// Above every thread at normal priority, below the sound servers' own (5 for
// PulseAudio's, up to 20 through RealtimeKit for PipeWire's), which must
// never wait for ours.
constexpr int kPriority = 1;
// The longest stretch a raised thread may run without sleeping before it is
// put back (soft), and before the kernel kills it should that fail (hard).
// RealtimeKit raises nobody whose hard limit exceeds its maximum, 200 ms by
// default.
constexpr rlim_t kSoftUs = 100'000;
constexpr rlim_t kHardUs = 200'000;

// The raised threads, where the SIGXCPU handler can read them.
constexpr int kSlots = 8;
std::atomic<pid_t> raised[kSlots];

enum class Means { untried, direct, realtimeKit, none };
Means means = Means::untried;

int setPolicy(pid_t tid, int policy, int priority) {
    const sched_param param{priority};
    return int(syscall(SYS_sched_setscheduler, tid, policy, &param));
}

// Back to normal priority. Without the privilege the reset-on-fork flag that
// came with real time cannot be cleared; it changes nothing for a thread at
// normal priority.
void lower(pid_t tid) {
    if (setPolicy(tid, SCHED_OTHER, 0) != 0) setPolicy(tid, SCHED_OTHER | SCHED_RESET_ON_FORK, 0);
}

// Also the thread the signal came to, the one that ran too long, in case
// RealtimeKit raised it after it was last remembered.
void demoteAll(int) {
    const int saved = errno;
    for (auto& slot : raised)
        if (const pid_t tid = slot.exchange(0)) lower(tid);
    lower(pid_t(syscall(SYS_gettid)));
    errno = saved;
}

// The bound on every raised thread: its limits lowered where they are higher
// (the kernel raises the soft one by a second at each SIGXCPU), and SIGXCPU
// putting the threads back instead of ending the program, unless someone
// else handles it.
void bound() {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) == 0) {
        limit.rlim_max = std::min(limit.rlim_max, kHardUs);
        limit.rlim_cur = std::min({limit.rlim_cur, kSoftUs, limit.rlim_max});
        setrlimit(RLIMIT_RTTIME, &limit);
    }
    static const bool handled = [] {
        struct sigaction now {};
        if (sigaction(SIGXCPU, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) return false;
        struct sigaction demote {};
        demote.sa_handler = demoteAll;
        demote.sa_flags = SA_RESTART;
        sigemptyset(&demote.sa_mask);
        return sigaction(SIGXCPU, &demote, nullptr) == 0;
    }();
    (void)handled;
}

// RealtimeKit's MakeThreadRealtime through libdbus, loaded when first needed
// (Qt loads it the same way); the few calls are declared here.
class RealtimeKit {
public:
    // Whether RealtimeKit is there. With `wait`, `granted` gives its answer;
    // without, the call is only sent, and `granted` says that it was.
    bool ask(pid_t tid, bool wait, bool& granted) {
        granted = false;
        if (!load()) return false;
        Error error;
        api_.errorInit(&error);
        if (!bus_) {
            bus_ = api_.busGetPrivate(kSystemBus, &error);
            if (!bus_) {
                api_.errorFree(&error);
                return false;
            }
            // libdbus would otherwise end the program when the bus goes away.
            api_.setExitOnDisconnect(bus_, 0);
        }
        void* call = api_.newMethodCall("org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
                                        "org.freedesktop.RealtimeKit1", "MakeThreadRealtime");
        if (!call) return false;
        const std::uint64_t thread = std::uint64_t(tid);
        const std::uint32_t priority = kPriority;
        api_.appendArgs(call, kUint64, &thread, kUint32, &priority, kInvalid);
        if (!wait) {
            api_.setNoReply(call, 1);
            granted = api_.send(bus_, call, nullptr) != 0;
            if (granted) api_.flush(bus_);
            api_.messageUnref(call);
            return granted;
        }
        void* reply = api_.sendWithReplyAndBlock(bus_, call, kTimeoutMs, &error);
        api_.messageUnref(call);
        if (reply) {
            api_.messageUnref(reply);
            granted = true;
            return true;
        }
        // A refusal (the user's share of real time is used up, for one) is
        // for this time; a bus or a service that is not there is for good.
        const bool answered = !error.name || !isMissing(error.name);
        api_.errorFree(&error);
        if (!answered) {
            api_.connectionClose(bus_);
            api_.connectionUnref(bus_);
            bus_ = nullptr;
        }
        return answered;
    }

private:
    struct Error {
        const char* name;
        const char* message;
        unsigned flags;
        void* padding;
    };
    static constexpr int kSystemBus = 1;
    static constexpr int kInvalid = 0, kUint32 = 'u', kUint64 = 't';
    static constexpr int kTimeoutMs = 100;

    static bool isMissing(std::string_view name) {
        return name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
               name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
               name == "org.freedesktop.DBus.Error.Disconnected" ||
               name == "org.freedesktop.DBus.Error.NoReply" ||
               name == "org.freedesktop.DBus.Error.UnknownMethod";
    }

    bool load() {
        if (loaded_) return api_.ok;
        loaded_ = true;
        void* lib = dlopen("libdbus-1.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return false;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            return fn != nullptr;
        };
        api_.ok = get(api_.errorInit, "dbus_error_init") && get(api_.errorFree, "dbus_error_free") &&
                  get(api_.busGetPrivate, "dbus_bus_get_private") &&
                  get(api_.setExitOnDisconnect, "dbus_connection_set_exit_on_disconnect") &&
                  get(api_.newMethodCall, "dbus_message_new_method_call") &&
                  get(api_.appendArgs, "dbus_message_append_args") &&
                  get(api_.setNoReply, "dbus_message_set_no_reply") &&
                  get(api_.send, "dbus_connection_send") && get(api_.flush, "dbus_connection_flush") &&
                  get(api_.sendWithReplyAndBlock, "dbus_connection_send_with_reply_and_block") &&
                  get(api_.messageUnref, "dbus_message_unref") &&
                  get(api_.connectionClose, "dbus_connection_close") &&
                  get(api_.connectionUnref, "dbus_connection_unref");
        return api_.ok;
    }

    struct Api {
        bool ok = false;
        void (*errorInit)(Error*);
        void (*errorFree)(Error*);
        void* (*busGetPrivate)(int, Error*);
        void (*setExitOnDisconnect)(void*, unsigned);
        void* (*newMethodCall)(const char*, const char*, const char*, const char*);
        unsigned (*appendArgs)(void*, int, ...);
        void (*setNoReply)(void*, unsigned);
        unsigned (*send)(void*, void*, std::uint32_t*);
        void (*flush)(void*);
        void* (*sendWithReplyAndBlock)(void*, void*, int, Error*);
        void (*messageUnref)(void*);
        void (*connectionClose)(void*);
        void (*connectionUnref)(void*);
    } api_;
    bool loaded_ = false;
    void* bus_ = nullptr;  // kept between sounds: a socket, no thread
};

RealtimeKit kit;

bool remember(pid_t tid) {
    for (auto& slot : raised) {
        pid_t empty = 0;
        if (slot.load() == tid || slot.compare_exchange_strong(empty, tid)) return true;
    }
    return false;
}

void forget(pid_t tid) {
    for (auto& slot : raised) {
        pid_t mine = tid;
        slot.compare_exchange_strong(mine, 0);
    }
}

// Whether the thread now runs real-time, or has been asked for without
// waiting.
bool raiseThread(pid_t tid, bool wait) {
    if (means == Means::none) return false;
    if (std::any_of(std::begin(raised), std::end(raised), [&](auto& s) { return s.load() == tid; })) return true;
    const int policy = int(syscall(SYS_sched_getscheduler, tid));
    if (policy < 0 || (policy & ~SCHED_RESET_ON_FORK) != SCHED_OTHER) return false;
    // Remembered first, so that the handler knows the thread as soon as it
    // runs real-time.
    if (!remember(tid)) return false;
    bound();
    if (means != Means::realtimeKit) {
        if (setPolicy(tid, SCHED_RR | SCHED_RESET_ON_FORK, kPriority) == 0) {
            means = Means::direct;
            return true;
        }
        if (errno != EPERM) {  // the thread has ended meanwhile
            forget(tid);
            return false;
        }
        if (means == Means::direct) means = Means::untried;  // a limit lowered since
    }
    bool granted = false;
    // The first answer says whether RealtimeKit is there at all.
    means = kit.ask(tid, wait || means == Means::untried, granted) ? Means::realtimeKit : Means::none;
    if (!granted) forget(tid);
    return granted;
}

template <typename Each>
void forEachThread(Each each) {
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return;
    while (const dirent* entry = readdir(dir))
        if (const pid_t tid = pid_t(std::atoi(entry->d_name)); tid > 0) each(tid);
    closedir(dir);
}

// Between the warm-up's thread and the window's.
std::mutex asking;
// The threads there when the sound now on its way began.
std::vector<pid_t> threadsAtStart;

}  // namespace

void raiseAhead() {
    const std::lock_guard lock(asking);
    const pid_t self = pid_t(syscall(SYS_gettid));
    // Raising directly costs a system call at the sound's start: nothing
    // to do ahead but learn that it works, on this thread, which is about
    // to end.
    if (means == Means::untried && setPolicy(self, SCHED_RR | SCHED_RESET_ON_FORK, kPriority) == 0) {
        lower(self);
        means = Means::direct;
    }
    if (means == Means::direct || means == Means::none) return;
    forEachThread([&](pid_t tid) {
        if (tid != self) raiseThread(tid, true);
    });
}

void raise() {
    // The warm-up is asking for these threads meanwhile; a sound does not
    // wait for it.
    const std::unique_lock lock(asking, std::try_to_lock);
    if (!lock || means == Means::none) return;
    const pid_t self = pid_t(syscall(SYS_gettid));
    const bool first = threadsAtStart.empty();
    forEachThread([&](pid_t tid) {
        // Through RealtimeKit, only the caller and the threads started since
        // the sound began (its client's): the others were asked for ahead,
        // and those started since (a browser's) have no part in a sound.
        const bool started =
            !first && std::find(threadsAtStart.begin(), threadsAtStart.end(), tid) == threadsAtStart.end();
        if (first) threadsAtStart.push_back(tid);
        if (means != Means::realtimeKit || tid == self || started) raiseThread(tid, false);
    });
}

void restore() {
    const std::lock_guard lock(asking);
    threadsAtStart.clear();
    for (auto& slot : raised) {
        const pid_t tid = slot.load();
        // A thread that RealtimeKit raised keeps real time until it ends: it
        // sleeps while nothing plays, and asking again for every sound would
        // cost round trips on the sound's path and soon be refused (the
        // daemon grants a user some 25 in 20 s).
        if (!tid || (means == Means::realtimeKit && syscall(SYS_sched_getscheduler, tid) >= 0)) continue;
        if (slot.exchange(0) == tid) lower(tid);
    }
}

}  // namespace pelmora::sound::realtime
