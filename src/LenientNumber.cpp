#include "LenientNumber.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace talvo {

int LenientInt(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

double LenientReal(const char* text) {
    // A plain decimal number, as the model files hold them, reads the same
    // through from_chars, faster: both round correctly. Anything else (white
    // space, a '+', hexadecimal, inf, nan, a value beyond the range of
    // double) goes to strtod.
    const char* digits = text[0] == '-' ? text + 1 : text;
    if (*digits >= '0' && *digits <= '9') {
        double value = 0.0;
        const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
        if (error == std::errc() && *end != 'x' && *end != 'X') return value;
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text, nullptr, cLocale);
}

}  // namespace talvo
