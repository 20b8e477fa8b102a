#include "sim/scene/subject.h"

#include <cmath>
#include <utility>

#include "sim/scene/detmath.h"

namespace k7qsim {
namespace {

// Periodic value noise with its lattice precomputed: cheap to sample often.
class NoiseGrid {
public:
    NoiseGrid(uint64_t seed, int fx, int fy) : fx_(fx), fy_(fy), v_(static_cast<size_t>(fx) * fy) {
        Rng rng(seed);
        for (double& x : v_) x = rng.Uniform() * 2.0 - 1.0;
    }
    double operator()(double x, double y) const {
        const double gx = x * fx_, gy = y * fy_;
        const double flx = std::floor(gx), fly = std::floor(gy);
        double tx = gx - flx, ty = gy - fly;
        tx = tx * tx * (3 - 2 * tx);
        ty = ty * ty * (3 - 2 * ty);
        const int x0 = Wrap(static_cast<int64_t>(flx), fx_), x1 = (x0 + 1) % fx_;
        const int y0 = Wrap(static_cast<int64_t>(fly), fy_), y1 = (y0 + 1) % fy_;
        const double a = Lerp(At(x0, y0), At(x1, y0), tx), b = Lerp(At(x0, y1), At(x1, y1), tx);
        return Lerp(a, b, ty);
    }

private:
    static int Wrap(int64_t v, int n) { const int64_t m = v % n; return static_cast<int>(m < 0 ? m + n : m); }
    double At(int x, int y) const { return v_[static_cast<size_t>(y) * fx_ + x]; }
    int fx_, fy_;
    std::vector<double> v_;
};

double Bump(double x) { return x <= -1 || x >= 1 ? 0.0 : (1 - x * x) * (1 - x * x); }

void BuildIris(Rng& rng, uint64_t seed, Subject& s) {
    s.irisTexture.assign(static_cast<size_t>(kIrisAngles) * kIrisRadii, 1.0f);
    const NoiseGrid fib1(seed ^ 1, 90, 2), fib2(seed ^ 2, 200, 3), fib3(seed ^ 3, 420, 5);
    const NoiseGrid collar(seed ^ 4, 14, 1), zig(seed ^ 5, 70, 1), fine(seed ^ 6, 260, 12);
    const NoiseGrid ringMask(seed ^ 7, 9, 1), broad(seed ^ 8, 6, 2);
    const double fibreGain = rng.Range(0.7, 1.3);
    const double collarBase = rng.Range(0.26, 0.38);
    for (int r = 0; r < kIrisRadii; ++r) {
        const double rho = (r + 0.5) / kIrisRadii;
        for (int a = 0; a < kIrisAngles; ++a) {
            const double th = (a + 0.5) / kIrisAngles;
            double v = 1.0 + fibreGain * (0.16 * fib1(th, rho) + 0.2 * fib2(th, rho) + 0.12 * fib3(th, rho));
            v *= 1.0 + 0.08 * broad(th, rho);
            const double cr = collarBase + 0.06 * collar(th, 0) + 0.035 * zig(th, 0);
            if (rho < cr) v *= 0.9 + 0.09 * fine(th, rho);
            v += 0.16 * Bump((rho - cr) / 0.05);
            if (rho < 0.04) v *= 0.55 + 8.0 * rho;
            v *= 0.94 + 0.14 * rho;
            s.irisTexture[static_cast<size_t>(r) * kIrisAngles + a] = static_cast<float>(v);
        }
    }
    // Crypts: dark lacunae stretched along the radius, mostly outside the collarette.
    const int crypts = rng.Int(14, 34);
    for (int i = 0; i < crypts; ++i) {
        const double tc = rng.Uniform(), rc = rng.Range(collarBase + 0.02, 0.8);
        const double at = rng.Range(0.008, 0.03), ar = rng.Range(0.08, 0.25), depth = rng.Range(0.2, 0.5);
        for (int r = 0; r < kIrisRadii; ++r) {
            const double dr = ((r + 0.5) / kIrisRadii - rc) / ar;
            if (dr * dr >= 1.8) continue;
            const int a0 = static_cast<int>(std::floor((tc - 1.4 * at) * kIrisAngles));
            const int a1 = static_cast<int>(std::ceil((tc + 1.4 * at) * kIrisAngles));
            for (int ai = a0; ai <= a1; ++ai) {
                const double dt = ((ai + 0.5) / kIrisAngles - tc) / at;
                const double q = dt * dt + dr * dr;
                float& px = s.irisTexture[static_cast<size_t>(r) * kIrisAngles + ((ai % kIrisAngles + kIrisAngles) % kIrisAngles)];
                if (q < 1) px *= static_cast<float>(1 - depth * (1 - q) * (1 - 0.3 * q));
                else if (q < 1.8) px *= static_cast<float>(1 + 0.04 * Bump((q - 1.4) / 0.4));
            }
        }
    }
    // Contraction furrows: partial dark rings in the outer iris.
    const int rings = rng.Int(1, 4);
    for (int i = 0; i < rings; ++i) {
        const double rc = rng.Range(0.55, 0.9), depth = rng.Range(0.12, 0.3);
        const uint64_t k = static_cast<uint64_t>(i) * 31;
        for (int r = 0; r < kIrisRadii; ++r) {
            const double w = Bump(((r + 0.5) / kIrisRadii - rc) / 0.018);
            if (w <= 0) continue;
            for (int a = 0; a < kIrisAngles; ++a) {
                const double m = ringMask((a + 0.5) / kIrisAngles + 0.37 * static_cast<double>(k % 7), 0);
                if (m > 0) s.irisTexture[static_cast<size_t>(r) * kIrisAngles + a] *= static_cast<float>(1 - depth * w * m);
            }
        }
    }
    s.irisTable.resize(s.irisTexture.size());
    for (size_t i = 0; i < s.irisTexture.size(); ++i) {
        const float v = s.irisTexture[i] < 0.12f ? 0.12f : (s.irisTexture[i] > 2.0f ? 2.0f : s.irisTexture[i]);
        s.irisTable[i] = static_cast<uint16_t>(RoundToInt(v * 16384.0));
    }
    std::vector<float>().swap(s.irisTexture);
}

void BuildSkin(uint64_t seed, Subject& s) {
    s.skinTile.assign(static_cast<size_t>(kTileSize) * kTileSize, 0);
    const NoiseGrid n0(seed ^ 10, 4, 4), n1(seed ^ 11, 16, 16), n2(seed ^ 12, 64, 64), n3(seed ^ 13, 160, 160);
    std::vector<float> v(static_cast<size_t>(kTileSize) * kTileSize);
    for (int y = 0; y < kTileSize; ++y)
        for (int x = 0; x < kTileSize; ++x) {
            const double fx = (x + 0.5) / kTileSize, fy = (y + 0.5) / kTileSize;
            v[static_cast<size_t>(y) * kTileSize + x] =
                static_cast<float>(0.025 * n0(fx, fy) + 0.035 * n1(fx, fy) + 0.022 * n2(fx, fy) + 0.015 * n3(fx, fy));
        }
    Rng rng(seed ^ 14);
    for (int i = 0; i < 4200; ++i) {  // pores
        const double cx = rng.Range(0, kTileSize), cy = rng.Range(0, kTileSize);
        const double rad = rng.Range(0.7, 1.8), depth = rng.Range(0.04, 0.12);
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const int px = (static_cast<int>(cx) + dx) & kTileMask, py = (static_cast<int>(cy) + dy) & kTileMask;
                const double ex = static_cast<int>(cx) + dx + 0.5 - cx, ey = static_cast<int>(cy) + dy + 0.5 - cy;
                const double q = (ex * ex + ey * ey) / (rad * rad);
                if (q < 1) v[static_cast<size_t>(py) * kTileSize + px] -= static_cast<float>(depth * (1 - q));
            }
    }
    for (size_t i = 0; i < v.size(); ++i) s.skinTile[i] = static_cast<int16_t>(RoundToInt(v[i] * 4096.0));
}

void BuildHair(uint64_t seed, Subject& s) {
    s.hairTile.assign(static_cast<size_t>(kTileSize) * kTileSize, 0);
    Rng rng(seed ^ 21);
    for (int i = 0; i < 4200; ++i) {
        const double x0 = rng.Range(0, kTileSize), y0 = rng.Range(0, kTileSize);
        const double ang = rng.Range(-0.4, -0.08), len = rng.Range(18, 44), width = rng.Range(0.5, 1.0);
        const double bend = rng.Range(-0.004, 0.004);
        const double dark = rng.Range(0.55, 1.0);
        double a = ang;
        double x = x0, y = y0;
        for (int k = 0; k < static_cast<int>(len); ++k) {
            const double w = width * (1.0 - 0.6 * k / len);
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int px = static_cast<int>(std::floor(x)) + dx, py = static_cast<int>(std::floor(y)) + dy;
                    const double ex = px + 0.5 - x, ey = py + 0.5 - y;
                    const double c = Clamp(w + 0.5 - std::sqrt(ex * ex + ey * ey), 0, 1) * dark;
                    uint8_t& t = s.hairTile[static_cast<size_t>(py & kTileMask) * kTileSize + (px & kTileMask)];
                    const int cv = RoundToInt(c * 255);
                    if (cv > t) t = static_cast<uint8_t>(cv);
                }
            x += DCos(a);
            y += DSin(a);
            a += bend * k;
        }
    }
}

void BuildLashes(Rng& rng, Subject& s) {
    s.lashes.clear();
    const int upper = rng.Int(120, 170), lower = rng.Int(40, 60);
    for (int i = 0; i < upper; ++i) {
        Lash l;
        l.t = static_cast<float>(Clamp(rng.Range(-0.82, 0.98) + (i % 3 ? 0.0 : 0.0), -0.85, 0.98));
        const double taper = 1.0 - 0.55 * std::fabs(l.t - 0.25);
        l.length = static_cast<float>(rng.Range(0.32, 0.56) * taper);
        l.lean = static_cast<float>(0.15 + 0.55 * l.t + rng.Range(-0.2, 0.2));
        l.curl = static_cast<float>(rng.Range(0.25, 0.5));
        l.width = static_cast<float>(rng.Range(2.0, 3.2));
        l.dark = static_cast<float>(rng.Range(0.7, 0.92));
        l.lower = false;
        if (rng.Chance(0.16)) {  // some hang forward over the eye
            l.lean = static_cast<float>(2.6 + 0.4 * l.t + rng.Range(-0.25, 0.25));
            l.length *= 0.8f;
        }
        s.lashes.push_back(l);
    }
    for (int i = 0; i < lower; ++i) {
        Lash l;
        l.t = static_cast<float>(rng.Range(-0.6, 0.95));
        l.length = static_cast<float>(rng.Range(0.1, 0.22));
        l.lean = static_cast<float>(0.1 + 0.5 * l.t + rng.Range(-0.2, 0.2));
        l.curl = static_cast<float>(rng.Range(0.0, 0.15));
        l.width = static_cast<float>(rng.Range(1.3, 2.0));
        l.dark = static_cast<float>(rng.Range(0.45, 0.7));
        l.lower = true;
        s.lashes.push_back(l);
    }
}

}  // namespace

void BuildSubject(uint64_t seed, Eye eye, Subject& s) {
    s.seed = seed;
    s.eye = eye;
    Rng person(HashCombine(seed, 0x5ce11));  // shared by both eyes of a person
    s.halfWidth = static_cast<float>(person.Range(2.3, 2.75));
    s.cornerNasalV = static_cast<float>(person.Range(0.05, 0.2));
    s.cornerOuterV = static_cast<float>(person.Range(-0.2, 0.05));
    s.upperRise = static_cast<float>(person.Range(1.35, 1.6));
    s.lowerSag = static_cast<float>(person.Range(0.82, 0.98));
    s.creaseGap = static_cast<float>(person.Range(0.3, 0.6));
    s.browGap = static_cast<float>(person.Range(2.8, 3.4));
    s.browThick = static_cast<float>(person.Range(0.25, 0.4));
    s.skin = static_cast<float>(person.Range(135, 175));
    s.sclera = static_cast<float>(person.Range(155, 185));
    s.lash = static_cast<float>(person.Range(0.75, 1.0));
    const uint64_t eyeSeed = HashCombine(seed, eye == Eye::Left ? 0x1EF7ull : 0x41647ull);
    Rng rng(eyeSeed);
    s.iris = static_cast<float>(rng.Range(72, 105));
    s.pupil = static_cast<float>(rng.Range(6, 13));
    BuildIris(rng, eyeSeed, s);
    BuildLashes(rng, s);
    const uint64_t skinSeed = HashCombine(seed, 0x5c1);
    BuildSkin(skinSeed, s);
    BuildHair(skinSeed, s);
    if (eye == Eye::Right) {  // the tiles are read left to right; hair leans outwards on both sides
        for (int y = 0; y < kTileSize; ++y)
            for (int x = 0; x < kTileSize / 2; ++x) {
                const size_t a = static_cast<size_t>(y) * kTileSize + x, b = static_cast<size_t>(y) * kTileSize + kTileMask - x;
                std::swap(s.skinTile[a], s.skinTile[b]);
                std::swap(s.hairTile[a], s.hairTile[b]);
            }
    }
}

float LowerLidV(const Subject& s, float t) {
    const float base = s.cornerNasalV + (s.cornerOuterV - s.cornerNasalV) * (t + 1) * 0.5f;
    const float q = 1 - t * t;
    if (q <= 0) return base;
    return base + s.lowerSag * q * (1 + 0.2f * t) * (1 + 0.3f * q) / 1.3f;
}

float UpperLidV(const Subject& s, float t, float opening) {
    const float base = s.cornerNasalV + (s.cornerOuterV - s.cornerNasalV) * (t + 1) * 0.5f;
    const float q = 1 - t * t;
    const float wide = q <= 0 ? base : base - s.upperRise * q * (1 - 0.15f * t) * (1 + 0.6f * q) / 1.6f;
    const float lower = LowerLidV(s, t);
    return lower - opening * (lower - wide);
}

float CreaseV(const Subject& s, float t) {
    const float q = 1 - t * t;
    return UpperLidV(s, t, 1.0f) - s.creaseGap * (q > 0 ? std::sqrt(q) : 0.0f) - 0.08f;
}

}  // namespace k7qsim
