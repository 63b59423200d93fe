#include "platform/utf8.h"

namespace pelmora::utf8 {

char32_t next(std::string_view s, size_t& at) {
    constexpr char32_t kBad = 0xFFFD;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at++);
    if (lead < 0x80) return lead;
    // C0, C1 and F5 up can start no sequence at all.
    const int more = lead < 0xC2 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 0;
    if (more == 0) return kBad;
    if (at + more > s.size()) {
        at = s.size();
        return kBad;
    }
    char32_t c = lead & (0x3F >> more);
    // Overlong forms, surrogates and values past U+10FFFF are told apart as
    // early as their bytes allow; the bytes taken so far make one U+FFFD.
    for (int left = more; left > 0; --left) {
        const unsigned bits = byte(at) ^ 0x80u;
        if (bits >= 0x40) return kBad;
        c = (c << 6) | bits;
        if (left == 2 && c >= (0x110000 >> 6)) return kBad;
        ++at;
        if (left == 3 && c < 0x10) return kBad;
        if (left == 2 && (c < 0x20 || (c >= (0xD800 >> 6) && c <= (0xDFFF >> 6)))) return kBad;
        if (left == 1 && c < 0x80) return kBad;
    }
    return c;
}

void append(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t at = 0; at < s.size();) append(out, next(s, at));
    return out;
}

std::string fromUtf16(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 3);
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace pelmora::utf8
