#include "modules/judge/judge_math.h"

double JudgeLog2(double v) {
    if (!(v > 0)) return -1074;
    uint64_t bits;
    __builtin_memcpy(&bits, &v, sizeof bits);
    int exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    bits = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1023) << 52);
    double m;
    __builtin_memcpy(&m, &bits, sizeof m);  // 1 <= m < 2
    if (m > 1.4142135623730951) {
        m *= 0.5;
        ++exponent;
    }
    // ln m = 2 atanh(z), z = (m - 1) / (m + 1), |z| < 0.172
    const double z = (m - 1) / (m + 1), z2 = z * z;
    double term = z, sum = 0;
    for (int k = 1; k < 30; k += 2) {
        sum += term / k;
        term *= z2;
    }
    return exponent + 2 * sum / 0.69314718055994531;
}

double JudgeSin(double x) {
    const double turn = 2 * kJudgePi;
    x -= turn * JudgeFloor(x / turn + 0.5);  // -pi .. pi
    if (x > kJudgePi / 2) x = kJudgePi - x;
    if (x < -kJudgePi / 2) x = -kJudgePi - x;
    const double x2 = x * x;
    double term = x, sum = x;
    for (int k = 1; k < 12; ++k) {
        term *= -x2 / ((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

double JudgeCos(double x) { return JudgeSin(x + kJudgePi / 2); }

double JudgeMedian(const double* values, int n) {
    if (n <= 0) return 0;
    double sorted[64];
    if (n > 64) n = 64;
    for (int i = 0; i < n; ++i) {
        double v = values[i];
        int j = i;
        for (; j > 0 && sorted[j - 1] > v; --j) sorted[j] = sorted[j - 1];
        sorted[j] = v;
    }
    return n % 2 ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + sorted[n / 2]);
}
