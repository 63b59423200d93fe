#include "platform/cp932.h"

#include <iconv.h>

#include <array>
#include <bitset>
#include <cstdint>

#include "platform/utf8.h"

namespace pelmora::cp932 {
namespace {

constexpr char16_t kUndefined = 0x30FB;  // what Windows reads an undefined code as
constexpr uint16_t kNone = 0;            // no code: encoded as "?"


// Where Windows' table differs from the C library's: the single bytes it
// maps to compatibility characters, the look-alikes it stores for
// characters the code page lacks, and five characters it leaves out.
struct Difference {
    char16_t unit;
    uint16_t code;
};
constexpr Difference kWindowsOnly[] = {
    {0x0080, 0x80},   {0xF8F0, 0xA0},  {0xF8F1, 0xFD},   {0xF8F2, 0xFE},   {0xF8F3, 0xFF},   {0x00A1, 0x21},
    {0x00A6, 0x7C},   {0x00A9, 0x63},  {0x00AA, 0x61},   {0x00AB, 0x81E1}, {0x00AD, 0x2D},   {0x00AE, 0x52},
    {0x00AF, 0x8150}, {0x00B2, 0x32},  {0x00B3, 0x33},   {0x00B5, 0x83CA}, {0x00B7, 0x8145}, {0x00B8, 0x8143},
    {0x00B9, 0x31},   {0x00BA, 0x6F},  {0x00BB, 0x81E2}, {0x00C0, 0x41},   {0x00C1, 0x41},   {0x00C2, 0x41},
    {0x00C3, 0x41},   {0x00C4, 0x41},  {0x00C5, 0x41},   {0x00C6, 0x41},   {0x00C7, 0x43},   {0x00C8, 0x45},
    {0x00C9, 0x45},   {0x00CA, 0x45},  {0x00CB, 0x45},   {0x00CC, 0x49},   {0x00CD, 0x49},   {0x00CE, 0x49},
    {0x00CF, 0x49},   {0x00D0, 0x44},  {0x00D1, 0x4E},   {0x00D2, 0x4F},   {0x00D3, 0x4F},   {0x00D4, 0x4F},
    {0x00D5, 0x4F},   {0x00D6, 0x4F},  {0x00D8, 0x4F},   {0x00D9, 0x55},   {0x00DA, 0x55},   {0x00DB, 0x55},
    {0x00DC, 0x55},   {0x00DD, 0x59},  {0x00DE, 0x54},   {0x00DF, 0x73},   {0x00E0, 0x61},   {0x00E1, 0x61},
    {0x00E2, 0x61},   {0x00E3, 0x61},  {0x00E4, 0x61},   {0x00E5, 0x61},   {0x00E6, 0x61},   {0x00E7, 0x63},
    {0x00E8, 0x65},   {0x00E9, 0x65},  {0x00EA, 0x65},   {0x00EB, 0x65},   {0x00EC, 0x69},   {0x00ED, 0x69},
    {0x00EE, 0x69},   {0x00EF, 0x69},  {0x00F0, 0x64},   {0x00F1, 0x6E},   {0x00F2, 0x6F},   {0x00F3, 0x6F},
    {0x00F4, 0x6F},   {0x00F5, 0x6F},  {0x00F6, 0x6F},   {0x00F8, 0x6F},   {0x00F9, 0x75},   {0x00FA, 0x75},
    {0x00FB, 0x75},   {0x00FC, 0x75},  {0x00FD, 0x79},   {0x00FE, 0x74},   {0x00FF, 0x79},   {0x3094, 0x8394},
    {0x2014, kNone},  {0x2016, kNone}, {0x203E, kNone},  {0x2212, kNone},  {0x301C, kNone},
};

// Both directions as tables, looked up per character and filled in from
// iconv's CP932 and the differences above as each character is first met: a
// small record converts only its own few characters at start-up, where the
// whole tables would cost more than all the rest of it. Records are read and
// written on the program's one thread.
class Tables {
public:
    // `code` is a single byte, or lead << 8 | trail.
    char16_t unit(unsigned code) {
        if (!unitKnown_[code]) {
            unitKnown_[code] = true;
            const unsigned char bytes[2] = {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
            const bool pair = code > 0xFF;
            unsigned char unit[4];
            const size_t n = pair ? run(in_, bytes, 2, unit) : run(in_, bytes + 1, 1, unit);
            toUnit_[code] = n == 2 ? static_cast<char16_t>(unit[0] | unit[1] << 8) : kUndefined;
            for (const Difference& d : kWindowsOnly)
                if (d.code == code && code > 0x7F && code <= 0xFF) toUnit_[code] = d.unit;
            if (code == 0) toUnit_[code] = 0;
        }
        return toUnit_[code];
    }
    uint16_t code(char16_t u) {
        if (!codeKnown_[u]) {
            codeKnown_[u] = true;
            const unsigned char unit[2] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8)};
            unsigned char code[4];
            const size_t n = u >= 0xD800 && u < 0xE000 ? 0 : run(out_, unit, 2, code);
            toCode_[u] = n == 1 ? code[0] : n == 2 ? static_cast<uint16_t>(code[0] << 8 | code[1]) : kNone;
            for (const Difference& d : kWindowsOnly)
                if (d.unit == u) toCode_[u] = d.code;
        }
        return toCode_[u];
    }

private:
    static size_t run(iconv_t cd, const unsigned char* src, size_t n, unsigned char* dst) {
        if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* s = reinterpret_cast<char*>(const_cast<unsigned char*>(src));
        char* d = reinterpret_cast<char*>(dst);
        size_t room = 4;
        if (iconv(cd, &s, &n, &d, &room) == static_cast<size_t>(-1)) return 0;
        return static_cast<size_t>(d - reinterpret_cast<char*>(dst));
    }

    iconv_t in_ = iconv_open("UTF-16LE", "CP932");
    iconv_t out_ = iconv_open("CP932", "UTF-16LE");
    std::array<char16_t, 0x10000> toUnit_{};
    std::array<uint16_t, 0x10000> toCode_{};
    std::bitset<0x10000> unitKnown_, codeKnown_;
};

Tables& tables() {
    static Tables t;
    return t;
}

}  // namespace

char16_t next(std::string_view bytes, size_t& at) {
    Tables& t = tables();
    const auto lead = static_cast<unsigned char>(bytes[at++]);
    if (!isLead(lead)) return t.unit(lead);
    if (at == bytes.size() || bytes[at] == '\0') return kUndefined;
    return t.unit(lead << 8 | static_cast<unsigned char>(bytes[at++]));
}

std::string encode(std::u16string_view text) {
    Tables& t = tables();
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t u : text) {
        const uint16_t code = u == 0 ? 0 : t.code(u);
        if (u != 0 && code == kNone) {
            out += '?';
        } else if (code > 0xFF) {
            out += static_cast<char>(code >> 8);
            out += static_cast<char>(code);
        } else {
            out += static_cast<char>(code);
        }
    }
    return out;
}

std::u16string decode(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) out += next(bytes, at);
    return out;
}

std::string fromUtf8(std::string_view utf8) { return encode(utf8::toUtf16(utf8)); }

std::string toUtf8(std::string_view bytes) { return utf8::fromUtf16(decode(bytes)); }

}  // namespace pelmora::cp932
