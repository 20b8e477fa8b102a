#include "tests/sim/scene_test_util.h"

#include <cmath>

namespace scenetest {

using k7qsim::kFrameHeight;
using k7qsim::kFrameWidth;

double LowerRingMean(const Frame& f, double cx, double cy, double outer, double inner) {
    double sum = 0;
    int n = 0;
    for (int y = static_cast<int>(cy); y <= static_cast<int>(cy + inner); ++y)
        for (int x = static_cast<int>(cx - outer); x <= static_cast<int>(cx + outer); ++x) {
            if (x < 0 || y < 0 || x >= kFrameWidth || y >= kFrameHeight) continue;
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (d2 <= inner * inner || d2 >= outer * outer) continue;
            sum += f[static_cast<size_t>(y) * kFrameWidth + x];
            ++n;
        }
    return n ? sum / n : -1;
}

namespace {
double RingMean(const Frame& f, double cx, double cy, double r) {
    double sum = 0;
    int n = 0;
    for (int k = 0; k < 96; ++k) {
        const double a = 2 * 3.14159265358979 * k / 96;
        const int x = static_cast<int>(std::lround(cx + r * std::cos(a)));
        const int y = static_cast<int>(std::lround(cy + r * std::sin(a)));
        if (x < 0 || y < 0 || x >= kFrameWidth || y >= kFrameHeight) continue;
        sum += f[static_cast<size_t>(y) * kFrameWidth + x];
        ++n;
    }
    return n ? sum / n : 0;
}
}  // namespace

Disc FindDarkestDisc(const Frame& f, double x0, double y0, double r0, int search) {
    Disc best;
    double bestScore = -1e9;
    for (int dy = -search; dy <= search; ++dy)
        for (int dx = -search; dx <= search; ++dx)
            for (int dr = -search; dr <= search; ++dr) {
                const double cx = x0 + dx * 0.5, cy = y0 + dy * 0.5, r = r0 + dr * 0.5;
                if (r < 4) continue;
                const double score = RingMean(f, cx, cy, r + 1.5) - RingMean(f, cx, cy, r - 1.5);
                if (score > bestScore) {
                    bestScore = score;
                    best = {cx, cy, r};
                }
            }
    return best;
}

double GradientEnergy(const Frame& f, int x0, int y0, int x1, int y1, bool alongX) {
    double e = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const int a = f[static_cast<size_t>(y) * kFrameWidth + x];
            const int b = alongX ? f[static_cast<size_t>(y) * kFrameWidth + x + 1] : f[static_cast<size_t>(y + 1) * kFrameWidth + x];
            e += (a - b) * (a - b);
        }
    return e;
}

int CountBelow(const Frame& f, int x0, int y0, int x1, int y1, int level) {
    int n = 0;
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < kFrameHeight; ++y)
        for (int x = x0 < 0 ? 0 : x0; x < x1 && x < kFrameWidth; ++x)
            n += f[static_cast<size_t>(y) * kFrameWidth + x] < level;
    return n;
}

}  // namespace scenetest
