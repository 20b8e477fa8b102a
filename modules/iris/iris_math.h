// Small numeric helpers of the segmentation that need no C runtime: the
// module built from these sources imports nothing. Trigonometry comes from
// tables computed at compile time; square roots are single instructions.
#pragma once

#include <stdint.h>

namespace iris {

constexpr int kAngleSteps = 1024;

struct TrigTable {
    float c[kAngleSteps];
    float s[kAngleSteps];
};

constexpr double kPi = 3.14159265358979323846;

constexpr double TaylorSin(double x) {
    // x in [-pi, pi]; enough terms for double precision there.
    double term = x, sum = x;
    for (int n = 1; n < 14; ++n) {
        term *= -x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr TrigTable MakeTrigTable() {
    TrigTable t{};
    for (int i = 0; i < kAngleSteps; ++i) {
        double a = 2 * kPi * i / kAngleSteps;
        if (a > kPi) a -= 2 * kPi;
        t.s[i] = static_cast<float>(TaylorSin(a));
        double b = a + kPi / 2;
        if (b > kPi) b -= 2 * kPi;
        t.c[i] = static_cast<float>(TaylorSin(b));
    }
    return t;
}

inline constexpr TrigTable kTrig = MakeTrigTable();

inline float Sqrt(float v) { return v > 0 ? __builtin_sqrtf(v) : 0.0f; }
inline float Abs(float v) { return v < 0 ? -v : v; }
inline int Min(int a, int b) { return a < b ? a : b; }
inline int Max(int a, int b) { return a > b ? a : b; }
inline float Minf(float a, float b) { return a < b ? a : b; }
inline float Maxf(float a, float b) { return a > b ? a : b; }
inline int Floor(float v) {
    const int i = static_cast<int>(v);
    return (v < 0 && static_cast<float>(i) != v) ? i - 1 : i;
}
inline int Round(float v) { return Floor(v + 0.5f); }

// Sorts a small float array in place (insertion sort: n is at most a few hundred).
inline void SortSmall(float* v, int n) {
    for (int i = 1; i < n; ++i) {
        const float x = v[i];
        int j = i - 1;
        while (j >= 0 && v[j] > x) {
            v[j + 1] = v[j];
            --j;
        }
        v[j + 1] = x;
    }
}

}  // namespace iris
