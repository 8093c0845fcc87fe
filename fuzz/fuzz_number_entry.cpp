// The number rule of the Min/Max edits against a reading of it written here from the rule
// alone: both must accept the same texts, with bitwise the same value.

#include "afxdde.h"

#include <locale.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

locale_t g_cLocale = nullptr;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the decimal number in the C library's notation at the start of psz, 0 when there is
// none: [sign], digits with at most one '.' among or after them (at least one digit), then an
// exponent only when it has a digit.
std::size_t decimalLength(const char* psz) {
    std::size_t n = (psz[0] == '+' || psz[0] == '-') ? 1 : 0;
    std::size_t nDigits = 0;
    bool bPoint = false;
    for (;; ++n) {
        if (isDigit(psz[n]))
            ++nDigits;
        else if (psz[n] == '.' && !bPoint)
            bPoint = true;
        else
            break;
    }
    if (nDigits == 0)
        return 0;
    if (psz[n] == 'e' || psz[n] == 'E') {
        std::size_t m = n + 1;
        if (psz[m] == '+' || psz[m] == '-')
            ++m;
        if (isDigit(psz[m])) {
            while (isDigit(psz[m]))
                ++m;
            n = m;
        }
    }
    return n;
}

// Expected outcome for psz: accepted and the value, or not accepted.
bool oracle(const char* psz, double& dValue) {
    const char* p = psz;
    while (isBlank(*p))
        ++p;
    const std::size_t nLength = decimalLength(p);
    if (nLength == 0)
        return false;
    const char* pRest = p + nLength;
    while (isBlank(*pRest))
        ++pRest;
    if (*pRest != '\0')
        return false;
    char* pEnd = nullptr;
    dValue = strtod_l(p, &pEnd, g_cLocale);
    if (pEnd != p + nLength) {
        std::fprintf(stderr,
                     "fuzz_number_entry: oracle and strtod disagree on the length of '%s'\n", psz);
        std::abort();
    }
    return dValue != 0.0 || *p == '0';
}

std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char sz[8];
            std::snprintf(sz, sizeof sz, "\\x%02X", c);
            out += sz;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    // A host may run in a locale with a decimal comma; the rule must not follow it. Where such a
    // locale is installed the process uses it, so a reading through the process locale shows.
    for (const char* pszLocale : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_ALL, pszLocale))
            break;
    double d = 0.0;
    if (AfxParseNumberText(nullptr, d) != FALSE) {
        std::fprintf(stderr, "fuzz_number_entry: a null text is accepted\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    // The edit hands over a C string: the text ends at the first NUL.
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    double dExpected = 0.0;
    const bool bExpected = oracle(text.c_str(), dExpected);
    double dActual = 0.0;
    const bool bActual = AfxParseNumberText(text.c_str(), dActual) != FALSE;
    if (bActual != bExpected) {
        std::fprintf(stderr, "fuzz_number_entry: '%s' is %s but the rule %s it\n",
                     printable(text.c_str()).c_str(), bActual ? "accepted" : "refused",
                     bExpected ? "accepts" : "refuses");
        std::abort();
    }
    if (bActual && std::memcmp(&dActual, &dExpected, sizeof(double)) != 0) {
        std::fprintf(stderr, "fuzz_number_entry: '%s' reads as %.17g, the rule gives %.17g\n",
                     printable(text.c_str()).c_str(), dActual, dExpected);
        std::abort();
    }
    return 0;
}
