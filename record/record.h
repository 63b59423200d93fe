#pragma once
// The player's record: date.ini in the program folder, section "情報".
// It is read into the quiz's state when the main window loads and written
// back when it closes.
//
// Where the player may not write the program folder (a system-wide
// install), each player has a record of their own, pelmora/date.ini in
// the player's data folder: reads take it once it exists, and the first
// write makes it as a copy of the program folder's record, so that every
// key and section of that one stays.
#include <string>

#include "platform/platform.h"
#include "quiz/quiz_view.h"
#include "quiz/state.h"

namespace pelmora::record {

inline constexpr const char* kNameKey = "ユーザー";
inline constexpr const char* kAverageKey = "平均点";
inline constexpr const char* kLaunchesKey = "起動回数";
inline constexpr const char* kScoreKey = "得点";
// The stored name of a player who has not registered yet.
inline constexpr const char* kUnregistered = "名称未設定";

// Where the record is written: the program folder's, or the player's own.
std::string path(Platform& platform);
std::string read(Platform& platform, const std::string& key);
bool write(Platform& platform, const std::string& key, const std::string& value);

// Seeds the random source, copies the record into the state, greets the
// player, starts the score at 0 and counts the launch.
void load(QuizState& state, QuizView& view, Platform& platform);

// Stores the score, the updated running average and the launch count. False
// when any of them could not be written (each key is still tried).
bool save(QuizState& state, Platform& platform);

}  // namespace pelmora::record
