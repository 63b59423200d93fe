#pragma once
// The sound server of the session the tests run in (tools/session.sh names
// its processes), stopped and resumed as a hung server would be. It is
// resumed when this ends, whatever the test's outcome.
#include <signal.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace pelmora::testing {

class SessionSoundServer {
public:
    SessionSoundServer() {
        const char* listed = std::getenv("PELMORA_SOUND_SERVER_PIDS");
        std::istringstream in(listed ? listed : "");
        for (pid_t pid; in >> pid;) pids_.push_back(pid);
    }
    ~SessionSoundServer() { resume(); }
    SessionSoundServer(const SessionSoundServer&) = delete;
    SessionSoundServer& operator=(const SessionSoundServer&) = delete;

    bool known() const { return !pids_.empty(); }
    void stop() const { send(SIGSTOP); }
    void resume() const { send(SIGCONT); }

private:
    void send(int signal) const {
        for (const pid_t pid : pids_) kill(pid, signal);
    }
    std::vector<pid_t> pids_;
};

}  // namespace pelmora::testing
