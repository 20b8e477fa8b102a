// The limbus: the circle near-concentric with the pupil that gathers the
// most dark-to-bright evidence on the lateral sectors, where lids rarely
// reach. Each ray's step saturates (s -> cap s / (s + cap)), so a lash or a
// lid edge crossing a few rays cannot outweigh the soft limbus that all of
// them cross, while a sharper alignment still scores higher. Searched on
// the coarse block means first (a derivative scale of about 8 px), then
// refined on the reflection-free image.
#include "modules/iris/iris_rays.h"

namespace iris {
namespace {

constexpr float kMaxIrisToPupil = 1 / 0.15f;  // pupil-to-iris radius ratio 0.15 ... 0.75
constexpr float kMinIrisToPupil = 1 / 0.75f;
constexpr float kStepCap = 30;                // a ray adds less than this, however strong its step
constexpr int kMaxSamples = 256;
// The coarse step compares means of kCoarseHalf samples (half a block
// each) kCoarseGap samples away from the edge: iris against sclera over
// about 8 px, wider than the iris's own fibres and crypts.
constexpr int kCoarseHalf = 4, kCoarseGap = 2;

// Ray angles (indices into kTrig) of the lateral sectors: from 20 degrees
// above to 45 degrees below the horizontal, on both sides (the upper lid
// and its lashes reach lower than the lower lid rises).
int LateralAngles(int perSide, int* angles) {
    const int up = kAngleSteps * 20 / 360, down = kAngleSteps * 45 / 360, span = up + down;
    int n = 0;
    for (int i = 0; i < perSide; ++i) {
        const int off = -up + span * i / (perSide - 1);
        angles[n++] = (off + kAngleSteps) % kAngleSteps;                    // right side, y grows down
        angles[n++] = (kAngleSteps / 2 - off + kAngleSteps) % kAngleSteps;  // left side, mirrored
    }
    return n;
}

struct Best {
    float x = 0, y = 0, r = 0, evidence = -1;
};

// Accumulates the saturated steps of every ray from (cx, cy) at radii r0,
// r0 + dr, ... (n of them); `half` samples on each side of a step, `gap`
// samples skipped around it. Updates `best` with the strongest radius.
void Accumulate(const View& v, float cx, float cy, const int* angles, int rays, float r0, float dr, int n, int half,
                int gap, Best* best, float* acc, int* counts) {
    // Running sums along the ray: each step is two differences.
    float sum[kMaxSamples + 1];
    int outside[kMaxSamples + 1];
    for (int i = 0; i < n; ++i) acc[i] = 0, counts[i] = 0;
    sum[0] = 0;
    outside[0] = 0;
    for (int k = 0; k < rays; ++k) {
        const float c = kTrig.c[angles[k]], s = kTrig.s[angles[k]];
        for (int i = 0; i < n; ++i) {
            const float r = r0 + i * dr;
            const float p = Sample(v, cx + r * c, cy + r * s);
            sum[i + 1] = sum[i] + (p >= 0 ? p : 0);
            outside[i + 1] = outside[i] + (p < 0);
        }
        for (int i = half + gap; i + half + gap < n; ++i) {
            const int inLo = i - gap - half, inHi = i - gap, outLo = i + gap + 1, outHi = i + gap + half + 1;
            if (outside[inHi] != outside[inLo] || outside[outHi] != outside[outLo]) continue;
            const float step = ((sum[outHi] - sum[outLo]) - (sum[inHi] - sum[inLo])) / half;
            acc[i] += step <= 0 ? 0 : kStepCap * step / (step + kStepCap);
            ++counts[i];
        }
    }
    // Peaks along the radius only: a ramp up to the end of the range (the
    // pupil's own edge, an iris ring inside the limbus) is no circle there.
    const int first = half + gap, last = n - half - gap - 1;
    for (int i = first + 1; i < last; ++i) {
        if (counts[i] * 2 < rays || !counts[i - 1] || !counts[i + 1]) continue;  // most of it outside the image
        const float e = acc[i] / counts[i];
        if (e < acc[i - 1] / counts[i - 1] || e < acc[i + 1] / counts[i + 1]) continue;
        if (e > best->evidence) *best = Best{cx, cy, r0 + i * dr, e};
    }
}

// One radial sweep's set-up: the rays, the radii sampled and the step's shape.
struct Sweep {
    const View& v;
    const int* angles;
    int rays;
    float r0, dr;
    int n, half, gap;
    float* acc;
    int* counts;
    void Run(float cx, float cy, Best* best) const {
        Accumulate(v, cx, cy, angles, rays, r0, dr, n, half, gap, best, acc, counts);
    }
};

// Centres every `step` within `reach` of (cx, cy), then the best one's
// eight neighbours; `best` holds the strongest circle found.
void SearchAround(const Sweep& sweep, float cx, float cy, int reach, int step, Best* best) {
    for (int dy = -reach; dy <= reach; dy += step)
        for (int dx = -reach; dx <= reach; dx += step) sweep.Run(cx + dx, cy + dy, best);
    if (best->evidence <= 0) return;
    const float gridX = best->x, gridY = best->y;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) sweep.Run(gridX + dx, gridY + dy, best);
}

// Sub-sample radius from the evidence around the best one.
float RefineRadius(const float* acc, const int* counts, int i, int n, float r0, float dr) {
    if (i <= 0 || i + 1 >= n || !counts[i - 1] || !counts[i + 1]) return r0 + i * dr;
    const float a = acc[i - 1] / counts[i - 1], b = acc[i] / counts[i], c = acc[i + 1] / counts[i + 1];
    const float denom = a - 2 * b + c;
    float off = denom < 0 ? 0.5f * (a - c) / denom : 0;
    off = off > 0.5f ? 0.5f : (off < -0.5f ? -0.5f : off);
    return r0 + (i + off) * dr;
}

// Rays of the fine search whose step at the circle (within 2 px) is clear
// and at least kDominance of the strongest step within a quarter radius
// around it: the circle is the edge there, not one of many.
constexpr float kDominance = 0.6f;
int Support(const View& v, const Circle& c, const int* angles, int rays) {
    int support = 0;
    const float reach = 0.25f * c.r;
    for (int k = 0; k < rays; ++k) {
        const float cs = kTrig.c[angles[k]], sn = kTrig.s[angles[k]];
        float atCircle = 0, around = 0;
        for (float r = c.r - reach; r <= c.r + reach; r += 1) {
            const float in = Sample(v, c.x + (r - 3) * cs, c.y + (r - 3) * sn);
            const float out = Sample(v, c.x + (r + 3) * cs, c.y + (r + 3) * sn);
            if (in < 0 || out < 0) continue;
            const float step = out - in;
            around = Maxf(around, step);
            if (r >= c.r - 2 && r <= c.r + 2) atCircle = Maxf(atCircle, step);
        }
        support += atCircle >= 6 && atCircle >= kDominance * around;
    }
    return support;
}

// The edge points of the limbus within kPolishReach of the accumulated
// circle, one per lateral ray, fitted: the accumulation finds the circle
// among clutter, the fit places it to a fraction of a pixel.
constexpr float kPolishReach = 6;
constexpr float kPolishMove = 7;  // the fit may move the circle this far
bool Polish(const View& v, const Circle& rough, Circle* out) {
    float prof[kMaxProfile];
    EdgePoints pts;
    const int n = static_cast<int>(2 * kPolishReach) + 7;
    for (int i = 0; i < kRays; ++i) {
        const int ai = RayAngle(i);
        const float c = kTrig.c[ai];
        if (c < 0.64f && c > -0.64f) continue;  // within 50 degrees of the horizontal
        const float r0 = rough.r - kPolishReach - 3;
        RayProfile(v, rough.x, rough.y, ai, r0, n, prof);
        Edge e;
        if (!StrongestRise(prof, n, 3, n - 4, 3, 240, &e) || e.rise < 5) continue;
        const float r = r0 + e.pos;
        pts.x[pts.n] = rough.x + r * c;
        pts.y[pts.n] = rough.y + r * kTrig.s[ai];
        ++pts.n;
    }
    Circle fit;
    if (!FitCircleRobust(pts, 16, &fit)) return false;
    const float dx = fit.x - rough.x, dy = fit.y - rough.y, dr = fit.r - rough.r;
    if (dx * dx + dy * dy > kPolishMove * kPolishMove || dr * dr > kPolishMove * kPolishMove) return false;
    *out = fit;
    return true;
}

}  // namespace

bool FindLimbus(const View& v, const Workspace& ws, const Circle& pupil, float minR, float maxR, Circle* iris,
                int* support, float* evidence) {
    // The coarse step reaches 12 px inwards: searching from 16 px outside
    // the pupil keeps the pupil's own edge out of it.
    const float rLo = Maxf(minR, Maxf(pupil.r * kMinIrisToPupil, pupil.r + 16));
    const float rHi = Minf(maxR, pupil.r * kMaxIrisToPupil);
    if (rHi < rLo + 4) return false;
    float acc[kMaxSamples];
    int counts[kMaxSamples];
    int angles[64];
    // Coarse: centres within 12 px of the pupil's (every 2 blocks), radii
    // every 2 px.
    const View coarse{ws.coarse, ws.cw, ws.ch, ws.cw};
    const int coarseRays = LateralAngles(8, angles);
    const int reach = kCoarseHalf + kCoarseGap;  // samples on each side of a step
    const Sweep coarseSweep{coarse, angles, coarseRays, rLo / 4 - 0.5f * reach, 0.5f,
                            Min(kMaxSamples, static_cast<int>((rHi - rLo) / 2) + 2 * reach + 1), kCoarseHalf,
                            kCoarseGap, acc, counts};
    Best best;
    SearchAround(coarseSweep, (pupil.x - 1.5f) / 4, (pupil.y - 1.5f) / 4, 3, 2, &best);
    if (best.evidence <= 0) return false;
    const Circle rough{best.x * 4 + 1.5f, best.y * 4 + 1.5f, best.r * 4};
    // Fine: centres within 4 px of the rough one (every 2 px), radii within
    // 12 px.
    const int rays = LateralAngles(kLimbusRays / 2, angles);
    const float f0 = Maxf(rough.r - 12, rLo - 8);
    const Sweep fineSweep{v, angles, rays, f0, 1, 25, 4, 1, acc, counts};
    Best fine;
    SearchAround(fineSweep, rough.x, rough.y, 4, 2, &fine);
    if (fine.evidence <= 0) return false;
    fineSweep.Run(fine.x, fine.y, &fine);  // the best centre's sums again, for the radius
    const int at = static_cast<int>(fine.r - f0 + 0.5f);
    Circle c{fine.x, fine.y, RefineRadius(acc, counts, at, fineSweep.n, f0, 1)};
    Polish(v, c, &c);
    if (c.r < rLo - 2 || c.r > rHi + 2) return false;
    *iris = c;
    *support = Support(v, c, angles, rays);
    *evidence = fine.evidence;
    return true;
}

}  // namespace iris
