#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/cp932.h"
#include "platform/ini_text.h"

namespace pelmora::profile {
namespace {

// The Windows functions take C strings, so a NUL ends any text.
std::string upToNul(const std::string& s) { return std::string(s.c_str()); }

// Done in UTF-8, where none of these bytes can be half of a character.
std::string without(std::string s, std::string_view chars) {
    std::erase_if(s, [&](char c) { return chars.find(c) != std::string_view::npos; });
    return s;
}

// A ']' would end the section header early and an '=' would split the key,
// and neither could then be found again.
std::string sectionName(const std::string& s) { return cp932::fromUtf8(without(upToNul(s), "\r\n]")); }
std::string keyName(const std::string& k) { return cp932::fromUtf8(without(upToNul(k), "\r\n=")); }

enum class Load { Ok, Missing, Failed };

Load load(const std::string& path, std::string& text, struct stat& st) {
    // O_NONBLOCK so that a FIFO in the file's place cannot hang us.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? Load::Missing : Load::Failed;
    Load result = Load::Failed;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        text.reserve(static_cast<size_t>(st.st_size));
        static thread_local char chunk[1 << 16];
        for (;;) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n > 0) {
                text.append(chunk, static_cast<size_t>(n));
            } else if (n == 0) {
                result = Load::Ok;
                break;
            } else if (errno != EINTR) {
                break;
            }
        }
    }
    ::close(fd);
    return result;
}

bool writeAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A crash or a full disk half way leaves the old file whole: the new text
// goes to a file beside it, which then takes the old one's name.
bool save(const std::string& path, const std::string& text, const struct stat* old) {
    static std::atomic<unsigned> counter{0};
    const mode_t mode = old ? old->st_mode & 07777 : 0666;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = !old || fchmod(fd, mode) == 0;  // the umask must not narrow it
    if (old && fchown(fd, old->st_uid, old->st_gid) != 0) {
        // Only root may give a file away; anyone else already owns it.
    }
    ok = ok && writeAll(fd, text) && fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        fsync(dir);  // makes the rename itself durable; nothing to undo if it fails
        ::close(dir);
    }
    return true;
}

}  // namespace

std::string read(const std::string& section, const std::string& key, const std::string& path) {
    std::string text;
    struct stat st{};
    if (load(path, text, st) != Load::Ok) return {};
    return upToNul(cp932::toUtf8(ini::value(text, sectionName(section), keyName(key))));
}

bool write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path) {
    const std::string sec = sectionName(section), k = keyName(key);
    if (!ini::canWrite(sec, k)) return false;
    std::string text;
    struct stat st{};
    Load loaded = load(path, text, st);
    if (loaded == Load::Failed) return false;
    const std::string v = cp932::fromUtf8(without(upToNul(value), "\r\n"));
    return save(path, ini::put(text, sec, k, v), loaded == Load::Ok ? &st : nullptr);
}

}  // namespace pelmora::profile
