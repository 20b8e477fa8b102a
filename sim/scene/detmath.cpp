#include "sim/scene/detmath.h"

#include <cmath>

namespace k7qsim {

uint64_t Mix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t HashCombine(uint64_t a, uint64_t b) { return Mix64(a ^ (Mix64(b) + 0x632BE59BD9B4E019ull)); }

uint64_t Rng::Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
double Rng::Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
int Rng::Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1)); }
double Rng::Normal() {
    // Irwin-Hall with four terms: variance 4/12, scaled to 1.
    const double s = Uniform() + Uniform() + Uniform() + Uniform() - 2.0;
    return s * 1.7320508075688772;
}

namespace {
// Taylor series of sin on [-pi/2, pi/2]; error below 1e-12.
double SinCore(double x) {
    const double x2 = x * x;
    double t = x, sum = x;
    for (int k = 1; k <= 9; ++k) {
        t = -t * x2 / static_cast<double>((2 * k) * (2 * k + 1));
        sum += t;
    }
    return sum;
}
}  // namespace

double DSin(double x) {
    const double twoPi = 2.0 * kPi;
    x -= twoPi * std::floor(x / twoPi + 0.5);  // now in [-pi, pi]
    if (x > kPi / 2) x = kPi - x;
    if (x < -kPi / 2) x = -kPi - x;
    return SinCore(x);
}

double DCos(double x) { return DSin(x + kPi / 2); }

namespace {
double AtanUnit(double z) {  // z in [0, 1]; halve the argument twice, then a series
    // atan(z) = 2 atan(z / (1 + sqrt(1 + z^2)))
    double scale = 1.0;
    for (int i = 0; i < 2; ++i) {
        z = z / (1.0 + std::sqrt(1.0 + z * z));
        scale *= 2.0;
    }
    const double z2 = z * z;
    double t = z, sum = z;
    for (int k = 1; k <= 10; ++k) {
        t = -t * z2;
        sum += t / static_cast<double>(2 * k + 1);
    }
    return scale * sum;
}
}  // namespace

double DAtan2(double y, double x) {
    if (x == 0.0 && y == 0.0) return 0.0;
    const double ax = std::fabs(x), ay = std::fabs(y);
    double a = ax >= ay ? AtanUnit(ay / ax) : kPi / 2 - AtanUnit(ax / ay);
    if (x < 0) a = kPi - a;
    return y < 0 ? -a : a;
}

float FAtan2(float y, float x) {
    const float ax = std::fabs(x), ay = std::fabs(y);
    const float mx = ax > ay ? ax : ay, mn = ax > ay ? ay : ax;
    if (mx == 0.0f) return 0.0f;
    const float z = mn / mx, z2 = z * z;
    float a = z * (0.99986600f + z2 * (-0.33029950f + z2 * (0.18014100f + z2 * (-0.08513300f + z2 * 0.02083510f))));
    if (ay > ax) a = 1.57079633f - a;
    if (x < 0) a = 3.14159265f - a;
    return y < 0 ? -a : a;
}

double ValueNoise(uint64_t seed, double x, double y, int fx, int fy) {
    const double gx = x * fx, gy = y * fy;
    const double flx = std::floor(gx), fly = std::floor(gy);
    const double tx = gx - flx, ty = gy - fly;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    auto wrap = [](int64_t v, int n) { int64_t m = v % n; return m < 0 ? m + n : m; };
    const int64_t x0 = wrap(static_cast<int64_t>(flx), fx), x1 = wrap(x0 + 1, fx);
    const int64_t y0 = wrap(static_cast<int64_t>(fly), fy), y1 = wrap(y0 + 1, fy);
    auto lattice = [&](int64_t ix, int64_t iy) {
        const uint64_t h = HashCombine(seed, static_cast<uint64_t>(iy) * 1000003ull + static_cast<uint64_t>(ix));
        return static_cast<double>(h >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    };
    const double a = Lerp(lattice(x0, y0), lattice(x1, y0), sx);
    const double b = Lerp(lattice(x0, y1), lattice(x1, y1), sx);
    return Lerp(a, b, sy);
}

}  // namespace k7qsim
