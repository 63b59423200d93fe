#pragma once
// Points this process's sound clients at servers that are not there: the
// pulse plug-in's and pipewire-alsa's. ALSA reads its configuration once per
// process, so a fresh child calls this before its first sound.
#include <cstdlib>
#include <filesystem>

namespace pelmora::testing {

inline void pointSoundServersNowhere(const std::filesystem::path& dir) {
    const std::filesystem::path nowhere = dir / "no-server";
    setenv("PULSE_SERVER", ("unix:" + nowhere.string()).c_str(), 1);
    setenv("PIPEWIRE_RUNTIME_DIR", nowhere.c_str(), 1);
}

}  // namespace pelmora::testing
