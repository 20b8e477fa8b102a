// The few numeric functions the module needs, written out so that the Windows
// module imports nothing from a C runtime (its square root is the processor's
// instruction; build with -fno-math-errno).
#pragma once

#include <stdint.h>

constexpr double kJudgePi = 3.14159265358979323846;

inline double JudgeMin(double a, double b) { return a < b ? a : b; }
inline double JudgeMax(double a, double b) { return a > b ? a : b; }
inline double JudgeAbs(double a) { return a < 0 ? -a : a; }
inline double JudgeClamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline int JudgeFloor(double v) {
    const int i = static_cast<int>(v);
    return (v < 0 && i != v) ? i - 1 : i;
}
inline int JudgeRound(double v) { return JudgeFloor(v + 0.5); }
inline double JudgeSqrt(double v) { return v > 0 ? __builtin_sqrt(v) : 0; }

// Base-2 logarithm of v > 0: exponent from the bits, mantissa by the atanh series.
double JudgeLog2(double v);
// Sine and cosine by range reduction and Taylor series (about 1e-12).
double JudgeSin(double x);
double JudgeCos(double x);
// Median of n values (n <= 64), without changing them.
double JudgeMedian(const double* values, int n);
