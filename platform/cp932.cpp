#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>

namespace pelmora::cp932 {
namespace {

// Length of the well-formed UTF-8 sequence at s[0..n), or 0 if it is not one.
size_t utf8Length(const unsigned char* s, size_t n) {
    const unsigned char c = s[0];
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || len > n) return 0;
    for (size_t i = 1; i < len; ++i)
        if ((s[i] & 0xC0) != 0x80) return 0;
    return len;
}

bool isLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool isTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// How many input bytes one unconvertible character takes, so that it turns
// into a single replacement rather than one per byte.
size_t skipUtf8(const unsigned char* s, size_t n) {
    size_t len = utf8Length(s, n);
    return len ? len : 1;
}
size_t skipCp932(const unsigned char* s, size_t n) { return n >= 2 && isLead(s[0]) && isTrail(s[1]) ? 2 : 1; }

// Every failure of iconv consumes at least one input byte, so this ends on
// any input.
std::string convert(const char* to, const char* from, const std::string& in, const std::string& replacement,
                    size_t (*skip)(const unsigned char*, size_t)) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        int err = errno;
        out.append(buffer, dst - buffer);
        if (r != static_cast<size_t>(-1) || err == E2BIG) continue;
        size_t n = err == EILSEQ ? skip(reinterpret_cast<unsigned char*>(src), srcLeft) : srcLeft;
        out += replacement;
        src += n;
        srcLeft -= n;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string fromUtf8(const std::string& utf8) { return convert("CP932", "UTF-8", utf8, "?", skipUtf8); }

std::string toUtf8(const std::string& bytes) { return convert("UTF-8", "CP932", bytes, "\xEF\xBF\xBD", skipCp932); }

}  // namespace pelmora::cp932
