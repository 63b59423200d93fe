#pragma once
// Conversion between UTF-8 and CP932 (Shift-JIS as Windows writes it).
#include <string>

namespace pelmora::cp932 {

// Characters CP932 cannot represent become "?", as the code page's own
// conversion does.
std::string fromUtf8(const std::string& utf8);
// Bytes that are not valid CP932 become U+FFFD.
std::string toUtf8(const std::string& bytes);

}  // namespace pelmora::cp932
