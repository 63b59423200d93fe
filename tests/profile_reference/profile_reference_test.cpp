// The record file layer against the Windows profile functions themselves, as
// Wine has them: the same script of reads and writes, from the same starting
// bytes, through both. Every read and every write's result must agree, and so
// must what each side's reader finds in each side's resulting file (the bytes
// may differ: our writes keep every other byte, Wine rewrites the file).
// Runs under wine_session.sh, which provides the Wine loader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "platform/cp932.h"
#include "platform/profile_file.h"
#include "platform/utf8.h"

namespace fs = std::filesystem;
using namespace pelmora;
using std::string;
using std::vector;

namespace {

string hex(std::string_view bytes) {
    string out;
    char digits[3];
    for (unsigned char c : bytes) std::snprintf(digits, sizeof digits, "%02X", c), out += digits;
    return out.empty() ? "-" : out;
}

string unhex(std::string_view h) {
    string out;
    for (size_t i = 0; h != "-" && i + 1 < h.size(); i += 2)
        out += static_cast<char>(std::stoi(string(h.substr(i, 2)), nullptr, 16));
    return out;
}

string units(std::u16string_view s) {
    string out;
    char digits[5];
    for (char16_t u : s) std::snprintf(digits, sizeof digits, "%04X", u), out += digits;
    return out.empty() ? "-" : out;
}

string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void store(const fs::path& path, const string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A scratch folder with an ASCII path, which the ANSI functions can name.
class Scratch {
public:
    Scratch() {
        string pattern = (fs::temp_directory_path() / "profile_reference.XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("no scratch folder");
        path = pattern;
    }
    ~Scratch() { fs::remove_all(path); }
    fs::path path;
};

string windowsPath(const fs::path& p) {
    string s = "Z:" + p.string();
    for (char& c : s) c = c == '/' ? '\\' : c;
    return s;
}

// The answers of the Windows program to a script, one line each, after it
// has shown that its code page is 932.
vector<string> runWine(const Scratch& folder, const string& script) {
    const char* loader = std::getenv("PELMORA_WINE");
    const char* program = std::getenv("PELMORA_WINE_PROGRAM");
    if (!loader || !program) throw std::runtime_error("run this through tests/profile_reference/wine_session.sh");
    store(folder.path / "script", script);
    const string command = "LC_ALL=ja_JP.UTF-8 '" + string(loader) + "' '" + program + "' '" +
                           windowsPath(folder.path / "script") + "' '" + windowsPath(folder.path) + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot start Wine");
    vector<string> lines;
    std::ostringstream all;
    char chunk[1 << 16];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) all.write(chunk, static_cast<std::streamsize>(n));
    const int status = pclose(pipe);
    std::istringstream in(all.str());
    for (string line; std::getline(in, line);) lines.push_back(line);
    if (status != 0 || lines.empty()) throw std::runtime_error("the Windows program failed: " + command);
    if (lines.front() != "acp 932")
        throw std::runtime_error("Wine's ANSI code page is not 932 (" + lines.front() + "): no Japanese locale");
    lines.erase(lines.begin());
    return lines;
}

// --- cases ------------------------------------------------------------------

struct Op {
    bool write = false;
    string section, key, value;  // UTF-8
};

struct Case {
    string name;
    std::optional<string> start;  // no file when empty
    vector<Op> ops;
    vector<std::pair<string, string>> probes;  // read from both files afterwards
    bool sameBytes = false;                    // files of the program's own form come out identical
};

Op rd(string s, string k) { return {false, std::move(s), std::move(k), {}}; }
Op wr(string s, string k, string v) { return {true, std::move(s), std::move(k), std::move(v)}; }

const vector<string> kKeys = {"ユーザー", "平均点", "起動回数", "得点"};

vector<std::pair<string, string>> grid(const vector<string>& sections, const vector<string>& keys) {
    vector<std::pair<string, string>> out;
    for (const string& s : sections)
        for (const string& k : keys) out.emplace_back(s, k);
    return out;
}

string sjis(std::string_view utf8) { return cp932::fromUtf8(utf8); }
string utf16(std::string_view utf8, bool littleEndian) {
    string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : utf8::toUtf16(utf8)) {
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

// One case or more for each way a file from elsewhere can differ from ours.
vector<Case> craftedCases() {
    const string record = "[情報]\r\nユーザー=山田\r\n平均点=22.5\r\n起動回数=3\r\n得点=10\r\n";
    const vector<Op> session = {rd("情報", "ユーザー"),
                                rd("情報", "平均点"),
                                rd("情報", "起動回数"),
                                wr("情報", "得点", "-15"),
                                wr("情報", "平均点", "20.8333333333333"),
                                wr("情報", "起動回数", "4"),
                                rd("情報", "起動回数")};
    const auto probes = grid({"情報", ""}, kKeys);
    const string longAscii(1100, 'x');
    string longKanji;
    for (int i = 0; i < 600; ++i) longKanji += "点";
    return {
        {"the program's own record", sjis(record), session, probes, true},
        {"a new record",
         std::nullopt,
         {wr("情報", "ユーザー", "名称未設定"), wr("情報", "ユーザー", "山田")},
         probes,
         true},
        {"UTF-8 with signature", "\xEF\xBB\xBF" + record, session, probes},
        {"UTF-16 LE with signature", utf16(record, true), session, probes},
        {"UTF-16 BE with signature", utf16(record, false), session, probes},
        {"signatures alone", "\xEF\xBB\xBF", {wr("情報", "得点", "5")}, probes},
        {"UTF-16 signature alone",
         utf16("", true),
         {wr("情報", "得点", "5"), wr("ほか", "k", "値")},
         grid({"情報", "ほか"}, {"得点", "k"})},
        {"lone CR line ends",
         sjis("[情報]\r得点=1\r平均点=2"),
         {rd("情報", "得点"), wr("情報", "平均点", "3"), wr("情報", "起動回数", "4")},
         probes},
        {"Ctrl-Z, VT and FF trimmed",
         sjis("[情報]\r\n\x1A\v得点\f=\x1A 1\v\f\x1A\r\n平均点=\t\"2\"\x1A\r\n"),
         {wr("情報", "起動回数", "1")},
         probes},
        {"bytes CP932 lacks",
         sjis("[情報]\r\nユーザー=") + "\x85\x40\x80\xA0\xFD\xFE\xFF\r\n" + sjis("平均点=1") + "\x81\r\n" +
             sjis("起動回数=2") + "\x81\n" + sjis("得点=3") + "\x81",
         {wr("情報", "得点", "4"), rd("情報", "平均点")},
         probes},
        {"a lead byte before NUL",
         sjis("[情報]\r\nユーザー=a") + string("\x81\0b", 3) + sjis("\r\n得点=x") + string("\0y", 2) + "\r\n",
         {wr("情報", "平均点", "1")},
         probes},
        {"headers: [a]b], [] and lines before the first",
         sjis("得点=0\r\n[a]b]\r\n得点=1\r\n[]\r\n得点=2\r\n[ 情報 ]junk\r\n得点=3\r\n"),
         {wr("情報", "得点", "4"), wr("ほか", "得点", "5")},
         grid({"情報", "", "a", "ab"}, {"得点"})},
        {"no comments",
         sjis("[情報]\r\n;得点=1\r\n得点=2\r\n"),
         {rd("情報", ";得点"), wr("情報", "得点", "3")},
         grid({"情報"}, {";得点", "得点"})},
        {"a key's line cut by the end of the file inside a character",
         sjis("[情報]\r\n得点") + string("\0\x81", 2),
         {wr("情報", "得点", "5")},
         probes},
        {"a key without '='",
         sjis("[情報]\r\n得点\r\n平均点 \r\n"),
         {rd("情報", "得点"), wr("情報", "得点", "5"), wr("情報", "平均点", "6")},
         probes},
        {"the spelling in the file is kept",
         sjis("[Info]\r\nKey=1\r\n name = 2 \r\n"),
         {wr("INFO", "KEY", "2"), wr("info", "Name", "3")},
         grid({"info"}, {"key", "name"})},
        {"the first section and key of a name",
         sjis("[情報]\r\n得点=1\r\n得点=2\r\n[ほか]\r\n[情報]\r\n平均点=3\r\n"),
         {wr("情報", "平均点", "4"), wr("情報", "得点", "5")},
         probes},
        {"quotes",
         sjis("[情報]\r\nユーザー=\"山田\"\r\n平均点='1'\r\n起動回数=\"2'\r\n得点=\" 3 \"\r\n"),
         {wr("情報", "ユーザー", "\"x\"")},
         probes},
        {"values cut at 1023 bytes",
         sjis("[情報]\r\nユーザー=" + longAscii + "\r\n平均点=" + longKanji + "\r\n起動回数=x" + longKanji +
              "\r\n得点=\"" + longAscii + "\"\r\n"),
         {wr("情報", "ユーザー", longKanji)},
         probes},
        {"characters with two codes",
         sjis("[情報]\r\n") + "\xED\x40=nec\r\n\x87\x54=roman\r\n",
         {wr("情報", "纊", "1"), wr("情報", "Ⅰ", "2")},
         grid({"情報"}, {"纊", "Ⅰ", "ⅰ"})},
        {"only ASCII letters fold",
         sjis("[情報]\r\nＡ=full\r\nΑ=greek\r\nA=ascii\r\n"),
         {wr("情報", "ａ", "1"), wr("情報", "α", "2")},
         grid({"情報"}, {"Ａ", "ａ", "Α", "α", "a"})},
        {"characters CP932 lacks",
         std::nullopt,
         {wr("情報", "ユーザー", "José 😀 한"), rd("情報", "ユーザー"), wr("情報", "é", "1")},
         grid({"情報"}, {"ユーザー", "e", "é"})},
        {"UTF-8 that is not",
         "\xEF\xBB\xBF[情報]\r\nユーザー=\xC3(\xED\xA0\x80\xC0\x80\r\n得点=\xF0"
         "A",
         {wr("情報", "平均点", "1"), rd("情報", "ユーザー")},
         probes},
        {"a UTF-8 sequence cut short at the end",
         "\xEF\xBB\xBF[情報]\r\n得点=1\xE6\x83",
         {wr("ほか", "k", "1")},
         probes},
        {"UTF-16 with a lone surrogate",
         utf16("[情報]\r\n得点=", true) + string("\x00\xD8", 2) + utf16("\r\n", true).substr(2),
         {wr("情報", "得点", "5")},
         probes},
    };
}

// Random files that mix all of the above, in all four encodings, and random
// scripts on them.
vector<Case> randomCases(unsigned seed, int count) {
    std::mt19937 rng(seed);
    auto pick = [&](const auto& options) -> const auto& { return options[rng() % options.size()]; };
    auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    const vector<string> sections = {"情報", "ほか", "Sec", "SEC"};
    const vector<string> keys = {"ユーザー", "平均点", "起動回数", "得点", "Name", "NAME", "k"};
    const vector<string> values = {
        "",   "5", "-12.5", "山田太郎", "  padded  ", "\"quoted\"", "'single'",       "a=b", "é", "😀",
        "ｶﾅ", "①", "纊",    "～",       "\\",         "名称未設定", string(1030, 'x')};
    const vector<string> blanks = {" ", "\t", "\v", "\f", "\x1A"};
    const vector<string> ends = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
    vector<Case> cases;
    for (int n = 0; n < count; ++n) {
        const int encoding = chance(55) ? 0 : 1 + static_cast<int>(rng() % 3);  // CP932, UTF-8, UTF-16 LE, BE
        string text;
        auto add = [&](const string& utf8) {
            text += encoding == 0 ? sjis(utf8) : encoding == 1 ? utf8 : utf16(utf8, encoding == 2).substr(2);
        };
        // Bytes that the encoding's decoder handles in its own way.
        auto junk = [&] {
            static const vector<string> cp932 = {"\x85\x40",        "\x80", "\xA0", "\xFD", string("\x81\0z", 3),
                                                 string("x\0y", 3), "\x81"};
            static const vector<string> utf8 = {"\xC3(", "\xE6\x83", "\xED\xA0\x80", "\xC0\x80", string("x\0y", 3)};
            static const vector<string> utf16le = {string("\x00\xD8", 2), string("\x00\xDC", 2),
                                                   string("x\0\0\0y\0", 6)};
            static const vector<string> utf16be = {string("\xD8\x00", 2), string("\0x\0\0\0y", 6)};
            const vector<string>* all[] = {&cp932, &utf8, &utf16le, &utf16be};
            text += pick(*all[encoding]);
        };
        auto blank = [&] { return chance(50) ? string() : pick(blanks); };
        const int lines = 1 + static_cast<int>(rng() % 9);
        for (int i = 0; i < lines; ++i) {
            switch (rng() % 10) {
                case 0:
                case 1: {
                    // Not "[]": Wine's rewrite drops that header, which moves its keys into the
                    // section before (our write keeps it); the crafted cases have it.
                    static const vector<string> forms = {"[%]", "[%]", "[ %\t]", "[%]junk", "[a]b]", " [%]"};
                    string line = pick(forms);
                    if (size_t at = line.find('%'); at != string::npos) line.replace(at, 1, pick(sections));
                    add(line);
                    break;
                }
                case 2:
                    add(blank());
                    break;
                case 3:
                    add(chance(50) ? ";" + pick(keys) + "=1" : pick(keys));  // no comments, a key alone
                    break;
                default:
                    add(blank() + pick(keys) + blank() + "=" + blank());
                    if (chance(20)) add(chance(50) ? "\"" : "'");
                    add(pick(values));
                    if (chance(25)) junk();
                    add(blank());
            }
            if (i + 1 < lines || chance(70)) add(pick(ends));
        }
        if (encoding == 1 && chance(10))
            text +=
                "\xF0"
                "A";  // cut short at the end
        Case c{"random " + std::to_string(n) + " of seed " + std::to_string(seed),
               encoding == 0 ? text
                             : string(encoding == 1   ? "\xEF\xBB\xBF"
                                      : encoding == 2 ? "\xFF\xFE"
                                                      : "\xFE\xFF") +
                                   text,
               {},
               grid({"情報", "ほか", "sec", ""}, {"ユーザー", "平均点", "起動回数", "得点", "name", "k", ";k"})};
        if (chance(5)) c.start.reset();
        for (int i = 1 + static_cast<int>(rng() % 5); i > 0; --i)
            c.ops.push_back(chance(60) ? wr(pick(sections), pick(keys), pick(values)) : rd(pick(sections), pick(keys)));
        cases.push_back(std::move(c));
    }
    return cases;
}

// --- running and comparing ----------------------------------------------------

// UTF-8 as it is, control characters and bytes that are not UTF-8 as \xNN.
string shown(std::string_view s, size_t limit = 80) {
    string out;
    for (size_t at = 0; at < s.size() && at < limit;) {
        const size_t from = at;
        const char32_t c = utf8::next(s, at);
        if (c < 0x20 || c == 0x7F || c == '\\' || (c == 0xFFFD && s.substr(from, at - from) != "\xEF\xBF\xBD")) {
            for (size_t i = from; i < at; ++i) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(s[i]));
                out += escaped;
            }
        } else {
            out += s.substr(from, at - from);
        }
    }
    return s.size() > limit ? out + "... (" + std::to_string(s.size()) + " bytes)" : out;
}

string shownOp(const Op& op) {
    return (op.write ? "write [" : "read [") + shown(op.section) + "] " + shown(op.key) +
           (op.write ? " = \"" + shown(op.value) + "\"" : "");
}

// "read HEX" as the text read, "write 1" as 1.
string readable(const string& answer) {
    const size_t space = answer.find(' ');
    const string rest = answer.substr(space + 1);
    return answer.starts_with("read ") ? "\"" + shown(unhex(rest)) + "\"" : rest;
}

// Runs the cases through both and fails with each one that differs. Each case
// has Wine's file ("w") and ours ("p"), from the same start.
void compare(const vector<Case>& cases) {
    Scratch folder;
    const char* const kFiles[] = {"w", "p"};
    auto file = [&](const char* which, size_t n) { return which + std::to_string(n) + ".ini"; };
    string script;
    vector<vector<string>> ours(cases.size());  // the ops' answers
    for (size_t n = 0; n < cases.size(); ++n) {
        const Case& c = cases[n];
        if (c.start)
            for (const char* which : kFiles) store(folder.path / file(which, n), *c.start);
        for (const Op& op : c.ops) {
            const string path = (folder.path / file("p", n)).string();
            ours[n].push_back(op.write
                                  ? "write " + string(profile::write(op.section, op.key, op.value, path) ? "1" : "0")
                                  : "read " + hex(profile::read(op.section, op.key, path)));
            script += (op.write ? "write " : "read ") + file("w", n) + " " + hex(op.section) + " " + hex(op.key) +
                      (op.write ? " " + hex(op.value) : "") + "\n";
        }
        for (const char* which : kFiles)
            for (const auto& [s, k] : c.probes) script += "read " + file(which, n) + " " + hex(s) + " " + hex(k) + "\n";
    }
    const vector<string> wine = runWine(folder, script);

    size_t at = 0, differing = 0;
    std::ostringstream report;
    for (size_t n = 0; n < cases.size(); ++n) {
        const Case& c = cases[n];
        const size_t ops = c.ops.size(), probes = c.probes.size();
        ASSERT_LE(at + ops + 2 * probes, wine.size()) << "the Windows program answered too few lines";
        auto theirs = [&](size_t i) -> const string& { return wine[at + i]; };
        std::ostringstream diff;
        for (size_t i = 0; i < ops; ++i)
            if (ours[n][i] != theirs(i))
                diff << "  " << shownOp(c.ops[i]) << ": ours " << readable(ours[n][i]) << ", Wine "
                     << readable(theirs(i)) << "\n";
        for (size_t i = 0; i < probes; ++i) {
            const auto& [section, key] = c.probes[i];
            string mine[2];
            for (int f = 0; f < 2; ++f)
                mine[f] = "read " + hex(profile::read(section, key, (folder.path / file(kFiles[f], n)).string()));
            const string& wines = theirs(ops + i);
            const string& wineOnOurs = theirs(ops + probes + i);
            if (mine[0] != wines || mine[1] != wines || wineOnOurs != wines)
                diff << "  then read [" << shown(section) << "] " << shown(key) << ": from Wine's file, Wine "
                     << readable(wines) << ", ours " << readable(mine[0]) << "; from our file, Wine "
                     << readable(wineOnOurs) << ", ours " << readable(mine[1]) << "\n";
        }
        at += ops + 2 * probes;
        const string mineFile = contents(folder.path / file("p", n)), wineFile = contents(folder.path / file("w", n));
        if (c.sameBytes && mineFile != wineFile) diff << "  the files differ\n";
        if (diff.str().empty()) continue;
        if (++differing <= 12)
            report << "case " << c.name << "\n  start: " << (c.start ? hex(*c.start) : "no file") << "\n"
                   << diff.str() << "  our file:  " << hex(mineFile) << "\n  Wine's:    " << hex(wineFile) << "\n";
    }
    EXPECT_EQ(at, wine.size()) << "the Windows program answered too many lines";
    EXPECT_EQ(differing, 0u) << differing << " of " << cases.size() << " cases differ (answers in hex UTF-8):\n"
                             << report.str();
    std::cout << cases.size() << " cases, " << wine.size() << " answers from Wine\n";
}

TEST(WineReference, ConvertsTextsAsWindows) {
    // Every CP932 code and every UTF-16 unit, and random UTF-8 with faults.
    Scratch folder;
    std::mt19937 rng(5);
    const string pieces[] = {"\x80", "\xBF", "\xC2", "\xC3", "\xE0", "\xE6", "\xED", "\xF0",
                             "\xF4", "\xF5", "\xFF", "A",    "\xA0", "\x9F", "\x90"};
    vector<string> samples;
    string script = "tables\n";
    for (int i = 0; i < 400; ++i) {
        string s;
        for (int j = 1 + static_cast<int>(rng() % 6); j > 0; --j) s += pieces[rng() % std::size(pieces)];
        script += "utf8 " + hex(s) + "\n";
        samples.push_back(s);
    }
    size_t wrong = 0, next = 0;
    std::ostringstream report;
    for (const string& line : runWine(folder, script)) {
        std::istringstream fields(line);
        string kind, in, out, ours;
        fields >> kind >> in >> out;
        if (kind == "utf8") out = in, in = hex(samples.at(next));
        if (kind == "decode") ours = units(cp932::decode(unhex(in)));
        if (kind == "encode")
            ours = hex(cp932::encode(std::u16string(1, static_cast<char16_t>(std::stoi(in, nullptr, 16)))));
        if (kind == "utf8") ours = units(utf8::toUtf16(samples.at(next++)));
        if (ours != out && ++wrong <= 20)
            report << "  " << kind << " " << in << ": Windows " << out << ", ours " << ours << "\n";
    }
    EXPECT_EQ(next, samples.size());
    EXPECT_EQ(wrong, 0u) << report.str();
}

TEST(WineReference, FilesFromElsewhereReadAndWriteAsOnWindows) { compare(craftedCases()); }

TEST(WineReference, RandomFilesAndScriptsAgree) {
    const char* given = std::getenv("PELMORA_PROFILE_SEED");
    const unsigned seed = given ? static_cast<unsigned>(std::stoul(given)) : 1;
    std::cout << "seed " << seed << " (PELMORA_PROFILE_SEED=" << seed << " repeats it)\n";
    compare(randomCases(seed, 300));
}

}  // namespace
