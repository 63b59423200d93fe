#pragma once
// Code page 932 (Shift-JIS as Windows has it) to and from UTF-16, converted as
// the Windows functions convert it, so that what a record's bytes mean is
// what they mean there.
#include <string>
#include <string_view>

namespace pelmora::cp932 {

// Whether a byte starts a double-byte character.
inline bool isLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The character at bytes[at], advancing `at` past it. A lead byte takes the
// next byte with it whatever that is, except NUL; a pair the code page does
// not define, or a lead byte at the end, reads as U+30FB (81 45 in CP932).
char16_t next(std::string_view bytes, size_t& at);

// ASCII, most of any record, without a call: whole files are read a
// character at a time.
inline char16_t nextOf(std::string_view bytes, size_t& at) {
    const auto c = static_cast<unsigned char>(bytes[at]);
    if (c >= 0x80) return next(bytes, at);
    ++at;
    return c;
}

// A character CP932 lacks is stored as its best-fit look-alike where Windows
// has one (é as e) and otherwise as "?", one for each UTF-16 unit.
std::string encode(std::u16string_view text);
std::u16string decode(std::string_view bytes);

// The same between UTF-8 and CP932 bytes.
std::string fromUtf8(std::string_view utf8);
std::string toUtf8(std::string_view bytes);

}  // namespace pelmora::cp932
