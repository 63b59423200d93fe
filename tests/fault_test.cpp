// Whole runs of the real program while the machine works against it: a
// folder it may not write, a full disk or a file size limit when it saves, no
// sound server, records that are huge, binary or in another encoding.
// Nothing already stored may be lost, at most one line on stderr says what
// went wrong, and the program ends normally.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <random>

#include "platform/cp932.h"
#include "support/no_sound_server.h"
#include "support/program_run.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;
const std::string kRecord = "[情報]\r\nユーザー=花子\r\n平均点=12.5\r\n起動回数=3\r\n";

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FaultRun : public testing::ProgramRun {
protected:
    void TearDown() override {
        if (pid > 0) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0), pid = -1;
        if (!mounted.empty()) ::umount2(mounted.c_str(), MNT_DETACH);
        ProgramRun::TearDown();
    }

    fs::path mounted;
};

// Neither the program folder nor the player's data folder may be written.
TEST_F(FaultRun, AFolderItMayNotWriteKeepsTheRecord) {
    const std::string before = cp932::fromUtf8(kRecord);
    writeRecord(before);
    const fs::path data = base / "data";
    fs::create_directory(data);
    fs::permissions(data, fs::perms(0555));
    inChild = [data] { ::setenv("XDG_DATA_HOME", data.c_str(), 1); };
    if (::geteuid() == 0) {
        // Root writes through any folder, so the player here is nobody, with a
        // folder of its own that it has made read-only.
        const fs::path runtime = base / "runtime";
        fs::create_directory(runtime);
        for (const auto& entry : fs::recursive_directory_iterator(folder)) ::lchown(entry.path().c_str(), kNobody, kNobody);
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(runtime.c_str(), kNobody, kNobody), 0);
        fs::permissions(runtime, fs::perms::owner_all);
        inChild = [runtime, data] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(126);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            ::setenv("HOME", runtime.c_str(), 1);
            ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        };
    }
    fs::permissions(folder, fs::perms(0555));
    const auto files = listing(folder);
    ASSERT_GE(start(), 0);
    playWrong(2);
    EXPECT_EQ(end(), 0);
    EXPECT_EQ(record(), before);
    EXPECT_EQ(listing(folder), files);
    EXPECT_TRUE(fs::is_empty(data));
    EXPECT_EQ(errorLines(), 1) << errors();
    EXPECT_NE(errors().find((data / "pelmora/date.ini").string()), std::string::npos) << errors();
}

// A record bigger than the limit: every save fails part way, as on a full
// disk. No note is played: the limit also stops the sound server's shared
// memory, and its client library says so on stderr.
TEST_F(FaultRun, AFileSizeLimitFailsTheSaveButNotTheProgram) {
    std::string padding;
    for (int i = 0; i < 600; ++i) padding += std::string(100, 'x') + "\r\n";
    const std::string before = cp932::fromUtf8(kRecord + "[メモ]\r\n") + padding;
    writeRecord(before);
    inChild = [] {
        const rlimit small{16384, 16384};
        ::setrlimit(RLIMIT_FSIZE, &small);
    };
    ASSERT_GE(start(), 0);
    EXPECT_EQ(end(), 0) << "128 + 25 is death by SIGXFSZ";
    EXPECT_EQ(record(), before);
    EXPECT_EQ(listing(folder), std::vector<std::string>({"date.ini", "libpelmora_sound.so", "mi", "pelmora"}));
    EXPECT_EQ(errorLines(), 1) << errors();
}

TEST_F(FaultRun, AFullDiskKeepsTheRecordAndAFreedOneSavesIt) {
    const fs::path disk = base / "disk";
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=32m") != 0) GTEST_SKIP() << "cannot mount a small disk here";
    mounted = disk;
    makeProgramFolder(disk / "program");
    const std::string before = cp932::fromUtf8(kRecord);
    writeRecord(before);
    {
        const int fd = ::open((disk / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string block(4096, 'f');
        for (size_t chunk : {size_t(4096), size_t(1)}) {
            while (::write(fd, block.data(), chunk) == ssize_t(chunk)) {}
        }
        ::close(fd);
    }
    ASSERT_GE(start(), 0);
    playWrong(1);
    EXPECT_EQ(end(), 0);
    EXPECT_EQ(record(), before);
    EXPECT_EQ(listing(folder), std::vector<std::string>({"date.ini", "libpelmora_sound.so", "mi", "pelmora"}));
    EXPECT_EQ(errorLines(), 1) << errors();

    fs::remove(disk / "filler");
    ASSERT_GE(start(), 0);
    EXPECT_EQ(end(), 0);
    EXPECT_EQ(record(), cp932::fromUtf8(kRecord.substr(0, kRecord.find("平均点")) + "平均点=6.25\r\n起動回数=4\r\n得点=0\r\n"));
    EXPECT_EQ(errors(), "");
}

TEST_F(FaultRun, WithoutASoundServerTheQuizGoesOn) {
    writeRecord(cp932::fromUtf8(kRecord));
    inChild = [dir = base] { pelmora::testing::pointSoundServersNowhere(dir); };
    ASSERT_GE(start(), 0);
    playWrong(3, 500ms);  // a note that played would still be sounding
    double exitMs = 0;
    EXPECT_EQ(end(&exitMs), 0);
    EXPECT_EQ(value("得点"), "-15");
    EXPECT_EQ(errors(), "");
    std::printf("no sound server: three answers judged and ended %.0f ms after the end was asked\n", exitMs);
}

// A broken installation without the sound module: said once on stderr, and
// the quiz goes on in silence.
TEST_F(FaultRun, WithoutTheSoundModuleTheQuizGoesOnAndSaysSo) {
    writeRecord(cp932::fromUtf8(kRecord));
    fs::remove(folder / "libpelmora_sound.so");
    ASSERT_GE(start(), 0);
    playWrong(3, 500ms);
    EXPECT_EQ(end(), 0);
    EXPECT_EQ(value("得点"), "-15");
    const std::string said = errors();
    EXPECT_EQ(said.rfind("pelmora: no sound, the sound module did not load: ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// Start and exit with records that are no INI file in CP932, each timed:
// whatever a record holds is kept, and the program's keys are added.
TEST_F(FaultRun, HugeBinaryAndForeignRecordsStartEndAndAreKept) {
    std::mt19937 rng(5);
    std::string text(10 << 20, '\0'), binary(10 << 20, '\0');
    const char alphabet[] = "ab=[]; \t\r\n\x81\x83\x5D\xFF";
    for (char& c : text) c = rng() % 8 ? alphabet[rng() % (sizeof alphabet - 1)] : char(rng());
    for (char& c : binary) c = char(rng());
    std::string patterned;
    for (int i = 0; i < 1 << 20; ++i) patterned += static_cast<char>((i * 2654435761u) >> 13);
    patterned += std::string("\0\0[情報\r\n=\r\n\x81\r\n", 14);
    // A signed record is read and written in its own encoding: only the lines of the keys written change.
    const std::u16string wide = u"\uFEFF[情報]\r\nユーザー=花子\r\n", wideRecord = u"平均点=12.5\r\n起動回数=3\r\n";
    const auto bytes = [](const std::u16string& s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2); };
    const std::string lines = cp932::fromUtf8(kRecord);
    const struct Case {
        const char* name;
        std::string kept;    // what must stay as it is
        std::string record;  // the record's own lines after it, if any
        const char* average;   // after a run without answers
        const char* launches;
    } cases[] = {
        {"small CP932 record", "", lines, "6.25", "4"},
        {"10 MB of garbage, record at the end", text + "\n", lines, "6.25", "4"},
        {"10 MB of random bytes", binary, "", "0", "1"},
        {"1 MB of patterned bytes, a broken section", patterned, "", "0", "1"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" "[情報]\nユーザー=花子\n", "平均点=12.5\n起動回数=3\n", "6.25", "4"},
        {"UTF-16LE with BOM", bytes(wide), bytes(wideRecord), "6.25", "4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeRecord(c.kept + c.record);
        const double startMs = start();
        ASSERT_GE(startMs, 0);
        double exitMs = 0;
        EXPECT_EQ(end(&exitMs), 0);
        const std::string after = record();
        ASSERT_GE(after.size(), c.kept.size());
        EXPECT_EQ(after.compare(0, c.kept.size(), c.kept), 0);
        EXPECT_EQ(value("得点"), "0");
        EXPECT_EQ(value("平均点"), c.average);
        EXPECT_EQ(value("起動回数"), c.launches);
        EXPECT_EQ(errors(), "");
        std::printf("record %-36s start %6.0f ms, exit %6.0f ms\n", c.name, startMs, exitMs);
    }
}

}  // namespace
}  // namespace pelmora
