// Things laid over the shaded face: corneal reflections of the illuminators,
// eyelashes, and reflections of glasses.
#include <cmath>
#include <cstring>

#include "sim/scene/detmath.h"
#include "sim/scene/render_internal.h"

namespace k7qsim {
namespace {

bool InsideOpening(const EyeGeometry& g, const Buffers& b, double x, double y) {
    double un, v;
    g.ToLocal(x, y, un, v);
    const int idx = RoundToInt(un) + kLidTable / 2;
    if (idx < 0 || idx >= kLidTable || std::fabs(un) > g.halfWidthPx) return false;
    return v > b.lidUp[idx] + 1 && v < b.lidLo[idx] - 1;
}

void AddSpot(std::vector<uint16_t>& rad, double cx, double cy, double r, double peak, double glow = 0.05) {
    const int x0 = static_cast<int>(std::floor(cx - 3 * r - 2)), x1 = static_cast<int>(std::ceil(cx + 3 * r + 2));
    const int y0 = static_cast<int>(std::floor(cy - 3 * r - 2)), y1 = static_cast<int>(std::ceil(cy + 3 * r + 2));
    for (int y = y0 < 0 ? 0 : y0; y <= y1 && y < kFrameHeight; ++y)
        for (int x = x0 < 0 ? 0 : x0; x <= x1 && x < kFrameWidth; ++x) {
            const double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
            const double core = Clamp(r + 0.5 - d, 0, 1);
            const double q = d / (1.6 * r);
            const double halo = glow / (1 + q * q * q * q);
            uint16_t& p = rad[static_cast<size_t>(y) * kFrameWidth + x];
            p = static_cast<uint16_t>(Clamp(p + peak * (core + halo), 0, 65535));
        }
}

}  // namespace

namespace {

constexpr double kSpecularPeak = 2400.0 * kRadianceUnit;

// Records a reflection's place; the truth keeps the first two.
void Note(double x, double y, int* n, double xs[2], double ys[2]) {
    if (*n < 2) xs[*n] = x, ys[*n] = y;
    ++*n;
}

// The device's two illuminators, left and right of the lens: their
// reflections on the cornea follow the gaze at about half the iris's travel.
int CorneaPair(const EyeGeometry& g, const Buffers& b, std::vector<uint16_t>& rad, double xs[2], double ys[2]) {
    const double baseX = g.ex + 0.55 * (g.icx - g.ex), baseY = g.ey + 0.55 * (g.icy - g.ey) - 0.06 * g.R;
    const double r = 0.035 * g.R + 1.0;
    int n = 0;
    for (int k = 0; k < 2; ++k) {
        const double x = baseX + (k ? 0.11 : -0.11) * g.R, y = baseY + (k ? 0.015 : -0.015) * g.R;
        if (!InsideOpening(g, b, x, y)) continue;
        AddSpot(rad, x, y, r, kSpecularPeak);
        Note(x, y, &n, xs, ys);
    }
    return n;
}

// A circular array of eight LEDs around the lens: a ring of small dots
// inside the pupil. A pair layout puts one dot inside and one on the edge.
int PupilReflections(const EyeGeometry& g, Reflections layout, const Buffers& b, std::vector<uint16_t>& rad,
                     double xs[2], double ys[2]) {
    const double r = 0.02 * g.R + 1.2;
    int n = 0;
    const int dots = layout == Reflections::PupilRing ? 8 : 2;
    for (int k = 0; k < dots; ++k) {
        double x, y;
        if (layout == Reflections::PupilRing) {
            const double a = kPi * (0.125 + k / 4.0), ring = Clamp(0.45 * g.rp, r + 2, g.rp - r - 2);
            x = g.pcx + ring * DCos(a);
            y = g.pcy + ring * DSin(a);
        } else {
            x = g.pcx + (k ? 1.0 : -0.35) * g.rp;
            y = g.pcy - (k ? 0.1 : 0.2) * g.rp;
        }
        if (!InsideOpening(g, b, x, y)) continue;
        AddSpot(rad, x, y, r, kSpecularPeak, 0.01);  // small LEDs: little glow
        Note(x, y, &n, xs, ys);
    }
    return n;
}

// Distance from (px, py) to the segment (ax, ay)-(bx, by).
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = Clamp(t, 0, 1);
    const double ex = px - ax - t * dx, ey = py - ay - t * dy;
    return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

int AddSpeculars(const EyeGeometry& g, Reflections layout, const Buffers& b, std::vector<uint16_t>& rad, double xs[2],
                 double ys[2]) {
    if (layout == Reflections::CorneaPair) return CorneaPair(g, b, rad, xs, ys);
    return PupilReflections(g, layout, b, rad, xs, ys);
}

void DrawLashClusters(const EyeGeometry& g, int count, uint64_t seed, Buffers& b) {
    // Lower lashes that clump together cross the sclera beside the iris as
    // dark streaks, far darker than the iris is against the sclera.
    Rng rng(HashCombine(seed, 0x1a5c1u));
    for (int k = 0; k < count; ++k) {
        const double side = k % 2 ? 1.0 : -1.0;
        const double below = rng.Range(-5, 25) * kPi / 180;
        const double r0 = g.R * rng.Range(1.02, 1.08), r1 = r0 + g.R * rng.Range(0.25, 0.5);
        const double ax = g.icx + side * r0 * DCos(below), ay = g.icy + r0 * DSin(below);
        const double lean = below + rng.Range(-0.25, 0.25);
        const double bx = g.icx + side * (r0 * DCos(below) + (r1 - r0) * DCos(lean));
        const double by = g.icy + r0 * DSin(below) + (r1 - r0) * DSin(lean);
        const double half = 0.5 * rng.Range(2.5, 4.5) * g.R / 100.0 + 0.5, keep = rng.Range(0.12, 0.3);
        const int x0 = static_cast<int>(Clamp(std::floor(std::fmin(ax, bx) - half - 2), 0, kFrameWidth));
        const int x1 = static_cast<int>(Clamp(std::ceil(std::fmax(ax, bx) + half + 2), 0, kFrameWidth));
        const int y0 = static_cast<int>(Clamp(std::floor(std::fmin(ay, by) - half - 2), 0, kFrameHeight));
        const int y1 = static_cast<int>(Clamp(std::ceil(std::fmax(ay, by) + half + 2), 0, kFrameHeight));
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                if (!InsideOpening(g, b, x, y)) continue;
                const double cover = Clamp(half + 0.5 - SegmentDistance(x, y, ax, ay, bx, by), 0, 1);
                uint16_t& p = b.rad[static_cast<size_t>(y) * kFrameWidth + x];
                p = static_cast<uint16_t>(p * (1 - cover * (1 - keep)) + 0.5);
            }
    }
}

void DrawLashes(const EyeGeometry& g, const Subject& s, Buffers& b) {
    int bx0 = kFrameWidth, by0 = kFrameHeight, bx1 = -1, by1 = -1;
    const double o = g.opening;
    const double closeTurn = 2.3 * (1 - o) * std::sqrt(1 - o);
    const double widthScale = g.R / 100.0;
    for (const Lash& l : s.lashes) {
        const double un0 = l.t * g.halfWidthPx;
        const int idx = RoundToInt(un0) + kLidTable / 2;
        const double v0 = l.lower ? b.lidLo[idx] + 0.5 : b.lidUp[idx] - 0.5;
        const double turn = l.lower ? 0.0 : closeTurn;
        const double a = l.lean + (l.lean > 1.5 ? 0.0 : turn);
        const double du = DSin(a), dv = l.lower ? DCos(a) : -DCos(a);
        const double len = l.length * g.R;
        const double curlV = (l.lower ? 1 : -1) * l.curl * len;
        const int steps = static_cast<int>(std::ceil(len)) + 1;
        for (int k = 0; k <= steps; ++k) {
            const double f = static_cast<double>(k) / steps;
            double x, y;
            g.ToFrame(un0 + len * f * du, v0 + len * f * dv + curlV * f * f, x, y);
            const double w = 0.5 * l.width * widthScale * (1 - 0.65 * f) + 0.2;
            const double dark = l.dark * s.lash * (1 - 0.35 * f);
            const float reach = static_cast<float>(w + 0.5), reach2 = reach * reach, inner2 = (reach - 1) * (reach - 1);
            const float fx = static_cast<float>(x), fy = static_cast<float>(y), fdark = static_cast<float>(dark);
            const int xa = static_cast<int>(std::floor(x - reach)), xb = static_cast<int>(std::ceil(x + reach));
            const int ya = static_cast<int>(std::floor(y - reach)), yb = static_cast<int>(std::ceil(y + reach));
            for (int py = ya < 0 ? 0 : ya; py <= yb && py < kFrameHeight; ++py)
                for (int px = xa < 0 ? 0 : xa; px <= xb && px < kFrameWidth; ++px) {
                    const float ex = static_cast<float>(px) - fx, ey = static_cast<float>(py) - fy, d2 = ex * ex + ey * ey;
                    if (d2 >= reach2) continue;
                    float c = d2 <= inner2 ? 1.0f : reach - std::sqrt(d2);
                    c = (c < 0 ? 0 : (c > 1 ? 1 : c)) * fdark;
                    const int cv = static_cast<int>(c * 255 + 0.5f);
                    uint8_t& cov = b.lashCov[static_cast<size_t>(py) * kFrameWidth + px];
                    if (cv > cov) cov = static_cast<uint8_t>(cv);
                    bx0 = px < bx0 ? px : bx0; bx1 = px > bx1 ? px : bx1;
                    by0 = py < by0 ? py : by0; by1 = py > by1 ? py : by1;
                }
        }
    }
    for (int y = by0; y <= by1; ++y) {
        uint8_t* cov = &b.lashCov[static_cast<size_t>(y) * kFrameWidth];
        uint16_t* rad = &b.rad[static_cast<size_t>(y) * kFrameWidth];
        for (int x = bx0; x <= bx1; ++x) {
            // Lashes let a quarter of the light through at most: dark, never black.
            rad[x] = static_cast<uint16_t>((rad[x] * (255u - (cov[x] * 185u >> 8)) + 127) / 255);
            cov[x] = 0;
        }
    }
}

void AddGlare(const EyeGeometry& g, int count, uint64_t seed, Buffers& b) {
    Rng rng(HashCombine(seed, 0x61a2e));
    for (int k = 0; k < count; ++k) {
        const double cx = g.icx + g.R * rng.Range(-1.6, 1.6), cy = g.icy + g.R * rng.Range(-1.2, 1.0);
        const double a = g.R * rng.Range(0.25, 0.8), bb = a * rng.Range(0.25, 0.7);
        const double ang = rng.Range(0, kPi), c = DCos(ang), s = DSin(ang);
        const double peak = rng.Range(50, 150) * kRadianceUnit;
        const double ext = a + 4;
        for (int y = static_cast<int>(Clamp(cy - ext, 0, kFrameHeight)); y < static_cast<int>(Clamp(cy + ext, 0, kFrameHeight)); ++y)
            for (int x = static_cast<int>(Clamp(cx - ext, 0, kFrameWidth)); x < static_cast<int>(Clamp(cx + ext, 0, kFrameWidth)); ++x) {
                const double u = (c * (x - cx) + s * (y - cy)) / a, v = (-s * (x - cx) + c * (y - cy)) / bb;
                const double q = u * u + v * v;
                if (q >= 1) continue;
                const double m = Smoothstep(1.0, 0.55, q) * (0.6 + 0.4 * (1 - q));
                uint16_t& p = b.rad[static_cast<size_t>(y) * kFrameWidth + x];
                p = static_cast<uint16_t>(Clamp(p + peak * m, 0, 65535));
            }
    }
}

}  // namespace k7qsim
