#pragma once
#include <filesystem>

// Start-up of the program against a bare main window, and its memory.
void startupSection(const std::filesystem::path& buildDir);

// A copy of the program folder with a registered player, so the main window
// is the first window. The caller removes it.
std::filesystem::path programCopy(const std::filesystem::path& buildDir);
