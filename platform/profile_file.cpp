#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/cp932.h"
#include "platform/ini_text.h"

namespace pelmora::profile {
namespace {

// A text as the Windows functions get it from the program: a C string in
// CP932, which they read back as UTF-16. No name or value can start a line
// of its own: CR and LF are dropped from all three, a ']' would end a section
// header early and an '=' would split a key.
std::u16string asPassed(const std::string& s, std::u16string_view dropped) {
    std::u16string text = cp932::decode(cp932::fromUtf8(s.c_str()));
    std::erase_if(text, [&](char16_t c) { return dropped.find(c) != std::u16string_view::npos; });
    return text;
}
std::u16string sectionName(const std::string& s) { return asPassed(s, u"\r\n]"); }
std::u16string keyName(const std::string& k) { return asPassed(k, u"\r\n="); }

// What fits the caller's buffer of 1024 bytes with its NUL: whole CP932
// characters up to 1023 bytes.
std::string asReturned(std::u16string_view value) {
    const std::string bytes = cp932::encode(value);
    size_t n = 0;
    while (n < bytes.size()) {
        const size_t width = cp932::isLead(static_cast<unsigned char>(bytes[n])) ? 2 : 1;
        if (n + width > 1023) break;
        n += width;
    }
    return cp932::toUtf8(std::string_view(bytes).substr(0, n));
}

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
    return asReturned(ini::value(text, sectionName(section), keyName(key)));
}

bool write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path) {
    const std::u16string sec = sectionName(section), k = keyName(key);
    if (!ini::canWrite(sec, k)) return false;
    std::string text;
    struct stat st{};
    Load loaded = load(path, text, st);
    if (loaded == Load::Failed) return false;
    const std::u16string v = asPassed(value, u"\r\n");
    return save(path, ini::put(text, sec, k, v), loaded == Load::Ok ? &st : nullptr);
}

}  // namespace pelmora::profile
