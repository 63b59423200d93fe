#pragma once
// The platform of the running program: files, ALSA, the X pointer, the clock.
#include <random>

#include "platform/platform.h"

namespace pelmora {

class SystemPlatform : public Platform {
public:
    std::string readProfile(const std::string& section, const std::string& key,
                            const std::string& path) override;
    bool writeProfile(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& path) override;
    void playSound(const std::string& path, const std::function<void()>& started) override;
    void placePointer(int x, int y) override;
    void beep() override;
    void prepareSound() override;
    void discardPreparedSound() override;
    void warmUpSound() override;
    void seedRandom() override;
    float random() override;
    std::string programFolder() override;
    bool canWrite(const std::string& path) override;
    std::string dataFolder() override;
    bool fileExists(const std::string& path) override;
    bool makeFolder(const std::string& folder) override;
    bool copyFile(const std::string& from, const std::string& to) override;

private:
    std::mt19937 random_;
};

// Folder of the running executable, without a trailing "/"; "" when the
// system cannot tell.
std::string executableFolder();

}  // namespace pelmora
