#pragma once
// UTF-8 to and from UTF-16, with the Windows decoder's handling of malformed
// input, so that a damaged file or text reads as it does there.
#include <string>
#include <string_view>

namespace pelmora::utf8 {

// The code point of the sequence at s[at], advancing `at` past it. A malformed
// sequence gives U+FFFD for what the Windows decoder takes as one: an invalid
// lead byte alone, a lead byte with the continuation bytes that were valid so
// far, and a sequence cut short by the end of `s` together with all the rest.
char32_t next(std::string_view s, size_t& at);

std::u16string toUtf16(std::string_view s);
// A lone surrogate becomes U+FFFD.
std::string fromUtf16(std::u16string_view s);
// The UTF-16 form of one code point, appended to `out`.
void append(std::u16string& out, char32_t c);

}  // namespace pelmora::utf8
