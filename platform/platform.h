#pragma once
// The operating-system services the quiz and the record call. The windows
// hand the logic a SystemPlatform; tests hand it a recording fake.
#include <functional>
#include <string>

namespace pelmora {

class Platform {
public:
    virtual ~Platform() = default;

    // One value of an INI file, in UTF-8; "" where the file, the section or
    // the key is missing. Cut to 1023 bytes of the file's CP932 text.
    virtual std::string readProfile(const std::string& section, const std::string& key,
                                    const std::string& path) = 0;
    // Replaces one key's line (or adds it); false when the file could not be written.
    virtual bool writeProfile(const std::string& section, const std::string& key,
                              const std::string& value, const std::string& path) = 0;
    // Plays a WAV file and returns once its last sample has sounded; a file
    // that cannot be played sounds the alert instead. `started` runs once the
    // sound has begun (at once where none can), while the device plays ahead
    // of the call.
    virtual void playSound(const std::string& path, const std::function<void()>& started = {}) = 0;
    // Absolute pointer move, in screen pixels.
    virtual void placePointer(int x, int y) = 0;
    virtual void beep() = 0;
    // A sound is about to be played (a button that plays one is held down):
    // the device may be opened ahead, and closed again if none follows.
    virtual void prepareSound() {}
    virtual void discardPreparedSound() {}
    // Sounds may follow: what playing needs may be loaded now, unseen and
    // unheard, nothing left open.
    virtual void warmUpSound() {}
    virtual void seedRandom() = 0;
    // 0 <= r < 1.
    virtual float random() = 0;
    // Folder of the running program, without a trailing "/".
    virtual std::string programFolder() = 0;

    // Whether this player may change the file, or create and replace files
    // in the folder. A file that grants nobody write permission is not
    // writable, not even for root.
    virtual bool canWrite(const std::string& path) = 0;
    // The player's own data folder ($XDG_DATA_HOME, else ~/.local/share),
    // without a trailing "/"; "" when the player has no home.
    virtual std::string dataFolder() = 0;
    virtual bool fileExists(const std::string& path) = 0;
    // Makes the folder and any missing folder above it, each one for this
    // player alone; true when it is a folder afterwards.
    virtual bool makeFolder(const std::string& folder) = 0;
    // Copies a file byte for byte unless `to` exists already; a copy that
    // fails half way leaves nothing behind. True when `to` exists afterwards.
    virtual bool copyFile(const std::string& from, const std::string& to) = 0;
};

}  // namespace pelmora
