// The limbus: the strongest dark-to-bright circular edge outside the pupil,
// searched on the lateral sectors the lids rarely cover.
#include "modules/iris/iris_rays.h"

namespace iris {
namespace {

bool Lateral(int ai) {
    const float c = kTrig.c[ai];
    return c > 0.64f || c < -0.64f;  // within 50 degrees of the horizontal
}

int CollectEdges(const View& v, float cx, float cy, float r0, float r1, EdgePoints* pts, float* radii) {
    float prof[kMaxProfile];
    const int n = Min(kMaxProfile, static_cast<int>(r1 - r0) + 10);
    pts->n = 0;
    for (int i = 0; i < kRays; ++i) {
        const int ai = RayAngle(i);
        if (!Lateral(ai)) continue;
        RayProfile(v, cx, cy, ai, r0 - 5, n, prof);
        Edge e;
        if (!StrongestRise(prof, n, 5, static_cast<int>(r1 - r0) + 5, 3, 240, &e)) continue;
        if (e.rise < 8 || e.outer < e.inner * 1.12f) continue;
        const float r = r0 - 5 + e.pos;
        radii[pts->n] = r;
        pts->x[pts->n] = cx + r * kTrig.c[ai];
        pts->y[pts->n] = cy + r * kTrig.s[ai];
        ++pts->n;
    }
    return pts->n;
}

// Keeps the points whose radius lies near the median: the limbus, not a
// lash or a lid corner that happened to be stronger on a few rays.
void KeepNearMedian(EdgePoints* pts, const float* radii, float tolerance) {
    float sorted[kRays];
    for (int i = 0; i < pts->n; ++i) sorted[i] = radii[i];
    SortSmall(sorted, pts->n);
    const float median = sorted[pts->n / 2];
    int kept = 0;
    for (int i = 0; i < pts->n; ++i) {
        if (Abs(radii[i] - median) > tolerance * median) continue;
        pts->x[kept] = pts->x[i];
        pts->y[kept] = pts->y[i];
        ++kept;
    }
    pts->n = kept;
}

}  // namespace

bool FindLimbus(const View& v, const Circle& pupil, float minR, float maxR, Circle* iris, int* support) {
    EdgePoints pts;
    float radii[kRays];
    const float r0 = Maxf(minR, pupil.r * 1.25f + 4), r1 = Minf(maxR, pupil.r * 5.5f + 12);
    if (r1 <= r0 + 4) return false;
    if (CollectEdges(v, pupil.x, pupil.y, r0, r1, &pts, radii) < 12) return false;
    KeepNearMedian(&pts, radii, 0.12f);
    Circle c;
    if (!FitCircleRobust(pts, 10, &c)) return false;
    // Second round from the fitted centre, close to the first radius.
    if (CollectEdges(v, c.x, c.y, c.r - 10, c.r + 10, &pts, radii) < 12) return false;
    KeepNearMedian(&pts, radii, 0.06f);
    if (!FitCircleRobust(pts, 10, &c)) return false;
    const float dx = c.x - pupil.x, dy = c.y - pupil.y;
    if (c.r < pupil.r * 1.2f || dx * dx + dy * dy > 0.09f * c.r * c.r) return false;
    *iris = c;
    *support = pts.n;
    return true;
}

}  // namespace iris
