// Any bytes as the record file. Reading never fails or runs away; a value
// written reads back as reading gives any value (trimmed, up to a NUL,
// unquoted), and the rest of the file keeps its bytes and its values. Mostly
// on the text in memory, and once per input through a real file.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "platform/ini_text.h"
#include "platform/profile_file.h"
#include "platform/utf8.h"
#include "shown.h"

using namespace pelmora;
using std::string;
using std::string_view;
using std::u16string;
using std::u16string_view;

namespace {

void require(bool ok, const char* what, string_view a = {}, string_view b = {}) {
    if (ok) return;
    std::fprintf(stderr, "profile_fuzz: %s\n  \"%s\"\n  \"%s\"\n", what, shown(a).c_str(), shown(b).c_str());
    std::abort();
}
void require(bool ok, const char* what, u16string_view a, u16string_view b = {}) {
    if (!ok) require(ok, what, string_view(utf8::fromUtf16(a)), string_view(utf8::fromUtf16(b)));
}

bool isBlank(char16_t c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == 0x1A; }

// A value as reading gives it back: blanks trimmed, cut at a NUL, one pair of
// enclosing quotes dropped.
u16string asRead(u16string_view v) {
    while (!v.empty() && isBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back())) v.remove_suffix(1);
    v = v.substr(0, v.find(u'\0'));
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    return u16string(v);
}

// Names the reader takes for the same: blanks trimmed, up to a NUL, ASCII
// case ignored.
u16string folded(u16string_view name) {
    while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
    u16string out(name.substr(0, name.find(u'\0')));
    for (char16_t& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c - 'A' + 'a');
    return out;
}

// The file's lines as bytes, [start, end) of text then its line end up to
// next, stepping over whole characters of its encoding as the reader does.
struct Line {
    size_t start, end, next;
};
std::vector<Line> lines(string_view file) {
    size_t at = 0, limit = file.size();
    int encoding = 0;  // CP932, UTF-8, UTF-16 LE, UTF-16 BE
    if (file.starts_with("\xEF\xBB\xBF")) encoding = 1, at = 3;
    if (file.starts_with("\xFF\xFE") || file.starts_with("\xFE\xFF")) {
        encoding = file[0] == '\xFF' ? 2 : 3, at = 2;
        limit -= limit % 2;
    }
    auto next = [&](size_t& i) -> char32_t {
        if (encoding == 0) return cp932::next(file, i);
        if (encoding == 1) return utf8::next(file, i);
        i += 2;
        return static_cast<unsigned char>(file[i - (encoding == 2 ? 1 : 2)]) << 8 |
               static_cast<unsigned char>(file[i - (encoding == 2 ? 2 : 1)]);
    };
    std::vector<Line> out;
    Line line{at, at, at};
    while (at < limit) {
        size_t i = at;
        const char32_t c = next(i);
        if (c == '\r' || c == '\n') {
            line.end = at;
            if (size_t j = i; c == '\r' && j < limit && next(j) == '\n') i = j;
            line.next = i;
            out.push_back(line);
            line = {i, i, i};
        }
        at = i;
    }
    if (line.start < limit) out.push_back({line.start, limit, limit});
    return out;
}

// Whether `after` is `before` with at most the text of one of its lines
// changed, or with text put in somewhere (a line added between lines).
bool changedWithinOneLine(string_view before, string_view after) {
    const size_t shorter = std::min(before.size(), after.size());
    size_t prefix = 0, suffix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
    while (suffix < shorter && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) ++suffix;
    if (after.size() >= before.size() && prefix + suffix >= before.size()) return true;
    for (const Line& line : lines(before)) {
        const size_t kept = line.start + (before.size() - line.end);
        if (prefix >= line.start && suffix >= before.size() - line.end && kept <= after.size()) return true;
    }
    return false;
}

// The file's text as UTF-16, for picking names and values out of it.
u16string decoded(string_view file) {
    if (file.starts_with("\xEF\xBB\xBF")) return utf8::toUtf16(file.substr(3));
    if (file.starts_with("\xFF\xFE") || file.starts_with("\xFE\xFF")) {
        u16string out;
        for (size_t i = 2; i + 1 < file.size(); i += 2)
            out += static_cast<char16_t>(
                file[0] == '\xFF' ? static_cast<unsigned char>(file[i + 1]) << 8 | static_cast<unsigned char>(file[i])
                                  : static_cast<unsigned char>(file[i]) << 8 | static_cast<unsigned char>(file[i + 1]));
        return out;
    }
    return cp932::decode(file);
}

// A text as the program passes it: through CP932, without line breaks.
u16string passed(u16string_view s) {
    u16string out = cp932::decode(cp932::encode(s));
    std::erase_if(out, [](char16_t c) { return c == '\r' || c == '\n'; });
    return out;
}

struct Choices {
    std::vector<u16string> sections, keys, values;
};

// What to write: names and values found in the file itself, so that the
// fuzzer steers them, then the program's own names.
Choices choices(string_view file) {
    Choices c;
    const u16string text = decoded(file);
    for (size_t pos = 0; pos < text.size() && c.values.size() < 4;) {
        const size_t end = std::min(text.find(u'\n', pos), text.find(u'\r', pos));
        const u16string line = text.substr(pos, end == u16string::npos ? u16string::npos : end - pos);
        pos = end == u16string::npos ? text.size() : end + 1;
        if (line.starts_with(u'[')) {
            if (c.sections.size() < 3) c.sections.push_back(passed(line.substr(1, line.rfind(u']') - 1)));
        } else if (size_t eq = line.find(u'='); eq != u16string::npos) {
            if (c.keys.size() < 3) c.keys.push_back(passed(line.substr(0, eq)));
            c.values.push_back(passed(line.substr(eq + 1)));
        }
    }
    for (const char* s : {"情報", " 情報\t", "ほか", "ゾ"}) c.sections.push_back(utf8::toUtf16(s));
    for (const char* k : {"得点", "ユーザー", "平均点", "起動回数", "Name"}) c.keys.push_back(utf8::toUtf16(k));
    c.values.push_back(passed(text.substr(0, 2000)));  // long enough to be cut, now and then
    c.values.push_back(u"");
    return c;
}

// Writes one after another on the text in memory. The values of a grid of
// names are followed: a write sets those that are its own, leaves the others.
void inMemory(string text) {
    const Choices c = choices(text);
    const size_t rows = std::min<size_t>(c.sections.size(), 4), columns = std::min<size_t>(c.keys.size(), 5);
    std::vector<std::optional<u16string>> grid;
    for (size_t r = 0; r < rows; ++r)
        for (size_t k = 0; k < columns; ++k) grid.emplace_back(ini::value(text, c.sections[r], c.keys[k]));

    const size_t writes = std::min<size_t>(5, std::max({c.sections.size(), c.keys.size(), c.values.size()}));
    for (size_t i = 0; i < writes; ++i) {
        const u16string& section = c.sections[i % c.sections.size()];
        const u16string& key = c.keys[i % c.keys.size()];
        const u16string& value = c.values[i % c.values.size()];
        if (!ini::canWrite(section, key)) continue;
        string after = ini::put(text, section, key, value);
        const u16string back = ini::value(after, section, key);
        require(back == asRead(value), "the value written does not read back", back, value);
        require(ini::put(after, section, key, value) == after, "writing the same value again changed the text", after);
        require(changedWithinOneLine(text, after), "writing changed more than the key's line", text, after);
        const u16string sectionFolded = folded(section), keyFolded = folded(key);
        for (size_t r = 0; r < rows; ++r)
            for (size_t k = 0; k < columns; ++k)
                if (folded(c.sections[r]) == sectionFolded && folded(c.keys[k]) == keyFolded)
                    grid[r * columns + k] =
                        c.sections[r] == section && c.keys[k] == key ? std::optional(asRead(value)) : std::nullopt;
        text = std::move(after);
    }

    for (size_t r = 0; r < rows; ++r)
        for (size_t k = 0; k < columns; ++k)
            if (const auto& v = grid[r * columns + k])
                require(ini::value(text, c.sections[r], c.keys[k]) == *v, "a value not written changed",
                        utf8::fromUtf16(c.sections[r] + u"/" + c.keys[k]), text);
}

string scratchFolder() {
    const char* base = std::getenv("TMPDIR");
    string pattern = string(base && *base ? base : "/tmp") + "/profile_fuzz.XXXXXX";
    require(mkdtemp(pattern.data()) != nullptr, "no scratch folder", pattern);
    return pattern;
}

string contents(const string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

size_t entries(const string& folder) {
    size_t n = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* e = readdir(dir)) n += string_view(e->d_name) != "." && string_view(e->d_name) != "..";
        closedir(dir);
    }
    return n;
}

// The same through the file functions: the input is the file, and also, as
// UTF-8, the score written into it.
void throughAFile(const string& text) {
    static const string folder = scratchFolder();
    static const string path = folder + "/date.ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    const string launches = profile::read("情報", "起動回数", path);

    const string value = text.substr(0, 2000);
    require(profile::write("情報", "得点", value, path), "writing the record failed");
    const u16string stored = passed(utf8::toUtf16(value.c_str()));
    // Whole characters up to 1023 bytes: in what encoding gives, a lead byte
    // always starts a pair.
    string expected = cp932::encode(asRead(stored));
    for (size_t n = 0; n < expected.size();) {
        const auto lead = static_cast<unsigned char>(expected[n]);
        const size_t width = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
        if (n + width > 1023) expected.resize(n);
        n += width;
    }
    const string score = profile::read("情報", "得点", path);
    require(score == cp932::toUtf8(expected), "the score written does not read back", score, value);
    require(profile::read("情報", "起動回数", path) == launches, "the launch count changed");
    require(changedWithinOneLine(text, contents(path)), "writing the file changed more than the key's line", text,
            contents(path));
    require(entries(folder) == 1, "writing left another file beside the record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const string text(reinterpret_cast<const char*>(data), size);
    inMemory(text);
    throughAFile(text);
    return 0;
}
