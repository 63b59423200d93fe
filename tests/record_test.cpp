#include <gtest/gtest.h>

#include <algorithm>

#include "quiz/messages.h"
#include "record/name_registration.h"
#include "record/record.h"
#include "support/fake_platform.h"

namespace pelmora {
namespace {

using testing::FakePlatform;
using testing::FakeView;

const std::string kFile = "/opt/pelmora/date.ini|情報|";

class RecordTest : public ::testing::Test {
protected:
    FakePlatform platform;

    std::string stored(const std::string& key) { return platform.profile[kFile + key]; }
    void store(const std::string& key, const std::string& value) { platform.profile[kFile + key] = value; }

    // One run of the main window: load, play to `score`, close; the panel's text.
    std::string run(double score) {
        QuizState state;
        FakeView view;
        record::load(state, view, platform);
        state.score = score;
        record::save(state, platform);
        return view.message;
    }
};

TEST_F(RecordTest, LoadWithoutARecord) {
    QuizState state;
    state.score = 10;
    FakeView view;
    record::load(state, view, platform);
    EXPECT_EQ(platform.calls.front(), "seed") << "the random source is seeded before any file access";
    EXPECT_EQ(state.name, "");
    EXPECT_EQ(state.average, "");
    EXPECT_EQ(state.launches, "1");
    EXPECT_EQ(state.score, 0);
    EXPECT_EQ(view.message, "こんにちわ☆さん");
}

TEST_F(RecordTest, LoadTakesTheStoredTextsAndCountsTheLaunch) {
    store("ユーザー", "花子");
    store("平均点", "abc");
    store("起動回数", "41");
    store("得点", "35");
    QuizState state;
    FakeView view;
    record::load(state, view, platform);
    EXPECT_EQ(view.message, "こんにちわ☆花子さん");
    EXPECT_EQ(state.average, "abc") << "kept as text until the exit";
    EXPECT_EQ(state.launches, "42");
    EXPECT_EQ(state.score, 0);

    for (auto [count, next] : {std::pair{"2.5", "3.5"}, {"x", "1"}, {"0.5", "1.5"}, {"-1", "0"}}) {
        store("起動回数", count);
        record::load(state, view, platform);
        EXPECT_EQ(state.launches, next) << count;
    }
}

TEST_F(RecordTest, ThreeRunsMixTheAverage) {
    run(20);
    EXPECT_EQ(stored("得点"), "20");
    EXPECT_EQ(stored("平均点"), "20");
    EXPECT_EQ(stored("起動回数"), "1");
    run(10);
    EXPECT_EQ(stored("平均点"), "15");
    EXPECT_EQ(stored("起動回数"), "2");
    run(30);
    EXPECT_EQ(stored("得点"), "30");
    EXPECT_EQ(stored("平均点"), "22.5");
    EXPECT_EQ(stored("起動回数"), "3");
    // Written in this order, one key at a time; the name is never written.
    std::vector<std::string> writes;
    for (const auto& c : platform.calls) if (c.rfind("write", 0) == 0) writes.push_back(c);
    EXPECT_EQ(writes.back(), "write 起動回数=3");
    EXPECT_EQ(writes.at(writes.size() - 3), "write 得点=30");
    EXPECT_EQ(platform.profile.count(kFile + "ユーザー"), 0u);
}

TEST_F(RecordTest, FirstLaunchRuleFollowsTheCountText) {
    run(-5);
    EXPECT_EQ(stored("平均点"), "-5");

    // A count of 0.5 becomes 1.5, which is not "1": the mix applies.
    store("起動回数", "0.5");
    store("平均点", "7.5");
    run(20);
    EXPECT_EQ(stored("起動回数"), "1.5");
    EXPECT_EQ(stored("平均点"), "13.75");

    store("平均点", "");
    run(10);
    EXPECT_EQ(stored("平均点"), "5") << "an empty average counts as 0";
    run(0);
    EXPECT_EQ(stored("平均点"), "2.5");
}

TEST_F(RecordTest, AResetAverageTakesEffectAtExit) {
    store("起動回数", "4");
    store("平均点", "40");
    QuizState state;
    FakeView view;
    record::load(state, view, platform);
    state.score = 30;
    messages::reset(state);
    state.score = 10;
    record::save(state, platform);
    EXPECT_EQ(stored("平均点"), "5");

    // On the first launch the score is copied whatever the reset did.
    FakePlatform fresh;
    QuizState first;
    record::load(first, view, fresh);
    first.score = 15;
    messages::reset(first);
    first.score = -10;
    record::save(first, fresh);
    EXPECT_EQ(fresh.profile[kFile + "平均点"], "-10");
}

// A program folder the player may not write: each player keeps a record of
// their own, started from the program folder's record, which stays as it was.
TEST_F(RecordTest, AProtectedProgramFolderGivesEachPlayerARecordOfTheirOwn) {
    const std::string own = "/home/player/.local/share/pelmora/date.ini|";
    auto ownValue = [&](const std::string& key) {
        auto it = platform.profile.find(own + key);
        return it == platform.profile.end() ? "(none)" : it->second;
    };
    store("ユーザー", "名称未設定");
    platform.profile["/opt/pelmora/date.ini|メモ|版"] = "1";
    const auto starter = platform.profile;
    platform.readOnly = {"/opt/pelmora"};

    EXPECT_TRUE(record::waitsForName(record::read(platform, record::kNameKey))) << "a new player is asked";
    EXPECT_TRUE(record::saveName(platform, "花子"));
    EXPECT_EQ(ownValue("情報|ユーザー"), "花子");
    EXPECT_EQ(ownValue("メモ|版"), "1") << "the copy keeps every section";
    run(10);
    EXPECT_EQ(run(20), "こんにちわ☆花子さん") << "reads prefer the player's record";
    EXPECT_EQ(ownValue("情報|起動回数"), "2");
    EXPECT_EQ(ownValue("情報|平均点"), "15");
    EXPECT_EQ(std::count_if(platform.calls.begin(), platform.calls.end(),
                            [](const std::string& c) { return c.rfind("copy", 0) == 0; }),
              1);
    for (const auto& [key, value] : starter) EXPECT_EQ(platform.profile[key], value) << key;

    // Another player on the machine starts from the starter record again.
    platform.data = "/home/other/.local/share";
    EXPECT_TRUE(record::waitsForName(record::read(platform, record::kNameKey)));
    run(5);
    EXPECT_EQ(platform.profile["/home/other/.local/share/pelmora/date.ini|情報|起動回数"], "1");
    EXPECT_EQ(ownValue("情報|起動回数"), "2");

    // A starter record nobody may write is only read, also where the folder
    // may be written (as root may write it).
    platform.readOnly = {"/opt/pelmora/date.ini"};
    EXPECT_EQ(record::path(platform), "/home/other/.local/share/pelmora/date.ini");

    // A writable program folder keeps the record beside the program, whatever
    // the player's data folder holds.
    platform.readOnly.clear();
    EXPECT_EQ(record::path(platform), "/opt/pelmora/date.ini");
    EXPECT_EQ(record::read(platform, record::kNameKey), "名称未設定");
}

TEST_F(RecordTest, ARecordThatCannotBeWrittenAnywhereLosesNothing) {
    store("起動回数", "3");
    platform.readOnly = {"/opt/pelmora", "/home/player"};
    const auto before = platform.profile;
    QuizState state;
    FakeView view;
    record::load(state, view, platform);
    EXPECT_EQ(state.launches, "4");
    EXPECT_FALSE(record::save(state, platform));

    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(record::saveName(platform, "花子")) << "the name window still gives way";
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("/home/player/.local/share/pelmora/date.ini"), std::string::npos) << errors;
    EXPECT_EQ(platform.profile, before);

    // Without a home the record stays where it was, and says so.
    platform.data = "";
    EXPECT_EQ(record::path(platform), "/opt/pelmora/date.ini");
    EXPECT_FALSE(record::save(state, platform));
    EXPECT_EQ(platform.profile, before);
}

TEST(NameRegistration, WaitsOnlyForTheUnregisteredName) {
    EXPECT_TRUE(record::waitsForName("名称未設定"));
    for (const char* name : {"", "花子", " 名称未設定", "名称未設定 "}) EXPECT_FALSE(record::waitsForName(name)) << name;
}

TEST(NameRegistration, AnEmptyNameOnlyBeeps) {
    FakePlatform platform;
    EXPECT_FALSE(record::saveName(platform, ""));
    EXPECT_EQ(platform.calls, std::vector<std::string>{"beep"});
    EXPECT_TRUE(record::saveName(platform, "  "));
    EXPECT_EQ(platform.calls.back(), "write ユーザー=  ") << "blanks are stored as typed";
    EXPECT_TRUE(record::saveName(platform, "名称未設定"));
    EXPECT_EQ(platform.profile[kFile + "ユーザー"], "名称未設定");
}

}  // namespace
}  // namespace pelmora
