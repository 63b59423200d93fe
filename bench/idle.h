#pragma once
#include <filesystem>

// CPU time and wake-ups of the program while nothing happens: the main window
// open and untouched, then again after one note has played.
void idleSection(const std::filesystem::path& buildDir);
