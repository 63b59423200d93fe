#pragma once
// The text of an INI file in memory, as CP932 bytes. Names are compared
// without ASCII case; double-byte characters compare exactly.
#include <string>
#include <string_view>

namespace pelmora::ini {

// The raw value of `key` in the first `section` ("" if absent): trimmed,
// unquoted and cut to 1023 bytes on a character boundary.
std::string value(std::string_view text, std::string_view section, std::string_view key);

// Whether a line written with these names would be found again: neither name
// is blank and the key's line would not read as a section or a comment.
bool canWrite(std::string_view section, std::string_view key);

// `text` with the line "key=value" put in place of the key's line, at the end
// of its section, or in a new section at the end. Other bytes are kept.
// The names must pass canWrite and nothing may hold a line break.
std::string put(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

}  // namespace pelmora::ini
