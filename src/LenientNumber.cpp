#include "LenientNumber.h"

#include <locale.h>

#include <climits>
#include <cstdlib>

namespace talvo {

int LenientInt(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

double LenientReal(const char* text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text, nullptr, cLocale);
}

}  // namespace talvo
