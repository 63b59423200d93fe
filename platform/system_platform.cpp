#include "platform/system_platform.h"

#include <QCursor>
#include <QPoint>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/profile_file.h"
#include "platform/sound_library.h"

namespace pelmora {

std::string SystemPlatform::readProfile(const std::string& section, const std::string& key,
                                        const std::string& path) {
    return profile::read(section, key, path);
}

bool SystemPlatform::writeProfile(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) {
    return profile::write(section, key, value, path);
}

void SystemPlatform::playSound(const std::string& path, const std::function<void()>& started) {
    sound_library::play(path, started);
}
void SystemPlatform::prepareSound() { sound_library::prepare(); }
void SystemPlatform::discardPreparedSound() { sound_library::discardPrepared(); }
void SystemPlatform::warmUpSound() { sound_library::warmUp(); }

void SystemPlatform::placePointer(int x, int y) { QCursor::setPos(x, y); }

void SystemPlatform::beep() { sound_library::alert(); }

void SystemPlatform::seedRandom() {
    random_.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
}

float SystemPlatform::random() {
    // 24 random bits give every float step of [0, 1) and never 1 itself.
    return static_cast<float>(random_() >> 8) * 0x1p-24f;
}

std::string SystemPlatform::programFolder() { return executableFolder(); }

bool SystemPlatform::canWrite(const std::string& path) {
    // A read-only mount says no here too, even to root; root is told yes
    // for any file on a writable one, so the file's own bits are asked too.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return ::access(path.c_str(), W_OK | X_OK) == 0;
    return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

std::string SystemPlatform::dataFolder() {
    // A relative XDG_DATA_HOME is to be ignored, as an unset one.
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string folder;
    if (data && data[0] == '/') {
        folder = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') return {};
        folder = std::string(home) + "/.local/share";
    }
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool SystemPlatform::fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool SystemPlatform::makeFolder(const std::string& folder) {
    // New folders are the player's alone, as the XDG base directories ask.
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    std::error_code error;
    return std::filesystem::is_directory(folder, error);
}

bool SystemPlatform::copyFile(const std::string& from, const std::string& to) {
    if (fileExists(to)) return true;
    std::ifstream in(from, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (in.bad() || !in.is_open()) return false;

    std::string temp = to + ".copy-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // A link never replaces: a record another run made meanwhile stays. A
    // folder that cannot hold links takes the rename instead.
    if (ok && ::link(temp.c_str(), to.c_str()) != 0 && errno != EEXIST) {
        ok = !fileExists(to) && ::rename(temp.c_str(), to.c_str()) == 0;
    }
    ::unlink(temp.c_str());
    return ok && fileExists(to);
}

std::string executableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return exe.parent_path().string();
}

}  // namespace pelmora
