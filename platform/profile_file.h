#pragma once
// INI files with the behaviour of the Windows profile functions: CP932, or
// UTF-8 or UTF-16 after their signature, which a write keeps; new lines end
// in CRLF. Texts cross this interface as UTF-8 and pass through CP932 as the
// program's texts do there: characters it lacks become a look-alike or "?",
// and a NUL ends any text. See ini_text.h for how the file is read.
#include <string>

namespace pelmora::profile {

// The value of `key` in `section`, blanks trimmed at both ends and one pair
// of enclosing quotes dropped; cut to 1023 bytes of CP932 without leaving half
// a double-byte character. "" where the file, the section or the key is missing.
std::string read(const std::string& section, const std::string& key, const std::string& path);

// Replaces the line of `key` in `section`, keeping the key's spelling there,
// or adds it (after the section's
// last line, or in a new section at the end of the file, or in a new file).
// Every other byte of the file stays as it was; the file is replaced
// atomically and keeps its permission bits. The value is stored as given,
// blanks included.
//
// No text can start a line of its own: CR and LF are dropped from all three,
// and so are ']' from the section and '=' from the key. A blank name, or a key
// starting with '[' (it could read as a section) or ';' (many programs take
// it for a comment), is refused. False when refused or when the file could not be written (it is
// then left as it was).
bool write(const std::string& section, const std::string& key, const std::string& value,
           const std::string& path);

}  // namespace pelmora::profile
