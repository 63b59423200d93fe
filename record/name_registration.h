#pragma once
// Registering the player's name in the start-up window.
#include <string>

#include "platform/platform.h"

namespace pelmora::record {

// Only the stored text "名称未設定" asks for a name; any other name, and
// no record at all, lets the main window open at once.
bool waitsForName(const std::string& storedName);

// Stores the name exactly as typed. An empty entry only beeps, stores
// nothing and returns false.
bool saveName(Platform& platform, const std::string& name);

}  // namespace pelmora::record
