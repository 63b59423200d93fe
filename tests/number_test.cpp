#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "quiz/number.h"

namespace pelmora {
namespace {

TEST(Number, ParsesTheLeadingNumber) {
    struct Case { const char* text; double value; };
    const Case cases[] = {
        {"", 0},          {"abc", 0},        {"7", 7},         {"  41", 41},      {"\t-15", -15},
        {"+5", 5},        {"2.5", 2.5},      {"-.5", -0.5},    {"1.", 1},         {".", 0},
        {"-", 0},         {"12abc", 12},     {"1.2.3", 1.2},   {"1E3", 1000},     {"1e-2", 0.01},
        {"2E", 2},        {"2E+", 2},        {"3E+2x", 300},   {"1,5", 1},        {"0x10", 0},
        {"平均点", 0},    {"22.5", 22.5},    {"-0", 0},        {" - 5", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(parseNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(Number, OverflowSaturatesAndUnderflowIsZero) {
    const double largest = std::numeric_limits<double>::max();
    EXPECT_EQ(parseNumber("1E400"), largest);
    EXPECT_EQ(parseNumber("-1E400"), -largest);
    EXPECT_EQ(parseNumber("1E-400"), 0.0);
    EXPECT_EQ(parseNumber(std::string(400, '9')), largest);
    // Out of range the other way than the exponent's sign suggests.
    EXPECT_EQ(parseNumber("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(parseNumber("-1" + std::string(400, '0') + "E-5"), -largest);
    EXPECT_EQ(parseNumber("1E-99999999999999999999"), 0.0);
    EXPECT_EQ(parseNumber("0.01E99999999999999999999"), largest);
}

TEST(Number, FormatsLikeTheRecordExpects) {
    struct Case { double value; const char* text; };
    const Case cases[] = {
        {0, "0"},       {-0.0, "0"},         {5, "5"},
        {-5, "-5"},     {120, "120"},        {22.5, "22.5"},
        {13.75, "13.75"}, {1.0 / 3, "0.333333333333333"}, {2.0 / 3, "0.666666666666667"},
        {1e15, "1E+15"}, {999999999999999, "999999999999999"}, {1e-5, "1E-05"},
        {0.0001, "0.0001"}, {1.5e-5, "1.5E-05"}, {-250, "-250"},
        {123456789.125, "123456789.125"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatNumber(c.value), c.text) << c.value;
}

TEST(Number, NonFiniteAndExtremeValuesStayReadable) {
    const double largest = std::numeric_limits<double>::max();
    for (double v : {largest, -largest, std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::denorm_min(), parseNumber("1E400") + parseNumber("1E400")}) {
        const std::string text = formatNumber(v);
        EXPECT_TRUE(std::isfinite(parseNumber(text))) << text;
        EXPECT_EQ(formatNumber(parseNumber(text)), text);
    }
    EXPECT_EQ(formatNumber(largest), "1.79769313486231E+308");
}

TEST(Number, EveryWrittenTextReadsBackAsTheSameNumber) {
    std::mt19937_64 random(42);
    std::uniform_int_distribution<int> exponent(-320, 308);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    auto check = [](double v) {
        const std::string text = formatNumber(v);
        const double back = parseNumber(text);
        ASSERT_EQ(formatNumber(back), text) << v;
        ASSERT_EQ(parseNumber(formatNumber(back)), back) << v;
    };
    for (int i = 0; i < 200000; ++i) check(mantissa(random) * std::pow(10.0, exponent(random)));
    // The running average halves towards zero run after run.
    double average = 37.5;
    for (int run = 0; run < 1200; ++run) {
        average = parseNumber(formatNumber(average / 2));
        check(average);
    }
    EXPECT_EQ(average, 0.0);
}

}  // namespace
}  // namespace pelmora
