// exp, ln and log10 with the same last bits on every build.
#include <gtest/gtest.h>

#include <ios>

#include "SameBitsMath.h"

namespace talvo {
namespace {

// The trained votes and transition scores are written to the last bit and
// the codon decoder's log odds are rounded to a grid, so they must not
// follow the C library of the build: at these arguments the 32-bit x86
// library (and for exp the 64-bit one without fused multiply-add) rounds the
// other way from the bits the shipped models were trained with.
TEST(SameBitsMath, ExpAndLogGiveTheSameBitsOnEveryBuild) {
    struct Case {
        double (*function)(double);
        double x;
        double expected;
    };
    const Case cases[] = {
        {SameBitsExp, 0x1.71b50e418ac28p+2, 0x1.42af4a1f0f6edp+8},
        {SameBitsExp, 0x1.7416e2c8af74p-1, 0x1.08bebd046541bp+1},
        {SameBitsExp, -0x1.4a65332e39ed8p-5, 0x1.ebc2dbd9db501p-1},
        {SameBitsExp, -0x1.23de589ce4667p-2, 0x1.810543e557665p-1},
        {SameBitsLog, 0x1.f981db77f014ep+4, 0x1.b9fb0a89d79d7p+1},
        {SameBitsLog, 0x1.6ec4c7b3397dcp+2, 0x1.beefe91bbeccdp+0},
        {SameBitsLog, 0x1.07329b85ec25p+0, 0x1.c64b80105cb14p-6},  // within 1/16 of 1
        {SameBitsLog, 0x1.f085ac20a61a9p-1, -0x1.f6ee83ba2f287p-6},
        {SameBitsLog10, 0x1.3c0350dbfd6bp-5, -0x1.69e7439ba6362p+0},
        {SameBitsLog10, 0x1.b180c1d36ec5p+0, 0x1.d47bfb108d297p-3},
        {SameBitsLog10, 0x1.b33f284e189d7p+0, 0x1.d80e0a69265edp-3},
    };
    for (const Case& c : cases) EXPECT_EQ(c.function(c.x), c.expected) << std::hexfloat << c.x;
}

}  // namespace
}  // namespace talvo
