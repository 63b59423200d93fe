#pragma once
// INI files with the behaviour of the Windows profile functions, stored in
// CP932 with CRLF line ends. Texts cross this interface as UTF-8; characters
// CP932 lacks are stored as "?", and a NUL ends any text as it would there.
#include <string>

namespace pelmora::profile {

// The value of `key` in `section`, blanks trimmed at both ends and one pair
// of enclosing quotes dropped; cut to 1023 bytes of CP932 without leaving half
// a double-byte character. "" where the file, the section or the key is missing.
std::string read(const std::string& section, const std::string& key, const std::string& path);

// Replaces the line of `key` in `section`, or adds it (after the section's
// last line, or in a new section at the end of the file, or in a new file).
// Every other byte of the file stays as it was; the file is replaced
// atomically and keeps its permission bits. The value is stored as given,
// blanks included.
//
// No text can start a line of its own: CR and LF are dropped from all three,
// and so are ']' from the section and '=' from the key. A blank name, or a key
// starting with '[' or ';' (it would read as a section or a comment), is
// refused. False when refused or when the file could not be written (it is
// then left as it was).
bool write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path);

}  // namespace pelmora::profile
