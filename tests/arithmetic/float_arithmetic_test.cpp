// The accept/reject decisions of the capture pipeline compare float and double
// results against thresholds. These cases hold only where every intermediate
// is rounded to its own type (IEEE single or double, as SSE does it); the x87
// stack keeps 80 bits and fails them. The operands pass through Opaque so
// that the compiler cannot fold them at build time.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

template <typename T>
__attribute__((noinline)) T Opaque(T value) {
    volatile T held = value;
    return held;
}

// a * b / b and a + b - a in one expression, away from the caller's constants.
__attribute__((noinline)) double ScaleAndBack(double a, double b) { return a * b / b; }
__attribute__((noinline)) double AddAndBack(double a, double b) { return a + b - a; }
__attribute__((noinline)) float SumOf(float step, int count) {
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) sum += step;
    return sum;
}

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

TEST(FloatArithmeticTest, IntermediatesAreEvaluatedInTheirOwnType) {
    EXPECT_EQ(FLT_EVAL_METHOD, 0);
}

TEST(FloatArithmeticTest, SinglePrecisionRatiosAgainstADoubleThreshold) {
    // 7/10 in single precision is 0.699999988..., below the double 0.7: rejected.
    const float seven_tenths = Opaque(7.0f) / Opaque(10.0f);
    EXPECT_TRUE(static_cast<double>(seven_tenths) < 0.7);
    EXPECT_TRUE(seven_tenths == 0.7f);
    // 71/100 is 0.709999978..., above 0.7: accepted.
    const float seventy_one = Opaque(71.0f) / Opaque(100.0f);
    EXPECT_TRUE(static_cast<double>(seventy_one) >= 0.7);
    // The comparison made inline, without a named float in between.
    EXPECT_TRUE(Opaque(7.0f) / Opaque(10.0f) < Opaque(0.7));
}

TEST(FloatArithmeticTest, SingleProductsAreRoundedBeforeTruncation) {
    // 0.7f * 10 is 6.99999988 exactly, 7.0f once rounded to single precision.
    EXPECT_EQ(static_cast<int>(Opaque(0.7f) * Opaque(10.0f)), 7);
    // 2^24 + 1 is not a float: adding 1 to 2^24 changes nothing.
    const float big = Opaque(16777216.0f);
    EXPECT_EQ(big + Opaque(1.0f) - big, 0.0f);
}

TEST(FloatArithmeticTest, SumsRoundAtEveryStep) {
    EXPECT_EQ(Bits(SumOf(Opaque(0.1f), 10)), Bits(1.0f) + 1);  // one unit in the last place above 1
    double dsum = 0.0;
    for (int i = 0; i < 10; ++i) dsum += Opaque(0.1);
    EXPECT_TRUE(dsum < 1.0);
}

TEST(FloatArithmeticTest, DoubleIntermediatesOverflowAndLosePrecisionAsDoubles) {
    // The x87's wider exponent would carry 1e308 * 10 through to 1e308.
    EXPECT_TRUE(std::isinf(ScaleAndBack(Opaque(1e308), Opaque(10.0))));
    // 1 + 2^-53 rounds to 1 in double; 80 bits would keep the difference.
    EXPECT_EQ(AddAndBack(Opaque(1.0), Opaque(std::ldexp(1.0, -53))), 0.0);
}

}  // namespace
