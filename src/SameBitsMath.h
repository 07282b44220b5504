// exp, ln and log10 with the same last bits on every build. The C library's
// own functions differ in the last bit between builds (the 32-bit x86
// library from the 64-bit one, and the 64-bit one with the processor's fused
// multiply-add from the one without it). The trained votes and transition
// scores are written to full precision, and the codon decoder rounds its log
// odds to a grid where one last bit can cross a step, so both take them from
// here. These reproduce, bit for bit, what the 64-bit GNU C library returns
// on processors with fused multiply-add (where the shipped models were
// trained): the same tables and polynomials, every fused multiply-add as an
// explicit std::fma, so that neither the compiler nor the library of the
// build can change a rounding.
#pragma once

namespace talvo {

// For 2^-54 <= |x| < 512; elsewhere (results near 1, overflow or underflow,
// NaN) it is the library's exp.
double SameBitsExp(double x);
// For finite positive x; elsewhere (0, negative, infinity, NaN) the library's log.
double SameBitsLog(double x);
// For positive normal x, from ln of the mantissa; elsewhere the library's log10.
double SameBitsLog10(double x);

}  // namespace talvo
