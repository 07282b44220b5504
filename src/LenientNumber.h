// Number reading of the model files and of the display width: leading white
// space and a sign are allowed, reading stops at the first character that
// does not belong to the number, and text without a number gives 0.
#pragma once

namespace talvo {

// Decimal integer as strtol reads it, saturated to the range of int so that
// every build gives the same value.
int LenientInt(const char* text);
// Real number as strtod reads it in the C locale ('.' decimal point,
// exponents, inf and nan), whatever the process's locale.
double LenientReal(const char* text);

}  // namespace talvo
