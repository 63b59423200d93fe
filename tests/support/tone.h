#pragma once
// A note for the sound tests: a 440 Hz square wave, every sample of it loud,
// so that a recording shows exactly where it began and ended.
#include <filesystem>

namespace pelmora::testing {

// A 16-bit WAV file; false if it could not be written.
bool writeTone(const std::filesystem::path& path, double seconds, int rate = 44100, int channels = 1);

}  // namespace pelmora::testing
