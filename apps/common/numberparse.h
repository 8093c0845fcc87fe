#pragma once

// The numbers of the programs' command lines, parsed in full or refused.

#include <string>

namespace cxxopts {
class ParseResult;
} // namespace cxxopts

// "A<separator>B" with two finite numbers that parse in full ("-60,0", "800x600").
bool parseNumberPair(const std::string& text, char cSeparator, double& a, double& b);
// A whole number that parses in full ("-1", "300"). Whole-number options are read as text and
// parsed here: the option parser's own integer reading trips over negative numbers.
bool parseWholeNumber(const std::string& text, long long& n);
// The whole number given for option strName into n, if given; false with a one-line error
// ("--NAME must be a whole number") for anything else.
bool readWholeNumberOption(const cxxopts::ParseResult& result, const char* pszName, long long& n,
                           bool& bGiven, std::string& error);
