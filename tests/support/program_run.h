#pragma once
// Whole runs of the real program, as a player makes them: a copy of the
// program folder of the test's own, the program started there with its
// stderr kept, real input through XTEST at the controls' designed places,
// and the end the desktop asks for.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/profile_file.h"
#include "support/files.h"
#include "support/x_input.h"
#include "ui/keyboard.h"
#include "ui/layout.h"

namespace pelmora::testing {

class ProgramRun : public ::testing::Test {
protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override {
        ASSERT_TRUE(x.connected());
        base = std::filesystem::temp_directory_path() / ("pelmora-run-" + std::to_string(::getpid()));
        std::filesystem::remove_all(base);
        std::filesystem::create_directories(base);
        std::filesystem::permissions(base, std::filesystem::perms(0755));
        makeProgramFolder(base / "program");
    }
    void TearDown() override {
        if (pid > 0) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
        std::error_code ignored;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(base);
    }

    void makeProgramFolder(const std::filesystem::path& where) {
        folder = where;
        std::filesystem::create_directories(folder);
        for (const char* item : {"pelmora", "libpelmora_sound.so", "mi"}) {
            std::filesystem::copy(std::filesystem::path(PELMORA_BIN) / item, folder / item,
                                  std::filesystem::copy_options::recursive);
        }
    }
    void writeRecord(const std::string& bytes) { writeBytes(folder / "date.ini", bytes); }
    std::string record() const { return readBytes(folder / "date.ini"); }
    std::string value(const char* key) const { return profile::read("情報", key, (folder / "date.ini").string()); }
    std::string errors() const { return readBytes(base / "stderr.txt"); }
    int errorLines() const {
        const std::string text = errors();
        return int(std::count(text.begin(), text.end(), '\n'));
    }

    // Starts the program with `inChild` run just before exec; returns the
    // milliseconds until its first window is up, or -1 when none came.
    double start() {
        const std::string err = (base / "stderr.txt").string();
        const auto t0 = Clock::now();
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 2);
            ::signal(SIGXFSZ, SIG_DFL);  // whatever the test runner had
            if (inChild) inChild();
            const std::string program = (folder / "pelmora").string();
            ::execl(program.c_str(), program.c_str(), nullptr);
            ::_exit(127);
        }
        if (!waitForWindow()) {
            ADD_FAILURE() << "no window; stderr: " << errors();
            pid = -1;
            return -1;
        }
        return msSince(t0);
    }
    // Until the program shows a window, titled `title` unless that is empty.
    bool waitForWindow(const std::string& title = "") {
        const auto t0 = Clock::now();
        while (!x.showsWindow(pid, title)) {
            if (msSince(t0) > 30000 || ::waitpid(pid, nullptr, WNOHANG) == pid) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Ends the program as the desktop would; its exit status (128 + signal
    // when a signal ended it), or -1 when it has not ended within 30 s.
    int end(double* ms = nullptr) {
        if (pid <= 0) return -1;
        const auto t0 = Clock::now();
        ::kill(pid, SIGTERM);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (msSince(t0) > 30000) return -1;  // TearDown kills it
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (ms) *ms = msSince(t0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    void clickOn(const ui::layout::Place& control, ui::layout::Point origin = ui::layout::kMainOrigin) {
        const ui::layout::Point p = control.centreOn(origin);
        x.move(p.x, p.y);
        x.click();
    }
    // A level-2 question answered with `wrong` white keys: every answer is wrong.
    void playWrong(int wrong, std::chrono::milliseconds settle = std::chrono::milliseconds(2500)) {
        clickOn(ui::layout::kLevels[1]);
        clickOn(ui::layout::kStartButton);
        for (const ui::KeyImage& key : ui::kKeyImages) {
            if (wrong > 0 && key.note <= 7 && key.answers == ui::Answers::OnMouseDown) clickOn(key.place), --wrong;
        }
        x.move(5, 5);
        std::this_thread::sleep_for(settle);  // the note, then the queued presses
    }

    static double msSince(Clock::time_point t) {
        return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    }

    XInput x;
    std::filesystem::path base, folder;
    std::function<void()> inChild;
    pid_t pid = -1;
};

}  // namespace pelmora::testing
