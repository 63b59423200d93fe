#include "platform/ini_text.h"

#include "platform/cp932.h"
#include "platform/utf8.h"

namespace pelmora::ini {
namespace {

constexpr auto npos = std::u16string_view::npos;

enum class Encoding { Cp932, Utf8, Utf16Le, Utf16Be };

bool isBlank(char16_t c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == 0x1A || c == '\r' || c == '\n';
}
char16_t lower(char16_t c) { return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c - 'A' + 'a') : c; }

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::u16string_view upToNul(std::u16string_view s) { return s.substr(0, s.find(u'\0')); }

// `wanted` is trimmed and holds no NUL.
bool sameName(std::u16string_view inFile, std::u16string_view wanted) {
    inFile = upToNul(inFile);
    if (inFile.size() != wanted.size()) return false;
    for (size_t i = 0; i < inFile.size(); ++i)
        if (lower(inFile[i]) != lower(wanted[i])) return false;
    return true;
}

std::string encoded(Encoding encoding, std::u16string_view text) {
    switch (encoding) {
        case Encoding::Cp932:
            return cp932::encode(text);
        case Encoding::Utf8:
            return utf8::fromUtf16(text);
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            std::string out;
            out.reserve(text.size() * 2);
            for (char16_t u : text) {
                const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
                out += encoding == Encoding::Utf16Le ? low : high;
                out += encoding == Encoding::Utf16Le ? high : low;
            }
            return out;
        }
    }
    return {};
}

enum class Kind { Blank, Section, Key, Unread };

// Reads a file line by line, keeping the bytes each part came from.
class Lines {
public:
    explicit Lines(std::string_view file) : file_(file) {
        const auto starts = [&](std::string_view signature) { return file.substr(0, signature.size()) == signature; };
        if (starts("\xEF\xBB\xBF")) {
            encoding_ = Encoding::Utf8;
            pos_ = 3;
        } else if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
            encoding_ = file[0] == '\xFF' ? Encoding::Utf16Le : Encoding::Utf16Be;
            pos_ = 2;
            limit_ = file.size() - (file.size() % 2);  // a half unit at the end reads as nothing
        }
    }

    Encoding encoding() const { return encoding_; }
    // Where the text ends: the end of its last whole character.
    size_t textEnd() const { return limit_; }
    // A UTF-8 sequence that the end of the file cut short reads as one
    // U+FFFD; with a line after it, it would read as something else.
    size_t cutShortAt() const { return cutShort_; }

    // With `keys` false, only a section header is looked at: any other line
    // that is not blank comes back Unread, which saves copying it.
    bool next(bool keys) {
        if (pos_ >= limit_) return false;
        start = pos_;
        units_.clear();
        ended = false;
        bool copy = true, decided = keys;
        while (pos_ < limit_) {
            size_t at = pos_;
            const char32_t c = decode(at);
            if (c == '\r' || c == '\n') {
                end = pos_;
                pos_ = at;
                if (c == '\r' && pos_ < limit_) {
                    at = pos_;
                    if (decode(at) == '\n') pos_ = at;
                }
                ended = true;
                break;
            }
            if (!decided && !isBlank(static_cast<char16_t>(c))) copy = c == '[', decided = true;
            if (copy) utf8::append(units_, c);
            pos_ = at;
        }
        if (!ended) end = pos_;
        classify();
        if (!copy) kind = Kind::Unread;
        return true;
    }

    // The current line: its text is [start, end), then its line end up to
    // `pos`; `ended` says whether it has one.
    size_t start = 0, end = 0;
    bool ended = true;  // so is a file with no lines
    size_t lineNext() const { return pos_; }
    Kind kind = Kind::Blank;
    bool hasValue = false;
    std::u16string_view name() const {
        return std::u16string_view(units_).substr(name_.first, name_.second - name_.first);
    }
    std::u16string_view value() const {
        return std::u16string_view(units_).substr(value_.first, value_.second - value_.first);
    }
    // The name as the file spells it, for "name=value": its bytes up to a
    // NUL, found by reading the line again. A last character that reads as it
    // does only because a NUL or the end of the file follows (a CP932 lead
    // byte alone, UTF-8 cut short) is written as what it reads as: the '='
    // would otherwise read as part of it.
    std::string nameBytes() {
        size_t at = start, from = start, unit = 0, last = start;
        char32_t lastChar = 0;
        while (unit < name_.second) {
            if (unit == name_.first) from = at;
            const size_t here = at;
            const char32_t c = decode(at);
            if (c == 0) {
                at = here;
                break;
            }
            last = here, lastChar = c;
            unit += c >= 0x10000 ? 2 : 1;
        }
        std::string out(file_.substr(from, at - from));
        const bool loneLead = encoding_ == Encoding::Cp932 && at - last == 1 && cp932::isLead(file_[last]);
        const bool cutShort = encoding_ == Encoding::Utf8 && at == file_.size() && isCutShort(last);
        if (at > from && (loneLead || cutShort))
            out.replace(last - from, std::string::npos, encoded(encoding_, std::u16string(1, char16_t(lastChar))));
        return out;
    }

private:
    char32_t decode(size_t& at) {
        switch (encoding_) {
            case Encoding::Cp932:
                return cp932::nextOf(file_, at);
            case Encoding::Utf8: {
                const size_t from = at;
                const char32_t c = utf8::next(file_, at);
                if (at == file_.size() && isCutShort(from)) cutShort_ = from;
                return c;
            }
            case Encoding::Utf16Le:
            case Encoding::Utf16Be: {
                const auto b0 = static_cast<unsigned char>(file_[at]), b1 = static_cast<unsigned char>(file_[at + 1]);
                at += 2;
                return encoding_ == Encoding::Utf16Le ? (b1 << 8 | b0) : (b0 << 8 | b1);
            }
        }
        return 0;
    }

    bool isCutShort(size_t from) const {
        const auto lead = static_cast<unsigned char>(file_[from]);
        const size_t more = lead >= 0xC2 && lead < 0xE0   ? 1
                            : lead >= 0xE0 && lead < 0xF0 ? 2
                            : lead >= 0xF0 && lead < 0xF5 ? 3
                                                          : 0;
        return more > 0 && from + 1 + more > file_.size();
    }

    using Range = std::pair<size_t, size_t>;  // units [first, second) of the line

    Range trimmed(size_t from, size_t to) const {
        while (from < to && isBlank(units_[from])) ++from;
        while (to > from && isBlank(units_[to - 1])) --to;
        return {from, to};
    }

    void classify() {
        const auto [from, to] = trimmed(0, units_.size());
        const std::u16string_view text = std::u16string_view(units_).substr(0, to);
        hasValue = false;
        name_ = value_ = {from, from};
        if (from == to) {
            kind = Kind::Blank;
        } else if (size_t close = text.rfind(u']'); units_[from] == '[' && close != npos && close > from) {
            kind = Kind::Section;
            name_ = trimmed(from + 1, close);
        } else if (size_t eq = text.find(u'=', from); eq != npos) {
            kind = Kind::Key;
            name_ = trimmed(from, eq);
            value_ = trimmed(eq + 1, to);
            hasValue = true;
        } else {
            kind = Kind::Key;
            name_ = {from, to};
        }
    }

    std::string_view file_;
    Encoding encoding_ = Encoding::Cp932;
    size_t pos_ = 0, limit_ = file_.size();
    size_t cutShort_ = std::string_view::npos;
    std::u16string units_;
    Range name_, value_;
};

}  // namespace

std::u16string value(std::string_view file, std::u16string_view section, std::u16string_view key) {
    section = trim(section);
    key = trim(key);
    Lines lines(file);
    bool inSection = section.empty();
    while (lines.next(inSection)) {
        if (lines.kind == Kind::Section) {
            if (inSection) break;
            inSection = sameName(lines.name(), section);
        } else if (inSection && lines.kind == Kind::Key && sameName(lines.name(), key)) {
            if (!lines.hasValue) return {};
            std::u16string_view v = upToNul(lines.value());
            if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
            return std::u16string(v);
        }
    }
    return {};
}

bool canWrite(std::u16string_view section, std::u16string_view key) {
    const auto clean = [](std::u16string_view name) {
        return !trim(name).empty() && name.find_first_of(std::u16string_view(u"\r\n\0", 3)) == npos;
    };
    key = trim(key);
    return clean(section) && clean(key) && key.find(u'=') == npos && key[0] != '[' && key[0] != ';';
}

std::string put(std::string_view file, std::u16string_view section, std::u16string_view key,
                std::u16string_view value) {
    section = trim(section);
    key = trim(key);
    Lines lines(file);
    const Encoding encoding = lines.encoding();
    const auto text = [&](std::u16string_view s) { return encoded(encoding, s); };
    bool inSection = false, found = false;
    size_t after = 0;  // the end of the section's last line that is not blank
    bool afterEnded = true;
    while (lines.next(inSection)) {
        if (lines.kind == Kind::Section) {
            if (inSection) break;
            inSection = found = sameName(lines.name(), section);
        } else if (inSection && lines.kind == Kind::Key && sameName(lines.name(), key)) {
            return std::string(file.substr(0, lines.start)) + lines.nameBytes() +
                   text(u"=" + std::u16string(value)) + std::string(file.substr(lines.end));
        }
        if (inSection && lines.kind != Kind::Blank) {
            after = lines.lineNext();
            afterEnded = lines.ended;
        }
    }
    std::u16string added = std::u16string(key) + u"=" + std::u16string(value) + u"\r\n";
    if (!found) {
        after = lines.textEnd();
        afterEnded = lines.ended;
        added = u"[" + std::u16string(section) + u"]\r\n" + added;
    }
    std::string out(file.substr(0, after));
    if (!afterEnded) {
        if (after == file.size() && lines.cutShortAt() != std::string_view::npos) {
            out.resize(lines.cutShortAt());
            out += "\xEF\xBF\xBD";
        }
        added = u"\r\n" + added;
    }
    return out + text(added) + std::string(file.substr(after));
}

}  // namespace pelmora::ini
