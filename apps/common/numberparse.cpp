#include "numberparse.h"

#include <cxxopts.hpp>

#include <cctype>
#include <cmath>
#include <exception>

bool parseNumberPair(const std::string& text, char cSeparator, double& a, double& b) {
    const std::size_t nPos = text.find(cSeparator);
    if (nPos == std::string::npos) {
        return false;
    }
    try {
        std::size_t nUsedA = 0, nUsedB = 0;
        const std::string strA = text.substr(0, nPos), strB = text.substr(nPos + 1);
        a = std::stod(strA, &nUsedA);
        b = std::stod(strB, &nUsedB);
        return nUsedA == strA.size() && nUsedB == strB.size() && std::isfinite(a) &&
               std::isfinite(b);
    } catch (const std::exception&) {
        return false;
    }
}

bool parseWholeNumber(const std::string& text, long long& n) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-')) {
        return false;
    }
    try {
        std::size_t nUsed = 0;
        n = std::stoll(text, &nUsed);
        return nUsed == text.size();
    } catch (const std::exception&) {
        return false;
    }
}

bool readWholeNumberOption(const cxxopts::ParseResult& r, const char* pszName, long long& n,
                           bool& bGiven, std::string& error) {
    bGiven = r.count(pszName) > 0;
    if (!bGiven && !r[pszName].has_default()) {
        return true;
    }
    if (!parseWholeNumber(r[pszName].as<std::string>(), n)) {
        error = std::string("--") + pszName + " must be a whole number";
        return false;
    }
    return true;
}
