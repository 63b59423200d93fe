#include "platform/system_platform.h"

#include <QCursor>
#include <QPoint>
#include <chrono>
#include <filesystem>

#include "platform/profile_file.h"
#include "platform/sound.h"

namespace pelmora {

std::string SystemPlatform::readProfile(const std::string& section, const std::string& key,
                                        const std::string& path) {
    return profile::read(section, key, path);
}

bool SystemPlatform::writeProfile(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) {
    return profile::write(section, key, value, path);
}

void SystemPlatform::playSound(const std::string& path) { sound::play(path); }

void SystemPlatform::placePointer(int x, int y) { QCursor::setPos(x, y); }

void SystemPlatform::beep() { sound::alert(); }

void SystemPlatform::seedRandom() {
    random_.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
}

float SystemPlatform::random() {
    // 24 random bits give every float step of [0, 1) and never 1 itself.
    return static_cast<float>(random_() >> 8) * 0x1p-24f;
}

std::string SystemPlatform::programFolder() { return executableFolder(); }

std::string executableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return exe.parent_path().string();
}

}  // namespace pelmora
