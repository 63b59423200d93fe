#include "platform/ini_text.h"

namespace pelmora::ini {
namespace {

constexpr size_t kMaxValue = 1023;  // what fits the caller's 1024-byte buffer
constexpr auto npos = std::string_view::npos;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isLead(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Trail bytes of CP932 cover the ASCII letters and ']', so both the folding
// and the search for ']' have to step over double-byte characters whole.
size_t charWidth(std::string_view s, size_t i) { return isLead(s[i]) && i + 1 < s.size() ? 2 : 1; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        size_t w = charWidth(a, i);
        if (w == 2 ? a.substr(i, 2) != b.substr(i, 2) : lower(a[i]) != lower(b[i])) return false;
        i += w;
    }
    return true;
}

size_t findClose(std::string_view s) {
    for (size_t i = 1; i < s.size(); i += charWidth(s, i))
        if (s[i] == ']') return i;
    return npos;
}

enum class Kind { Blank, Section, Key, Other };

struct Line {
    size_t start = 0, end = 0, next = 0;  // text [start, end), then its line end up to next
    Kind kind = Kind::Other;
    std::string_view name, value;
    bool endsWithLf(std::string_view text) const { return next > end && text[next - 1] == '\n'; }
};

// Only LF ends a line, so CRLF and LF files read alike; a CR before the LF
// belongs to the line end, and one left at the end of a name or value is
// trimmed like a blank.
Line lineAt(std::string_view text, size_t start) {
    size_t lf = text.find('\n', start);
    Line line;
    line.start = start;
    line.end = lf == npos ? text.size() : lf;
    line.next = lf == npos ? text.size() : lf + 1;
    if (line.end > start && text[line.end - 1] == '\r') --line.end;
    std::string_view s = trim(text.substr(start, line.end - start));
    if (s.empty()) {
        line.kind = Kind::Blank;
    } else if (size_t close = s[0] == '[' ? findClose(s) : npos; close != npos) {
        line.kind = Kind::Section;
        line.name = trim(s.substr(1, close - 1));
    } else if (size_t eq = s[0] == ';' ? npos : s.find('='); eq != npos) {
        line.kind = Kind::Key;
        line.name = trim(s.substr(0, eq));
        line.value = trim(s.substr(eq + 1));
    }
    return line;
}

std::string finish(std::string_view v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    size_t n = 0;
    while (n < v.size() && n + charWidth(v, n) <= kMaxValue) n += charWidth(v, n);
    return std::string(v.substr(0, n));
}

}  // namespace

std::string value(std::string_view text, std::string_view section, std::string_view key) {
    section = trim(section);
    key = trim(key);
    bool inSection = false;
    for (size_t pos = 0; pos < text.size();) {
        Line line = lineAt(text, pos);
        pos = line.next;
        if (line.kind == Kind::Section) {
            if (inSection) break;
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == Kind::Key && sameName(line.name, key)) {
            return finish(line.value);
        }
    }
    return {};
}

bool canWrite(std::string_view section, std::string_view key) {
    // A ']' in the name, or a lead byte at its end that takes the closing
    // ']' for its second byte, leaves a header that names another section.
    const std::string header = "[" + std::string(section) + "]";
    const Line line = lineAt(header, 0);
    const bool headerReadsBack = line.kind == Kind::Section && sameName(line.name, trim(section));
    key = trim(key);
    return headerReadsBack && !trim(section).empty() && !key.empty() && key[0] != '[' && key[0] != ';' &&
           key.find('=') == npos;
}

std::string put(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    std::string_view wantSection = trim(section), wantKey = trim(key);
    bool inSection = false;
    Line last;  // the section's last non-blank line, the header at least
    for (size_t pos = 0; pos < text.size();) {
        Line line = lineAt(text, pos);
        pos = line.next;
        if (line.kind == Kind::Section) {
            if (inSection) break;
            inSection = sameName(line.name, wantSection);
        } else if (inSection && line.kind == Kind::Key && sameName(line.name, wantKey)) {
            return std::string(text.substr(0, line.start)) + keyLine + std::string(text.substr(line.end));
        }
        if (inSection && line.kind != Kind::Blank) last = line;
    }
    std::string out;
    out.reserve(text.size() + keyLine.size() + section.size() + 8);
    if (inSection) {
        out = text.substr(0, last.next);
        if (!last.endsWithLf(text)) out += "\r\n";
        out += keyLine + "\r\n";
        out += text.substr(last.next);
    } else {
        out = text;
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        out += "[" + std::string(section) + "]\r\n" + keyLine + "\r\n";
    }
    return out;
}

}  // namespace pelmora::ini
