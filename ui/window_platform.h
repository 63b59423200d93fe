#pragma once
// The platform as the windows need it: as a note starts, before it blocks
// the thread, the window is painted, and after the pointer is placed the
// control now under it hears of the move at once, even while the button
// that pressed a key is still held (the pressed key keeps the pointer grab
// until release).
#include "platform/platform.h"
#include "ui/pointer_placement.h"

namespace pelmora::ui {

class WindowPlatform : public Platform {
public:
    WindowPlatform(Platform& system, QWidget& window)
        : system_(system), window_(window), pointer_([&system](QPoint p) { system.placePointer(p.x(), p.y()); }, window) {}

    std::string readProfile(const std::string& s, const std::string& k, const std::string& p) override {
        return system_.readProfile(s, k, p);
    }
    bool writeProfile(const std::string& s, const std::string& k, const std::string& v,
                      const std::string& p) override {
        return system_.writeProfile(s, k, v, p);
    }
    void playSound(const std::string& path, const std::function<void()>& started) override;
    void placePointer(int x, int y) override;
    void beep() override { system_.beep(); }
    void prepareSound() override { system_.prepareSound(); }
    void discardPreparedSound() override { system_.discardPreparedSound(); }
    void warmUpSound() override { system_.warmUpSound(); }
    void seedRandom() override { system_.seedRandom(); }
    float random() override { return system_.random(); }
    std::string programFolder() override { return system_.programFolder(); }
    bool canWrite(const std::string& p) override { return system_.canWrite(p); }
    std::string dataFolder() override { return system_.dataFolder(); }
    bool fileExists(const std::string& p) override { return system_.fileExists(p); }
    bool makeFolder(const std::string& f) override { return system_.makeFolder(f); }
    bool copyFile(const std::string& from, const std::string& to) override { return system_.copyFile(from, to); }

private:
    Platform& system_;
    QWidget& window_;
    PointerPlacement pointer_;
};

}  // namespace pelmora::ui
