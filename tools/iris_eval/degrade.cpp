#include "tools/iris_eval/degrade.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace iriseval {
namespace {

constexpr int kSide = 720;

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(v)), 0, 255)); }

int At(const uint8_t* img, int x, int y) {
    return img[std::clamp(y, 0, kSide - 1) * kSide + std::clamp(x, 0, kSide - 1)];
}

// A 24 px streak at 30 degrees: the head moving while the shutter is open.
void MotionBlur(const uint8_t* in, uint8_t* out) {
    const int length = 24;
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            int sum = 0;
            for (int k = 0; k < length; ++k) {
                const double t = k - (length - 1) / 2.0;
                sum += At(in, x + static_cast<int>(std::lround(t * c)), y + static_cast<int>(std::lround(t * s)));
            }
            out[y * kSide + x] = static_cast<uint8_t>(sum / length);
        }
}

// Gaussian defocus, sigma 3.5 px, separable.
void Defocus(const uint8_t* in, uint8_t* out) {
    const double sigma = 3.5;
    const int half = 11;
    std::vector<double> k(2 * half + 1);
    double total = 0;
    for (int i = -half; i <= half; ++i) total += k[i + half] = std::exp(-i * i / (2 * sigma * sigma));
    for (double& v : k) v /= total;
    std::vector<double> tmp(kSide * kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            double v = 0;
            for (int i = -half; i <= half; ++i) v += k[i + half] * At(in, x + i, y);
            tmp[y * kSide + x] = v;
        }
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            double v = 0;
            for (int i = -half; i <= half; ++i) v += k[i + half] * tmp[std::clamp(y + i, 0, kSide - 1) * kSide + x];
            out[y * kSide + x] = Clamp(v);
        }
}

// The upper lid lowered to 0.2 R above the iris centre: skin as bright as the
// brightest tenth of the picture, a dark lash line at its margin.
void LidFromAbove(const uint8_t* in, int cx, int cy, int r, uint8_t* out) {
    std::vector<uint8_t> sorted(in, in + kSide * kSide);
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() * 9 / 10, sorted.end());
    const int skin = sorted[sorted.size() * 9 / 10];
    std::copy(in, in + kSide * kSide, out);
    for (int x = 0; x < kSide; ++x) {
        const double dx = (x - cx) / (1.6 * r);
        const int margin = static_cast<int>(cy - 0.2 * r - 0.5 * r * dx * dx);  // a lid is an arc
        for (int y = 0; y < std::min(margin, kSide); ++y)
            out[y * kSide + x] = static_cast<uint8_t>(y >= margin - 6 ? skin / 4 : (skin * 3 + in[y * kSide + x]) / 4);
    }
}

// Three broad reflections of glasses over the iris ring.
void Glare(const uint8_t* in, int cx, int cy, int r, uint8_t* out) {
    std::copy(in, in + kSide * kSide, out);
    const double spots[3][3] = {{-0.6, -0.35, 0.28}, {0.55, 0.15, 0.3}, {-0.1, 0.6, 0.25}};
    for (const auto& s : spots) {
        const double sx = cx + s[0] * r, sy = cy + s[1] * r, sr = s[2] * r;
        for (int y = std::max(0, static_cast<int>(sy - sr)); y < std::min(kSide, static_cast<int>(sy + sr) + 1); ++y)
            for (int x = std::max(0, static_cast<int>(sx - sr)); x < std::min(kSide, static_cast<int>(sx + sr) + 1); ++x) {
                const double d = std::hypot(x - sx, y - sy) / sr;
                if (d < 1) out[y * kSide + x] = Clamp(out[y * kSide + x] + 150 * (1 - d * d));
            }
    }
}

void Gain(const uint8_t* in, double gain, double offset, uint8_t* out) {
    for (int i = 0; i < kSide * kSide; ++i) out[i] = Clamp(in[i] * gain + offset);
}

}  // namespace

const char* DegradationName(Degradation d) {
    switch (d) {
    case Degradation::kMotion: return "motion blur 24 px";
    case Degradation::kDefocus: return "defocus sigma 3.5";
    case Degradation::kLid: return "lid to 0.2 R above centre";
    case Degradation::kUnder: return "under-exposed x0.3";
    case Degradation::kOver: return "over-exposed x2.2";
    case Degradation::kGlare: return "glasses glare";
    case Degradation::kCount: break;
    }
    return "?";
}

void Degrade(const uint8_t* window, Degradation d, int cx, int cy, int r, uint8_t* out) {
    switch (d) {
    case Degradation::kMotion: MotionBlur(window, out); break;
    case Degradation::kDefocus: Defocus(window, out); break;
    case Degradation::kLid: LidFromAbove(window, cx, cy, r, out); break;
    case Degradation::kUnder: Gain(window, 0.3, 0, out); break;
    case Degradation::kOver: Gain(window, 2.2, 10, out); break;
    case Degradation::kGlare: Glare(window, cx, cy, r, out); break;
    case Degradation::kCount: break;
    }
}

}  // namespace iriseval
