// Any bytes as the record file. Reading never fails or runs away; a value
// written reads back as reading gives any value (trimmed, unquoted, cut), and
// the rest of the file keeps its bytes and its values. Mostly on the text in
// memory, and once per input through a real file.
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
#include "shown.h"

using namespace pelmora;
using std::string;
using std::string_view;

namespace {

constexpr auto npos = string_view::npos;

// The program's names in CP932 bytes, so that the names do not depend on the
// converter under test.
const string kInfo = "\x8F\xEE\x95\xF1";                       // 情報
const string kOther = "\x82\xD9\x82\xA9";                      // ほか
const string kUser = "\x83\x86\x81\x5B\x83\x55\x81\x5B";       // ユーザー
const string kAverage = "\x95\xBD\x8B\xCF\x93\x5F";            // 平均点
const string kLaunches = "\x8B\x4E\x93\xAE\x89\xF1\x90\x94";   // 起動回数
const string kScore = "\x93\xBE\x93\x5F";                      // 得点

void require(bool ok, const char* what, string_view a = {}, string_view b = {}) {
    if (ok) return;
    std::fprintf(stderr, "profile_fuzz: %s\n  \"%s\"\n  \"%s\"\n", what, shown(a).c_str(), shown(b).c_str());
    std::abort();
}

string without(string_view s, string_view chars) {
    string out;
    for (char c : s)
        if (chars.find(c) == npos) out += c;
    return out;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLead(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

// A value as reading gives it back: blanks trimmed, one pair of enclosing
// quotes dropped, at most 1023 bytes without half a double-byte character.
string asRead(string_view v) {
    while (!v.empty() && isBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back())) v.remove_suffix(1);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    size_t n = 0;
    while (n < v.size()) {
        const size_t width = isLead(v[n]) && n + 1 < v.size() ? 2 : 1;
        if (n + width > 1023) break;
        n += width;
    }
    return string(v.substr(0, n));
}

// Names the reader might take for the same: blanks trimmed and ASCII case
// ignored on every byte, which also joins a few it keeps apart.
string folded(string_view name) {
    while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
    string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool atLineStart(string_view text, size_t at) { return at == 0 || text[at - 1] == '\n'; }

// Whether `after` is `before` with `part` put in at some `at`, in place of as
// many bytes as the sizes leave over, for an `at` that `fits`.
template <class Fits>
bool splicedIn(string_view before, string_view after, string_view part, Fits fits) {
    if (after.size() < part.size() || after.size() > before.size() + part.size()) return false;
    const size_t removed = before.size() + part.size() - after.size();
    const size_t keep = after.size() - part.size();
    size_t prefix = 0, suffix = 0;
    while (prefix < std::min(before.size(), after.size()) && before[prefix] == after[prefix]) ++prefix;
    while (suffix < std::min(before.size(), after.size()) &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    for (size_t at = keep > suffix ? keep - suffix : 0; at <= std::min(prefix, keep); ++at)
        if (after.compare(at, part.size(), part) == 0 && fits(at, removed)) return true;
    return false;
}

// Whether writing changed nothing but the text of one line, now `line`, or
// added `line` (after its section's `header` where that is new) between lines.
bool onlyTheLineChanged(string_view before, string_view after, const string& line, const string& header) {
    auto replaced = [&](size_t at, size_t removed) {
        const size_t end = at + removed;
        return atLineStart(before, at) && before.substr(at, removed).find('\n') == npos &&
               (end == before.size() || before[end] == '\r' || before[end] == '\n');
    };
    if (splicedIn(before, after, line, replaced)) return true;
    auto betweenLines = [&](size_t at, size_t removed) { return removed == 0 && atLineStart(before, at); };
    auto afterLastLine = [&](size_t at, size_t removed) {
        return removed == 0 && at == before.size() && !before.empty() && before.back() != '\n';
    };
    for (const string& lines : {line + "\r\n", header + "\r\n" + line + "\r\n"})
        if (splicedIn(before, after, lines, betweenLines) || splicedIn(before, after, "\r\n" + lines, afterLastLine))
            return true;
    return false;
}

struct Choices {
    std::vector<string> sections, keys, values;
};

// What to write: names and values found in the file itself, so that the
// fuzzer steers them, then the program's own names.
Choices choices(string_view text) {
    Choices c;
    for (size_t pos = 0; pos < text.size() && c.values.size() < 4;) {
        const size_t lf = text.find('\n', pos);
        const string line = without(text.substr(pos, lf == npos ? npos : lf - pos), "\r");
        pos = lf == npos ? text.size() : lf + 1;
        if (line.starts_with('[')) {
            if (c.sections.size() < 3) c.sections.push_back(line.substr(1, line.rfind(']') - 1));
        } else if (size_t eq = line.find('='); eq != npos) {
            if (c.keys.size() < 3) c.keys.push_back(line.substr(0, eq));
            c.values.push_back(line.substr(eq + 1));
        }
    }
    for (const string& s : {kInfo, " " + kInfo + "\t", kOther, string("\x83\x5D")}) c.sections.push_back(s);
    for (const string& k : {kScore, kUser, kAverage, kLaunches, string("Name")}) c.keys.push_back(k);
    c.values.push_back(without(text, "\r\n"));  // long enough to be cut, now and then
    c.values.push_back("");
    return c;
}

// Writes one after another on the text in memory. The values of a grid of
// names are followed: a write sets those that are its own, leaves the others.
void inMemory(string text) {
    const Choices c = choices(text);
    const size_t rows = std::min<size_t>(c.sections.size(), 4), columns = std::min<size_t>(c.keys.size(), 5);
    std::vector<std::optional<string>> grid;
    for (size_t r = 0; r < rows; ++r) {
        for (size_t k = 0; k < columns; ++k) {
            string v = ini::value(text, c.sections[r], c.keys[k]);
            require(v.size() <= 1023 && v.find('\n') == npos, "a value read is too long or has a line break", v);
            grid.emplace_back(std::move(v));
        }
    }

    const size_t writes = std::min<size_t>(5, std::max({c.sections.size(), c.keys.size(), c.values.size()}));
    for (size_t i = 0; i < writes; ++i) {
        const string& section = c.sections[i % c.sections.size()];
        const string& key = c.keys[i % c.keys.size()];
        const string& value = c.values[i % c.values.size()];
        if (!ini::canWrite(section, key)) continue;
        string after = ini::put(text, section, key, value);
        const string back = ini::value(after, section, key);
        require(back == asRead(value), "the value written does not read back", back, value);
        require(ini::put(after, section, key, value) == after, "writing the same value again changed the text",
                after);
        require(onlyTheLineChanged(text, after, key + "=" + value, "[" + section + "]"),
                "writing changed more than the key's line", text, after);
        const string sectionFolded = folded(section), keyFolded = folded(key);
        for (size_t r = 0; r < rows; ++r)
            for (size_t k = 0; k < columns; ++k)
                if (folded(c.sections[r]) == sectionFolded && folded(c.keys[k]) == keyFolded)
                    grid[r * columns + k] = c.sections[r] == section && c.keys[k] == key
                                                ? std::optional(asRead(value))
                                                : std::nullopt;
        text = std::move(after);
    }

    for (size_t r = 0; r < rows; ++r)
        for (size_t k = 0; k < columns; ++k)
            if (const auto& v = grid[r * columns + k])
                require(ini::value(text, c.sections[r], c.keys[k]) == *v, "a value not written changed",
                        c.sections[r] + "/" + c.keys[k], text);
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
    const string stored = cp932::fromUtf8(without(string_view(value.c_str()), "\r\n"));
    const string score = profile::read("情報", "得点", path);
    require(score == cp932::toUtf8(asRead(stored)), "the score written does not read back", score, value);
    require(profile::read("情報", "起動回数", path) == launches, "the launch count changed");
    const string after = contents(path);
    require(onlyTheLineChanged(text, after, kScore + "=" + stored, "[" + kInfo + "]"),
            "writing the file changed more than the key's line", text, after);
    require(entries(folder) == 1, "writing left another file beside the record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const string text(reinterpret_cast<const char*>(data), size);
    inMemory(text);
    throughAFile(text);
    return 0;
}
