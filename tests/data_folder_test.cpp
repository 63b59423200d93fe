// The player's data folder and the file operations that make a player's own
// record, on real folders.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/system_platform.h"
#include "support/files.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

using testing::readBytes;

TEST(DataFolder, FollowsXdgAndMakesACopyThatNeverReplaces) {
    const fs::path base = fs::temp_directory_path() / ("pelmora-data-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base);
    SystemPlatform platform;

    ::setenv("HOME", (base / "home").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (base / "data//").c_str(), 1);
    EXPECT_EQ(platform.dataFolder(), (base / "data").string());
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(platform.dataFolder(), (base / "home/.local/share").string()) << "a relative XDG_DATA_HOME is ignored";

    const fs::path folder = base / "home/.local/share/pelmora";
    EXPECT_TRUE(platform.makeFolder(folder.string()));
    for (const fs::path& made : {folder, folder.parent_path(), base / "home"}) {
        struct stat st;
        ASSERT_EQ(::stat(made.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
    EXPECT_TRUE(platform.makeFolder(folder.string())) << "a folder that is there is fine";

    const char raw[] = "[\x8f\xee\x95\xf1]\r\nkept\0\x81\r\n";
    const std::string bytes(raw, sizeof raw - 1);
    testing::writeBytes(base / "starter.ini", bytes);
    const std::string own = (folder / "date.ini").string();
    EXPECT_TRUE(platform.copyFile((base / "starter.ini").string(), own));
    EXPECT_EQ(readBytes(own), bytes);
    testing::writeBytes(own, "played");
    EXPECT_TRUE(platform.copyFile((base / "starter.ini").string(), own));
    EXPECT_EQ(readBytes(own), "played") << "a record that is there is never replaced";

    EXPECT_FALSE(platform.copyFile((base / "missing.ini").string(), (folder / "other.ini").string()));
    EXPECT_FALSE(platform.copyFile((base / "starter.ini").string(), (base / "no/such/folder.ini").string()));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "no copy is left half made";
    EXPECT_FALSE(platform.canWrite((base / "no/such").string()));
    EXPECT_TRUE(platform.canWrite(folder.string()));
    ::chmod(own.c_str(), 0444);
    EXPECT_FALSE(platform.canWrite(own)) << "a file nobody may write is not written, by root neither";
    fs::remove_all(base);
}

}  // namespace
}  // namespace pelmora
