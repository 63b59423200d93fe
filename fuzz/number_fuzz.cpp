// Any text as a stored number. Reading never gives NaN or infinity and reads
// the same number the C library reads; whatever is read writes out in the
// record's form and reads back as the same text. The input also makes a
// number from parts, and from eight bytes on a double bit for bit, NaN,
// infinities and subnormals included.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "quiz/number.h"
#include "shown.h"

using pelmora::formatNumber;
using pelmora::parseNumber;
using std::string;

namespace {

constexpr double kLargest = std::numeric_limits<double>::max();

void require(bool ok, const char* what, const string& text, double value = 0) {
    if (ok) return;
    std::fprintf(stderr, "number_fuzz: %s\n  text \"%s\"\n  value %.17g\n", what, shown(text, 200).c_str(), value);
    std::abort();
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// strtod in the C locale reads the same leading number wherever it starts
// with a digit or a point; it also reads hexadecimal, "inf" and "nan", which
// are no numbers here. Overflow held at the largest double, as parseNumber holds it.
double reference(const string& text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == string::npos) return 0;
    const size_t at = start + (text[start] == '+' || text[start] == '-');
    if (at >= text.size() || !(isDigit(text[at]) || text[at] == '.')) return 0;
    if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0) return 0;
    const double value = std::strtod(text.c_str() + start, nullptr);
    return std::isinf(value) ? std::copysign(kLargest, value) : value;
}

// The record's form of a number: plain digits for whole numbers, exponents
// only for the very small and the very large, and the same text when read back.
void checkWritten(double value, const string& origin) {
    const string text = formatNumber(value);
    const double back = parseNumber(text);
    require(std::isfinite(back), "a written number reads back as NaN or infinity", text, value);
    require(formatNumber(back) == text, "a written number does not read back as the same text", text, value);
    require(parseNumber(formatNumber(back)) == back, "reading and writing again changes the number", text, value);
    require(text.find_first_not_of("0123456789.E+-") == string::npos, "a stray character in a written number",
            text, value);

    const bool exponent = text.find('E') != string::npos;
    const double size = std::fabs(back);
    require(exponent == (back != 0 && (size < 1e-4 || size >= 1e15)), "exponent form in the wrong range", text,
            value);
    if (back == std::trunc(back) && size < 1e15)
        require(text.find_first_of(".E") == string::npos, "a whole number written as a fraction", text, value);
    const string mantissa = text.substr(0, text.find('E'));
    if (mantissa.find('.') != string::npos)
        require(mantissa.back() != '0' && mantissa.back() != '.', "trailing zeros in a fraction", text, value);

    if (std::isfinite(value) && value != 0) {
        // Rounded to 15 significant digits, and for subnormals to the nearest
        // one there is.
        const double allowed = std::fabs(value) * 1e-14 + std::numeric_limits<double>::denorm_min();
        require(std::fabs(back - value) <= allowed, "the written number is not the number", origin, value);
    }
}

// The input read again as the parts of a number, so that long mantissas and
// far exponents, where reading saturates or rounds to zero, come up often
// rather than once in millions of mutations.
string composed(const uint8_t* data, size_t size) {
    if (size < 4) return {};
    string text = data[0] & 1 ? "-" : "";
    size_t next = 4;
    auto digit = [&] { return static_cast<char>('0' + (next < size ? data[next++] % 10 : 9)); };
    for (int i = 0; i < data[1] * 2; ++i) text += digit();
    text += '.';
    text.append(data[2] * 2, '0');
    for (int i = 0; i < 20; ++i) text += digit();
    return text + (data[0] & 2 ? "e" : "E") + std::to_string(static_cast<int8_t>(data[3]) * 3);
}

void checkRead(const string& text) {
    const double value = parseNumber(text);
    require(std::isfinite(value), "read as NaN or infinity", text, value);
    const double expected = reference(text);
    require(value == expected, "read as a different number than strtod reads", text, expected);
    checkWritten(value, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const string text(reinterpret_cast<const char*>(data), size);
    checkRead(text);
    if (size >= 4) checkRead(composed(data, size));

    if (size >= sizeof(double)) {
        double bits;
        std::memcpy(&bits, data, sizeof bits);
        checkWritten(bits, text);
    }
    return 0;
}
