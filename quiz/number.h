#pragma once
// Numbers kept as text: the score, the running average and the launch count.
#include <string>

namespace pelmora {

// The leading number of a text: blanks skipped, an optional sign, digits with
// at most one ".", an optional exponent ("E", sign, digits). Whatever follows
// is ignored; a text without a leading number gives 0. A magnitude beyond
// the largest double gives the largest double of that sign.
double parseNumber(const std::string& text);

// Whole numbers as plain digits ("0", "-5", "120"); fractions rounded to 15
// significant digits without trailing zeros; exponent form ("1E+15",
// "1.5E-05") below 1E-04 and from 1E+15 on. parseNumber reads every text this
// writes back as a number that formats to the same text.
std::string formatNumber(double value);

}  // namespace pelmora
