#include "quiz/number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pelmora {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Like printf's "%.15G", but with "." whatever the locale says.
std::string format15(double value) {
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    for (char& c : text) if (c == 'e') c = 'E';
    return text;
}

// The power of ten of the first significant digit of "digits[.digits][e[sign]digits]",
// held far beyond either end of the doubles. Out of range, it tells too large
// from too small, which the exponent's sign alone does not ("0.000...1",
// "1000...e-5").
long long decimalOrder(const std::string& number) {
    const std::size_t e = std::min(number.find('e'), number.size());
    const std::size_t point = std::min(number.find('.'), e);
    const std::size_t first = number.find_first_of("123456789");
    if (first >= e) return 0;
    long long order = first < point ? static_cast<long long>(point - first) - 1
                                    : -static_cast<long long>(first - point);
    long long exponent = 0;
    for (std::size_t i = e + 1; i < number.size(); ++i)
        if (isDigit(number[i])) exponent = std::min(exponent * 10 + (number[i] - '0'), 1'000'000'000LL);
    return order + (e + 1 < number.size() && number[e + 1] == '-' ? -exponent : exponent);
}

}  // namespace

double parseNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    // Collect the part that forms a number; from_chars then reads it without
    // regard to the locale.
    std::string number;
    bool anyDigit = false;
    while (i < text.size() && isDigit(text[i])) { number += text[i++]; anyDigit = true; }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && isDigit(text[i])) { number += text[i++]; anyDigit = true; }
    }
    if (!anyDigit) return 0.0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) exponent += text[j++];
            number += exponent;
        }
    }

    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too small rounds to 0; too large stays the largest finite value so
        // that arithmetic and formatting never meet an infinity.
        value = decimalOrder(number) > 0 ? std::numeric_limits<double>::max() : 0.0;
    }
    return negative ? -value : value;
}

std::string formatNumber(double value) {
    if (std::isnan(value)) return "0";
    const double largest = std::numeric_limits<double>::max();
    if (std::isinf(value)) value = value > 0 ? largest : -largest;
    if (value == 0.0) return "0";  // also for -0

    std::string text = format15(value);
    // Near the largest double, rounding up to 15 digits would overflow on the
    // way back: write the 15-digit text just inside the range instead.
    if (std::isinf(parseNumber(text)) || std::fabs(parseNumber(text)) == largest) {
        text = value > 0 ? "1.79769313486231E+308" : "-1.79769313486231E+308";
    }
    return text;
}

}  // namespace pelmora
