#include "afxtypes.h"

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const long long n = static_cast<long long>(a) * b;
    const long long d = c;
    const bool bNegative = (n < 0) != (d < 0);
    const long long an = n < 0 ? -n : n;
    const long long ad = d < 0 ? -d : d;
    const long long q = (an + ad / 2) / ad;
    return static_cast<int>(bNegative ? -q : q);
}
