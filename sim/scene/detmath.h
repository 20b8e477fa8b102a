// Arithmetic whose results are the same bytes on every compiler and C library:
// a splitmix64 generator, hashing, and trigonometry built from +, -, *, / and
// sqrt only (IEEE-exact operations), never from the C library's sin or exp.
#pragma once

#include <cmath>
#include <cstdint>

namespace k7qsim {

uint64_t Mix64(uint64_t x);
uint64_t HashCombine(uint64_t a, uint64_t b);
inline uint32_t Hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    double Uniform();                      // [0, 1)
    double Range(double lo, double hi);    // [lo, hi)
    int Int(int lo, int hi);               // lo..hi inclusive
    double Normal();                       // sum of four uniforms, unit variance
    bool Chance(double p) { return Uniform() < p; }

private:
    uint64_t state_;
};

constexpr double kPi = 3.14159265358979323846;

double DSin(double x);
double DCos(double x);
double DAtan2(double y, double x);
float FAtan2(float y, float x);  // about 1e-5 rad, for per-pixel use
inline double Clamp(double x, double lo, double hi) { return x < lo ? lo : (x > hi ? hi : x); }
inline double Lerp(double a, double b, double t) { return a + (b - a) * t; }
inline double Smoothstep(double e0, double e1, double x) {
    const double t = Clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}
inline int RoundToInt(double x) { return static_cast<int>(std::floor(x + 0.5)); }

// Smooth periodic value noise on [0,1) x [0,1) with `fx` x `fy` lattice cells,
// values in about [-1, 1]. Deterministic for the seed.
double ValueNoise(uint64_t seed, double x, double y, int fx, int fy);

}  // namespace k7qsim
