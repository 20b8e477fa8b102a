#include "modules/iris/iris_internal.h"

namespace iris {
namespace {

// Kasa fit: minimises the algebraic distance x^2 + y^2 + Dx + Ey + F.
bool FitCircle(const EdgePoints& pts, Circle* out) {
    if (pts.n < 3) return false;
    double mx = 0, my = 0;
    for (int i = 0; i < pts.n; ++i) {
        mx += pts.x[i];
        my += pts.y[i];
    }
    mx /= pts.n;
    my /= pts.n;
    double suu = 0, suv = 0, svv = 0, suuu = 0, svvv = 0, suvv = 0, svuu = 0;
    for (int i = 0; i < pts.n; ++i) {
        const double u = pts.x[i] - mx, v = pts.y[i] - my;
        suu += u * u;
        suv += u * v;
        svv += v * v;
        suuu += u * u * u;
        svvv += v * v * v;
        suvv += u * v * v;
        svuu += v * u * u;
    }
    const double det = suu * svv - suv * suv;
    if (det > -1e-9 && det < 1e-9) return false;
    const double bu = 0.5 * (suuu + suvv), bv = 0.5 * (svvv + svuu);
    const double uc = (bu * svv - bv * suv) / det;
    const double vc = (bv * suu - bu * suv) / det;
    const double r2 = uc * uc + vc * vc + (suu + svv) / pts.n;
    out->x = static_cast<float>(uc + mx);
    out->y = static_cast<float>(vc + my);
    out->r = Sqrt(static_cast<float>(r2));
    return out->r > 0;
}

float Residual(const EdgePoints& pts, int i, const Circle& c) {
    const float dx = pts.x[i] - c.x, dy = pts.y[i] - c.y;
    return Abs(Sqrt(dx * dx + dy * dy) - c.r);
}

}  // namespace

bool FitCircleRobust(EdgePoints& pts, int minPoints, Circle* out) {
    if (!FitCircle(pts, out)) return false;
    float res[kRays];
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < pts.n; ++i) res[i] = Residual(pts, i, *out);
        float sorted[kRays];
        for (int i = 0; i < pts.n; ++i) sorted[i] = res[i];
        SortSmall(sorted, pts.n);
        const float limit = Maxf(1.0f, 2.5f * sorted[pts.n / 2]);
        int kept = 0;
        for (int i = 0; i < pts.n; ++i) {
            if (res[i] > limit) continue;
            pts.x[kept] = pts.x[i];
            pts.y[kept] = pts.y[i];
            ++kept;
        }
        const bool changed = kept != pts.n;
        pts.n = kept;
        if (pts.n < minPoints || !FitCircle(pts, out)) return false;
        if (!changed) break;
    }
    return pts.n >= minPoints;
}

}  // namespace iris
