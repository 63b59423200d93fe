// A writer killed at any moment leaves the record with its old text or its
// new one, never a mix and never nothing: hundreds of processes save the
// record in a loop and are each killed with SIGKILL after a random delay.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "support/files.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using testing::readBytes;

class KilledWriter : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pelmora-kill-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = dir / "date.ini";
        // A quarter of a megabyte before the record keeps each save long
        // enough for many kills to land inside one.
        for (int i = 0; i < 2500; ++i) padding += "メモ" + std::to_string(i) + "=" + std::string(90, 'x') + "\r\n";
        testing::writeBytes(path, text(0, 0, 0));
    }
    void TearDown() override { fs::remove_all(dir); }

    // The record after the score, the average and the launch count were
    // last written with these values.
    std::string text(long score, long average, long launches) const {
        return cp932::fromUtf8("[設定]\r\n" + padding + "[情報]\r\nユーザー=花子\r\n得点=" + std::to_string(score) +
                               "\r\n平均点=" + std::to_string(average) + "\r\n起動回数=" + std::to_string(launches) +
                               "\r\n");
    }
    long stored(const char* key) const { return std::stol("0" + profile::read("情報", key, path.string())); }
    size_t leftovers() const { return size_t(std::distance(fs::directory_iterator(dir), {})) - 1; }

    // Saves rounds n, n + 1, ... from the first round not yet saved whole;
    // one key at a time, as the program saves at exit. Says on `ready` when
    // the first save begins.
    [[noreturn]] void writeForever(int ready) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const long first = stored("起動回数") + 1;
        (void)!::write(ready, "", 1);
        for (long n = first;; ++n) {
            for (const char* key : {"得点", "平均点", "起動回数"}) profile::write("情報", key, std::to_string(n), path);
        }
    }

    fs::path dir, path;
    std::string padding;
};

TEST_F(KilledWriter, TheRecordIsAlwaysTheOldOrTheNewText) {
    // Kills spread over three rounds of saves.
    fs::copy_file(path, dir / "timing.ini");
    const auto t0 = Clock::now();
    for (int i = 0; i < 5; ++i) profile::write("情報", "メモ", std::to_string(i), (dir / "timing.ini").string());
    const auto saveUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count() / 5;
    fs::remove(dir / "timing.ini");

    std::mt19937 rng(17);
    constexpr int kRounds = 300;
    long score = 0;
    size_t midSave = 0;
    for (int round = 0; round < kRounds; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) writeForever(ready[1]);
        char byte;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % (9 * saveUs + 1)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        const long s = stored("得点"), a = stored("平均点"), l = stored("起動回数");
        // Within a round the keys are written in order, so the three values
        // are at most one round apart and never out of order.
        ASSERT_TRUE(s >= a && a >= l && l >= s - 1 && s >= score)
            << "round " << round << ": " << s << " " << a << " " << l << " after " << score;
        ASSERT_EQ(readBytes(path), text(s, a, l)) << "round " << round;
        score = s;
        const size_t left = leftovers();
        midSave += left > 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path() != path) fs::remove(entry.path());
        }
    }
    EXPECT_GT(score, 0) << "the writers never finished a save";
    std::printf("%d kills, a save lasting %ld us: %ld rounds of three saves done, %zu kills left a temporary file\n",
                kRounds, long(saveUs), score, midSave);
}

}  // namespace
}  // namespace pelmora
