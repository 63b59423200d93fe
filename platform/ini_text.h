#pragma once
// The text of an INI file in memory, read as the Windows profile functions
// read it. The file stays bytes: CP932, or UTF-8 or UTF-16 (either order)
// after their signature. Names and values cross this interface as UTF-16,
// which is how those functions see them.
//
// Lines end at CR, LF or both. A line "[name]" (the name up to the last ']')
// starts a section; lines before the first one belong to the section with
// the empty name. Any other line is a key: the text before the first '=',
// or the whole line, which then has no value. There are no comments. Names
// and values are trimmed of blanks (space, tab, VT, FF, Ctrl-Z) and end at
// a NUL; names compare without ASCII case. Only the first section of a name
// is read or written, and in it the first line of a key.
#include <string>
#include <string_view>

namespace pelmora::ini {

// The value of `key` in `section`, trimmed, up to a NUL, with one pair of
// enclosing quotes dropped; "" where the section, the key or its value is
// missing.
std::u16string value(std::string_view file, std::u16string_view section, std::u16string_view key);

// Whether a key written with these names would be found again: neither is
// blank, neither holds a line break or a NUL, and the key holds no '=' and
// does not start with '[' or ';' (it would read as a section or look like a
// comment to a person).
bool canWrite(std::u16string_view section, std::u16string_view key);

// `file` with the key's line replaced by "key=value" (keeping the key's
// spelling in the file, up to a NUL), or that line added after the section's
// last line, or the section added at the end. Every other byte is kept, and
// the new text is in the file's own encoding. The names must pass canWrite
// and the value must hold no line break.
std::string put(std::string_view file, std::u16string_view section, std::u16string_view key, std::u16string_view value);

}  // namespace pelmora::ini
