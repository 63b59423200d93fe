#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "platform/cp932.h"
#include "platform/ini_text.h"
#include "platform/profile_file.h"
#include "platform/utf8.h"
#include "support/files.h"

namespace fs = std::filesystem;
using namespace pelmora;
using std::string;

namespace {

// The names the program uses, spelled in CP932 bytes so that the fixtures do
// not depend on the converter under test.
const string kInfo = "\x8F\xEE\x95\xF1";                   // 情報
const string kUser = "\x83\x86\x81\x5B\x83\x55\x81\x5B";   // ユーザー (0x5B trail bytes)
const string kAverage = "\x95\xBD\x8B\xCF\x93\x5F";        // 平均点
const string kLaunches = "\x8B\x4E\x93\xAE\x89\xF1\x90\x94";  // 起動回数
const string kScore = "\x93\xBE\x93\x5F";                  // 得点
const string kOther = "\x82\xD9\x82\xA9";                  // ほか

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/profile_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/record.ini";
    }
    void TearDown() override {
        chmod(dir.c_str(), 0700);
        fs::remove_all(dir);
    }
    void put(const string& bytes) { pelmora::testing::writeBytes(path, bytes); }
    string bytes() const { return pelmora::testing::readBytes(path); }
    string get(const char* section, const char* key) const { return profile::read(section, key, path); }
    bool set(const char* section, const char* key, const string& value) {
        return profile::write(section, key, value, path);
    }
    size_t filesInDir() const { return std::distance(fs::directory_iterator(dir), {}); }

    string dir, path;
};

// --- conversion ---------------------------------------------------------

TEST(Cp932, ConvertsBothWaysAndReplacesWhatItCannot) {
    EXPECT_EQ(cp932::fromUtf8("情報ユーザー平均点起動回数得点"), kInfo + kUser + kAverage + kLaunches + kScore);
    EXPECT_EQ(cp932::toUtf8(kUser + "=" + kScore), "ユーザー=得点");
    EXPECT_EQ(cp932::fromUtf8("a😀한\xFF" "b"), "a????b");       // one "?" per UTF-16 unit
    EXPECT_EQ(cp932::fromUtf8("José"), "Jose");                  // Windows' look-alike
    EXPECT_EQ(cp932::toUtf8("\x85\x40" "a"), "・a");             // an undefined pair reads as 81 45
    EXPECT_EQ(cp932::toUtf8("\x81 \x80"), "・\u0080");           // a lead byte takes any second byte
    EXPECT_EQ(cp932::toUtf8(string("ab\x81\0", 4)), string("ab・\0", 6));  // but NUL; and at the end
}

TEST(Cp932, EndsOnAnyBytes) {
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        string s(rng() % 40, '\0');
        for (char& c : s) c = static_cast<char>(rng());
        cp932::fromUtf8(s);
        cp932::fromUtf8(cp932::toUtf8(s));
    }
}

// --- reading ------------------------------------------------------------

const string kRichFile =
    "; " + kInfo + "\r\n"
    "orphan=1\r\n"
    "[" + kOther + "]\r\n" + kScore + "=other\r\n"
    "[ \t" + kInfo + " ]\r\n" +
    kUser + "=  \t" + kUser + "  \r\n" +
    kAverage + "=\"85\"\r\n" +
    "  " + kLaunches + " = ' 3 '\r\n"
    "no equals sign\r\n"
    ";" + kScore + "=commented\r\n" +
    kScore + "=7\r\n" + kScore + "=8\r\n"
    "Name=Mixed\r\nblank=   \r\nodd=\"x'\r\nempty=\"\"\r\n"
    "[" + kInfo + "]\r\nlater=second section is ignored\r\n"
    "[\x83\x5D]\r\nk=section name ends in a 0x5D trail byte\r\n"
    "[\x83\x41]\r\nk=A\r\n";

TEST_F(Profile, ReadsTrimmedUnquotedFirstMatches) {
    for (string text : {kRichFile, string()}) {
        if (text.empty()) {  // the same as LF-only lines, without a final newline
            text = kRichFile;
            for (size_t at; (at = text.find("\r\n")) != string::npos;) text.erase(at, 1);
            text.pop_back();
        }
        put(text);
        const struct { const char* section; const char* key; const char* value; } reads[] = {
            {"情報", "ユーザー", "ユーザー"}, {"情報", "平均点", "85"}, {"情報", "起動回数", " 3 "}, {"情報", "得点", "7"},
            {"ほか", "得点", "other"}, {"情報", "NAME", "Mixed"}, {" 情報 ", " name ", "Mixed"}, {"情報", "blank", ""},
            {"情報", "odd", "\"x'"}, {"情報", "empty", ""}, {"ゾ", "k", "section name ends in a 0x5D trail byte"},
            {"ア", "k", "A"}, {"ヂ", "k", ""},  // 0x83 0x61: trail bytes are not case-folded
            {"情報", ";得点", "commented"},   // no comments
            {"", "orphan", "1"},              // before the first section
        };
        for (const auto& r : reads) EXPECT_EQ(get(r.section, r.key), r.value) << r.section << "/" << r.key;
        for (const char* key : {"orphan", "later", "no equals sign", "missing"})
            EXPECT_EQ(get("情報", key), "") << key;
        EXPECT_EQ(get("missing", "k"), "");
    }
    EXPECT_EQ(profile::read("情報", "得点", dir + "/none.ini"), "");
    EXPECT_EQ(profile::read("情報", "得点", dir), "");
}

TEST_F(Profile, ReadCutsTo1023BytesOnACharacterBoundary) {
    string points;
    for (int i = 0; i < 550; ++i) points += "\x93\x5F";  // 点
    put("[" + kInfo + "]\r\na=" + string(1100, 'x') + "\r\nb=" + points + "\r\nc=x" + points + "\r\n");
    EXPECT_EQ(get("情報", "a"), string(1023, 'x'));
    string b = get("情報", "b"), c = get("情報", "c");
    EXPECT_EQ(cp932::fromUtf8(b), points.substr(0, 1022));  // lead byte at 1023rd place dropped
    EXPECT_EQ(cp932::fromUtf8(c), "x" + points.substr(0, 1022));
}

// --- writing ------------------------------------------------------------

// Each write changes the key's own line, adds it after the section's last
// line, or adds the section at the end; nothing else moves.
TEST_F(Profile, WritesTouchOnlyTheKeysLine) {
    struct Write { const char* section; const char* key; const char* value; };
    struct Case { string before; std::vector<Write> writes; string after; };
    const string head = "[" + kOther + "]\r\n" + kAverage + "=1\r\n[" + kInfo + "]\r\n" + kUser + "=a\r\n";
    const string tail = kLaunches + "=4\r\nUser=x\r\n[x]\r\nUser=x\r\n";
    const string next = "\r\n[" + kOther + "]\r\nx=1\r\n";  // a blank line, then the next section
    const string added = "[" + kInfo + "]\r\n" + kScore + "=5\r\n";
    const Write score{"情報", "得点", "5"};
    const Case cases[] = {
        {head + kAverage + " = \"50\"\r\n" + tail, {{"情報", "平均点", "90"}}, head + kAverage + "=90\r\n" + tail},
        // The same key in another case, written as the file spells it.
        {head + kAverage + "=90\r\n" + tail, {{"情報", "USER", "b"}, {"情報", "user", "c"}},
         head + kAverage + "=90\r\n" + kLaunches + "=4\r\nUser=c\r\n[x]\r\nUser=x\r\n"},
        {"[" + kInfo + "]\r\n" + kUser + "=a\r\n; note\r\n" + next, {score},
         "[" + kInfo + "]\r\n" + kUser + "=a\r\n; note\r\n" + kScore + "=5\r\n" + next},
        {"[" + kInfo + "]", {score}, added},  // no final newline
        {"[" + kOther + "]\r\nx=1\r\n", {score}, "[" + kOther + "]\r\nx=1\r\n" + added},
        {"[" + kOther + "]\nx=1", {score}, "[" + kOther + "]\nx=1\r\n" + added},
        {"", {score}, added},
    };
    for (const Case& c : cases) {
        put(c.before);
        for (const Write& w : c.writes) ASSERT_TRUE(set(w.section, w.key, w.value)) << c.before;
        EXPECT_EQ(bytes(), c.after) << c.before;
    }
    fs::remove(path);
    EXPECT_EQ(get("情報", "ユーザー"), "");
    ASSERT_TRUE(set("情報", "ユーザー", "山田"));
    EXPECT_EQ(bytes(), "[" + kInfo + "]\r\n" + kUser + "=\x8E\x52\x93\x63\r\n");
    EXPECT_EQ(get("情報", "ユーザー"), "山田");
}

TEST_F(Profile, KeepsEveryOtherByteOfAnOddFile) {
    const string head = string("\0\xFF\x81\r\n", 5) + "bare\nlone\rcr=1\r\n[unclosed\r\n[" + kInfo + "]\n; c\r\r\n";
    const string tail = "\n\x83\r\nbroken=\x81\r\n[" + kOther + "]\r\n" + kScore + "=1";
    put(head + kScore + "=old\n" + tail);
    ASSERT_TRUE(set("情報", "得点", "new"));
    EXPECT_EQ(bytes(), head + kScore + "=new\n" + tail);  // its LF-only end kept too
    ASSERT_TRUE(set("ほか", "得点", "2"));
    EXPECT_EQ(bytes(), head + kScore + "=new\n" + tail.substr(0, tail.size() - 1) + "2");
}

TEST_F(Profile, NoTextCanStartALine) {
    put("[" + kInfo + "]\r\n");
    ASSERT_TRUE(set("情報", "得点", "1\r\n[x]\rk=2\n"));
    ASSERT_TRUE(set("情報", "a=b\r\nc", "v"));
    ASSERT_TRUE(set("y]z\n", "k", string("v\0w", 3)));
    EXPECT_EQ(bytes(), "[" + kInfo + "]\r\n" + kScore + "=1[x]k=2\r\nabc=v\r\n[yz]\r\nk=v\r\n");
    EXPECT_EQ(get("情報", "得点"), "1[x]k=2");
    EXPECT_EQ(get("情報", "a=b\r\nc"), "v");
    EXPECT_EQ(get("y]z\n", "k"), "v");
    for (const char* key : {"[x]", " ;x", " ", ""}) EXPECT_FALSE(set("情報", key, "v")) << key;
    EXPECT_FALSE(set(" ", "k", "v"));
    EXPECT_EQ(bytes(), "[" + kInfo + "]\r\n" + kScore + "=1[x]k=2\r\nabc=v\r\n[yz]\r\nk=v\r\n");
}

TEST(IniText, WritesOnlyNamesThatAreFoundAgain) {
    for (const char* name : {"a]b", " \u30be ", "[x"}) {  // ゾ: 83 5D, whose second byte is ']'
        const std::u16string section = utf8::toUtf16(name);
        ASSERT_TRUE(ini::canWrite(section, u"k")) << name;
        const string text = ini::put("", section, u"k", u"1");
        EXPECT_EQ(ini::value(text, section, u"k"), u"1") << name;
        EXPECT_EQ(ini::put(text, section, u"k", u"1"), text) << name;
    }
    // A key's line that a NUL or the end of the file cuts inside a character.
    const std::pair<string, std::u16string> cut[] = {
        {"[s]\r\nk" + string("\0\x81", 2), u"k"},      // a CP932 lead byte alone, after a NUL
        {"[s]\r\nk\x81", u"k\u30fb"},                  // and at the end
        {"\xEF\xBB\xBF[s]\r\nk\xE6" "A", u"k\ufffd"},  // UTF-8 cut short, the A taken with it
    };
    for (const auto& [file, key] : cut) EXPECT_EQ(ini::value(ini::put(file, u"s", key, u"1"), u"s", key), u"1");
    for (const std::u16string& key : std::vector<std::u16string>{u"a=b", u"[k", u" ;k", u" ", u"a\nb", {u"a\0b", 3}})
        EXPECT_FALSE(ini::canWrite(u"s", key));
    EXPECT_FALSE(ini::canWrite(u"\t", u"k"));
    EXPECT_FALSE(ini::canWrite(u"s\rt", u"k"));
}

// UTF-8 and UTF-16 of either order, after their signature, stay so; only the
// key's line changes, and a new line comes in the same encoding.
TEST_F(Profile, KeepsTheEncodingOfASignedFile) {
    const auto utf16 = [](const string& utf8, bool little) {
        string out;
        for (char16_t u : utf8::toUtf16(utf8)) {
            out += static_cast<char>(little ? u & 0xFF : u >> 8);
            out += static_cast<char>(little ? u >> 8 : u & 0xFF);
        }
        return out;
    };
    using Encode = std::function<string(const string&)>;
    const std::pair<string, Encode> encodings[] = {
        {"\xEF\xBB\xBF", [](const string& s) { return s; }},
        {"\xFF\xFE", [&](const string& s) { return utf16(s, true); }},
        {"\xFE\xFF", [&](const string& s) { return utf16(s, false); }},
    };
    for (const auto& [signature, encode] : encodings) {
        put(signature + encode("x = 1\n[情報]\r\nユーザー=山田\r\n得点 = 5\r\r\n[ほか]\rk=1"));
        EXPECT_EQ(get("情報", "ユーザー"), "山田");
        ASSERT_TRUE(set("情報", "得点", "-10"));
        ASSERT_TRUE(set("情報", "起動回数", "7"));
        ASSERT_TRUE(set("新", "k", "José"));
        EXPECT_EQ(bytes(), signature + encode("x = 1\n[情報]\r\nユーザー=山田\r\n得点=-10\r起動回数=7\r\n\r\n"
                                              "[ほか]\rk=1\r\n[新]\r\nk=Jose\r\n"));
        EXPECT_EQ(get("情報", "得点"), "-10");
    }
}

TEST_F(Profile, StoresValuesAsGiven) {
    ASSERT_TRUE(set("情報", "a", "  padded\t "));
    ASSERT_TRUE(set("情報", "b", "   "));
    ASSERT_TRUE(set("情報", "c", "'quoted'"));
    ASSERT_TRUE(set("情報", "ユーザー", "😀한"));
    EXPECT_EQ(bytes(), "[" + kInfo + "]\r\na=  padded\t \r\nb=   \r\nc='quoted'\r\n" + kUser + "=???\r\n");
    EXPECT_EQ(get("情報", "a"), "padded");
    EXPECT_EQ(get("情報", "b"), "");
    EXPECT_EQ(get("情報", "c"), "quoted");
    EXPECT_EQ(get("情報", "ユーザー"), "???");
}

// --- replacing the file ---------------------------------------------------

TEST_F(Profile, KeepsPermissionsAndLeavesNoTemporaryFile) {
    put("[" + kInfo + "]\r\n");
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(set("情報", "得点", "1"));
    struct stat st{};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(filesInDir(), 1u);
    EXPECT_FALSE(profile::write("情報", "得点", "1", dir + "/missing/record.ini"));
    EXPECT_FALSE(fs::exists(dir + "/missing"));
}

TEST_F(Profile, ReadOnlyFolderLeavesTheFileAlone) {
    const string old = "[" + kInfo + "]\r\n" + kScore + "=1\r\n";
    put(old);
    chmod(path.c_str(), 0644);
    chmod(dir.c_str(), 0555);
    // Root writes through read-only folders, so root tries it as nobody.
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        _exit(set("情報", "得点", "2") ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "write claimed success";
    EXPECT_EQ(bytes(), old);
    EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(Profile, FullDiskLeavesTheFileAlone) {
    const string old = "[" + kInfo + "]\r\n" + kScore + "=1\r\n";
    put(old);
    // A file size limit fails the write part way, as a full disk would.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = set("情報", "得点", string(100000, '9'));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(bytes(), old);
    EXPECT_EQ(filesInDir(), 1u);
}

// --- any content ----------------------------------------------------------

TEST_F(Profile, LargeGarbageFileIsReadAndWritten) {
    std::mt19937 rng(11);
    const char alphabet[] = "ab=[]; \t\r\n\x81\x83\x5D\xFF";
    string garbage(10 << 20, '\0');
    for (char& c : garbage) c = rng() % 8 ? alphabet[rng() % (sizeof alphabet - 1)] : static_cast<char>(rng());
    garbage += "\n[" + string(100000, 'x') + "\n[" + kInfo + "]\r\n" + kScore + "=1";
    put(garbage);
    using clock = std::chrono::steady_clock;
    auto t0 = clock::now();
    EXPECT_EQ(get("情報", "得点"), "1");
    auto t1 = clock::now();
    ASSERT_TRUE(set("情報", "得点", "2"));
    auto t2 = clock::now();
    EXPECT_EQ(bytes(), garbage.substr(0, garbage.size() - 1) + "2");
    auto ms = [](auto d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    std::cout << "10 MB: read " << ms(t1 - t0) << " ms, write " << ms(t2 - t1) << " ms\n";
}

}  // namespace
