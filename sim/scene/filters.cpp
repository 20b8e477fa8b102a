// Optics and sensor: defocus, motion smear, exposure, noise, clipping.
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "sim/scene/detmath.h"
#include "sim/scene/render_internal.h"

namespace k7qsim {
namespace {

constexpr int W = kFrameWidth, H = kFrameHeight;

// Box of width 2r+1 along rows, then along columns (column sums kept per row).
void BoxPass(int r, Buffers& b) {
    const uint32_t inv = 65536u / static_cast<uint32_t>(2 * r + 1);
    for (int y = 0; y < H; ++y) {
        const uint16_t* in = &b.rad[static_cast<size_t>(y) * W];
        uint16_t* out = &b.tmp[static_cast<size_t>(y) * W];
        uint32_t sum = 0;
        for (int k = -r; k <= r; ++k) sum += in[k < 0 ? 0 : (k >= W ? W - 1 : k)];
        for (int x = 0; x < W; ++x) {
            out[x] = static_cast<uint16_t>((sum * inv) >> 16);
            const int add = x + r + 1, sub = x - r;
            sum += in[add >= W ? W - 1 : add];
            sum -= in[sub < 0 ? 0 : sub];
        }
    }
    uint32_t* acc = b.acc.data();
    for (int x = 0; x < W; ++x) acc[x] = 0;
    for (int k = -r; k <= r; ++k) {
        const uint16_t* in = &b.tmp[static_cast<size_t>(k < 0 ? 0 : (k >= H ? H - 1 : k)) * W];
        for (int x = 0; x < W; ++x) acc[x] += in[x];
    }
    for (int y = 0; y < H; ++y) {
        uint16_t* out = &b.rad[static_cast<size_t>(y) * W];
        for (int x = 0; x < W; ++x) out[x] = static_cast<uint16_t>((acc[x] * inv) >> 16);
        const int add = y + r + 1 >= H ? H - 1 : y + r + 1, sub = y - r < 0 ? 0 : y - r;
        const uint16_t* a = &b.tmp[static_cast<size_t>(add) * W];
        const uint16_t* s = &b.tmp[static_cast<size_t>(sub) * W];
        for (int x = 0; x < W; ++x) acc[x] += a[x] - s[x];
    }
}

// [1 2 1] / 4 in both directions with shifts only (fast, vectorises well).
void Binomial(Buffers& b) {
    for (int y = 0; y < H; ++y) {
        const uint16_t* in = &b.rad[static_cast<size_t>(y) * W];
        uint16_t* out = &b.tmp[static_cast<size_t>(y) * W];
        out[0] = static_cast<uint16_t>((3u * in[0] + in[1] + 2) >> 2);
        for (int x = 1; x < W - 1; ++x) out[x] = static_cast<uint16_t>((in[x - 1] + 2u * in[x] + in[x + 1] + 2) >> 2);
        out[W - 1] = static_cast<uint16_t>((in[W - 2] + 3u * in[W - 1] + 2) >> 2);
    }
    for (int y = 0; y < H; ++y) {
        const uint16_t* up = &b.tmp[static_cast<size_t>(y > 0 ? y - 1 : 0) * W];
        const uint16_t* mid = &b.tmp[static_cast<size_t>(y) * W];
        const uint16_t* dn = &b.tmp[static_cast<size_t>(y + 1 < H ? y + 1 : y) * W];
        uint16_t* out = &b.rad[static_cast<size_t>(y) * W];
        for (int x = 0; x < W; ++x) out[x] = static_cast<uint16_t>((up[x] + 2u * mid[x] + dn[x] + 2) >> 2);
    }
}

// Three-tap kernel [a, 256 - 2a, a] / 256 in both directions.
void TapPass(uint32_t a, Buffers& b) {
    if (a == 64) {
        Binomial(b);
        return;
    }
    const uint32_t c = 256 - 2 * a;
    for (int y = 0; y < H; ++y) {
        const uint16_t* in = &b.rad[static_cast<size_t>(y) * W];
        uint16_t* out = &b.tmp[static_cast<size_t>(y) * W];
        out[0] = static_cast<uint16_t>((a * in[0] + c * in[0] + a * in[1] + 128) >> 8);
        for (int x = 1; x < W - 1; ++x) out[x] = static_cast<uint16_t>((a * in[x - 1] + c * in[x] + a * in[x + 1] + 128) >> 8);
        out[W - 1] = static_cast<uint16_t>((a * in[W - 2] + c * in[W - 1] + a * in[W - 1] + 128) >> 8);
    }
    for (int y = 0; y < H; ++y) {
        const uint16_t* up = &b.tmp[static_cast<size_t>(y > 0 ? y - 1 : 0) * W];
        const uint16_t* mid = &b.tmp[static_cast<size_t>(y) * W];
        const uint16_t* dn = &b.tmp[static_cast<size_t>(y + 1 < H ? y + 1 : y) * W];
        uint16_t* out = &b.rad[static_cast<size_t>(y) * W];
        for (int x = 0; x < W; ++x) out[x] = static_cast<uint16_t>((a * up[x] + c * mid[x] + a * dn[x] + 128) >> 8);
    }
}

}  // namespace

double DefocusBlur(double sigma, Buffers& b) {
    if (!(sigma >= 0.25)) return 0;
    sigma = sigma > 12 ? 12 : sigma;
    const double var = sigma * sigma;
    if (var >= 0.45 && var <= 0.55) {  // the camera's own softness: [1 2 1] / 4
        TapPass(64, b);
        return std::sqrt(0.5);
    }
    if (var <= 1.3) {  // one or two three-tap passes, each of variance 2a/256
        const int passes = var <= 0.66 ? 1 : 2;
        const uint32_t a = static_cast<uint32_t>(RoundToInt(var / passes / 2 * 256));
        for (int i = 0; i < passes; ++i) TapPass(a, b);
        return std::sqrt(passes * 2.0 * a / 256.0);
    }
    // Three boxes approximate a Gaussian; mix two widths to come close to sigma.
    int r = 0;
    while (3.0 * ((2 * r + 3) * (2 * r + 3) - 1) / 12.0 <= var) ++r;
    const double lo = ((2 * r + 1) * (2 * r + 1) - 1) / 12.0, hi = ((2 * r + 3) * (2 * r + 3) - 1) / 12.0;
    int wide = RoundToInt((var - 3 * lo) / (hi - lo));
    wide = wide < 0 ? 0 : (wide > 3 ? 3 : wide);
    for (int i = 0; i < 3; ++i) BoxPass(i < wide ? r + 1 : r, b);
    return std::sqrt((3 - wide) * lo + wide * hi);
}

void MotionBlur(double length, double angleDeg, Buffers& b) {
    if (!(length >= 1.0)) return;
    length = length > 80 ? 80 : length;
    int samples = static_cast<int>(std::ceil(length)) + 1;
    samples = samples > 25 ? 25 : samples;
    const double a = angleDeg * kPi / 180, ca = DCos(a), sa = DSin(a);
    int dx[25], dy[25];
    for (int k = 0; k < samples; ++k) {
        const double f = (static_cast<double>(k) / (samples - 1) - 0.5) * length;
        dx[k] = RoundToInt(f * ca);
        dy[k] = RoundToInt(f * sa);
    }
    const uint32_t inv = 65536u / static_cast<uint32_t>(samples);
    uint32_t* acc = b.acc.data();
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) acc[x] = 0;
        for (int k = 0; k < samples; ++k) {
            int sy = y + dy[k];
            sy = sy < 0 ? 0 : (sy >= H ? H - 1 : sy);
            const uint16_t* in = &b.rad[static_cast<size_t>(sy) * W];
            const int s = dx[k];
            const int xa = s < 0 ? -s : 0, xb = s > 0 ? W - s : W;
            for (int x = 0; x < xa; ++x) acc[x] += in[0];
            for (int x = xa; x < xb; ++x) acc[x] += in[x + s];
            for (int x = xb; x < W; ++x) acc[x] += in[W - 1];
        }
        uint16_t* out = &b.tmp[static_cast<size_t>(y) * W];
        for (int x = 0; x < W; ++x) out[x] = static_cast<uint16_t>((acc[x] * inv) >> 16);
    }
    std::swap(b.rad, b.tmp);
}

namespace {

// Gaussian-like sensor noise, sum of four uniform bytes, unit 1/256. Rows read
// it from random starting points, so no row repeats its neighbour.
constexpr int kNoiseTable = 1 << 16;
const int16_t* NoiseTable() {
    static const std::vector<int16_t> table = [] {
        std::vector<int16_t> t(kNoiseTable + kFrameWidth);
        for (size_t i = 0; i < t.size(); ++i) {
            const uint32_t h = Hash32(static_cast<uint32_t>(i) * 0x9E3779B1u + 0x6A09E667u);
            const int32_t n = static_cast<int32_t>((h & 255) + ((h >> 8) & 255) + ((h >> 16) & 255) + (h >> 24)) - 510;
            t[i] = static_cast<int16_t>(n * 256 / 148);
        }
        return t;
    }();
    return table.data();
}

}  // namespace

void Quantize(const Buffers& b, double exposure, double noise, double gain, uint64_t seed, uint8_t* out) {
    // 16-bit lanes throughout: gray = rad * eq >> 16, noise = n * amp >> 16.
    const uint16_t eq = static_cast<uint16_t>(RoundToInt(Clamp(exposure, 0, 15.99) * 65536.0 / kRadianceUnit));
    const uint16_t* rad = b.rad.data();
    if (!(noise > 0)) {
        for (int i = 0; i < kFrameBytes; ++i) {
            const uint16_t g = static_cast<uint16_t>((static_cast<uint32_t>(rad[i]) * eq) >> 16);
            out[i] = static_cast<uint8_t>(g > 255 ? 255 : g);
        }
        return;
    }
    // Read noise plus shot noise growing with the signal (a linear fit of
    // sqrt(1.44 + 0.045 g)), both amplified by the gain; amp in 1/256 gray
    // per noise unit, at most about 15000.
    const double k = Clamp(noise, 0, 8) * (1.0 + Clamp(gain, 0, 100) / 100.0);
    const int16_t a0 = static_cast<int16_t>(RoundToInt(k * 1.35 * 256)), a1 = static_cast<int16_t>(RoundToInt(k * 0.0092 * 256));
    const int16_t* table = NoiseTable();
    for (int y = 0; y < kFrameHeight; ++y) {
        const int16_t* n = table + (Mix64(seed + static_cast<uint64_t>(y)) & (kNoiseTable - 1));
        const uint16_t* r = rad + static_cast<size_t>(y) * kFrameWidth;
        uint8_t* o = out + static_cast<size_t>(y) * kFrameWidth;
        for (int x = 0; x < kFrameWidth; ++x) {
            // Clipping comes after the noise: a saturated pixel stays white.
            uint16_t g = static_cast<uint16_t>((static_cast<uint32_t>(r[x]) * eq) >> 16);
            g = g < 511 ? g : 511;
            const int16_t gc = static_cast<int16_t>(g < 255 ? g : 255);
            const int16_t amp = static_cast<int16_t>(a0 + a1 * gc);
            const int16_t v = static_cast<int16_t>(static_cast<int16_t>(g) + static_cast<int16_t>((static_cast<int32_t>(n[x]) * amp) >> 16));
            o[x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
}

}  // namespace k7qsim
