// The pupil: the darkest disc with a brighter surround on a coarse image,
// then refined by a radial search for its dark-to-bright edge.
#include "modules/iris/iris_rays.h"

namespace iris {
namespace {

int32_t BoxSum(const Workspace& ws, int x0, int y0, int x1, int y1) {  // inclusive-exclusive
    const int stride = ws.cw + 1;
    return ws.integral[y1 * stride + x1] - ws.integral[y0 * stride + x1] - ws.integral[y1 * stride + x0] +
           ws.integral[y0 * stride + x0];
}

void BuildCoarse(const View& v, const Workspace& ws) {
    for (int cy = 0; cy < ws.ch; ++cy)
        for (int cx = 0; cx < ws.cw; ++cx) {
            int sum = 0;
            for (int y = 0; y < 4; ++y) {
                const uint8_t* row = v.p + (cy * 4 + y) * v.s + cx * 4;
                for (int x = 0; x < 4; ++x) sum += row[x];
            }
            ws.coarse[cy * ws.cw + cx] = static_cast<uint8_t>(sum >> 4);
        }
    const int stride = ws.cw + 1;
    for (int x = 0; x <= ws.cw; ++x) ws.integral[x] = 0;
    for (int y = 0; y < ws.ch; ++y) {
        int32_t run = 0;
        ws.integral[(y + 1) * stride] = 0;
        for (int x = 0; x < ws.cw; ++x) {
            run += ws.coarse[y * ws.cw + x];
            ws.integral[(y + 1) * stride + x + 1] = ws.integral[y * stride + x + 1] + run;
        }
    }
}

}  // namespace

namespace {

constexpr float kMinContrast = 0.15f;  // (surround - inside) / (inside + 10) of a candidate
constexpr float kSameSize = 1.6f;      // radius ratio below which two discs are of one size

// Candidates are kept per size band, kPerBand in each: dark lash clusters
// (small and very dark) cannot crowd out a gray pupil of twice their size.
constexpr int kBands = 4, kPerBand = kMaxCandidates / kBands;
int BandOf(float r) { return r < 12 ? 0 : (r < 24 ? 1 : (r < 48 ? 2 : 3)); }

// Keeps the best scores, one per place: a better candidate overlapping a
// kept one of about its size replaces it.
void Offer(Candidates* list, float x, float y, float r, float score) {
    int slot = -1, inBand = 0, weakest = -1;
    for (int i = 0; i < list->n; ++i) {
        // Nested discs of other sizes (a pupil inside its iris) are other
        // places: only one of about the same size overlaps this one.
        const float small = Minf(list->c[i].r, r), large = Maxf(list->c[i].r, r);
        const float dx = list->c[i].x - x, dy = list->c[i].y - y;
        if (large < kSameSize * small && dx * dx + dy * dy < large * large) {
            if (list->score[i] >= score) return;
            slot = i;
            break;
        }
        if (BandOf(list->c[i].r) != BandOf(r)) continue;
        ++inBand;
        if (weakest < 0 || list->score[i] < list->score[weakest]) weakest = i;
    }
    if (slot < 0) {
        if (inBand < kPerBand) {
            slot = list->n++;
        } else {
            if (list->score[weakest] >= score) return;
            slot = weakest;
        }
    }
    list->c[slot] = Circle{x, y, r};
    list->score[slot] = score;
}

}  // namespace

int CoarsePupils(const View& v, const Workspace& ws, float minR, float maxR, Candidates* out) {
    BuildCoarse(v, ws);
    out->n = 0;
    for (float k = Maxf(2.0f, minR / 4); k <= maxR / 4; k *= 1.12f) {
        const int a = Max(1, Round(0.7f * k)), b = Round(1.6f * k) + 1;
        const float areaIn = static_cast<float>((2 * a) * (2 * a));
        const float areaRing = static_cast<float>((2 * b) * (2 * b)) - areaIn;
        // Large discs are placed every second block: the refinement moves
        // them to the edge anyway.
        const int stride = k >= 8 ? 2 : 1;
        for (int y = b; y + b <= ws.ch; y += stride)
            for (int x = b; x + b <= ws.cw; x += stride) {
                const int32_t in = BoxSum(ws, x - a, y - a, x + a, y + a);
                const int32_t all = BoxSum(ws, x - b, y - b, x + b, y + b);
                const float meanIn = in / areaIn, meanRing = (all - in) / areaRing;
                // A pupil is darker than its surround, whatever its own gray:
                // near black to mid gray on real eyes.
                if (meanRing - meanIn < 15) continue;
                const float score = (meanRing - meanIn) / (meanIn + 10);
                if (score > kMinContrast) Offer(out, x * 4.0f, y * 4.0f, k * 4, score);
            }
    }
    return out->n;
}

namespace {

// The pupil's edge on one ray: of the places where the profile leaves the
// pupil's darkness, the steepest rise.
bool SteepestExit(const float* prof, int n, float darkLimit, float* pos) {
    int dark = 0;  // a reflection near the centre comes before the pupil's dark
    float best = 0;
    for (int i = 1; i + 1 < n; ++i) {
        if (prof[i] < 0) break;
        if (prof[i] <= darkLimit) {
            ++dark;
            continue;
        }
        if (dark < 3 || prof[i] > 200) {
            dark = 0;
            continue;
        }
        dark = 0;
        Edge e;
        // A blurred edge starts rising well before the limit is crossed.
        if (!StrongestRise(prof, n, i - 5, i + 3, 2, 225, &e) || e.rise < 10 || e.inner > darkLimit + 15) continue;
        // Of the places the darkness is left, the steepest: the haze of a
        // reflection or a dimmer LED inside a gray pupil rises far less
        // than the iris.
        if (e.rise > best) {
            best = e.rise;
            *pos = e.pos;
        }
    }
    return best > 0;
}

// One round of edge search from `guess`'s centre out to r1; fits the edge.
// Every `stride`th of the kRays rays.
bool PupilRound(const View& v, const Circle& guess, float r0, float r1, float darkLimit, int stride, Circle* out,
                int* support) {
    float prof[kMaxProfile];
    EdgePoints pts;
    const int n = Min(kMaxProfile, static_cast<int>(r1 - r0) + 4);
    for (int i = 0; i < kRays; i += stride) {
        const int ai = RayAngle(i);
        RayProfile(v, guess.x, guess.y, ai, r0, n, prof);
        float pos;
        if (!SteepestExit(prof, n, darkLimit, &pos)) continue;
        const float r = r0 + pos;
        pts.x[pts.n] = guess.x + r * kTrig.c[ai];
        pts.y[pts.n] = guess.y + r * kTrig.s[ai];
        ++pts.n;
    }
    const bool fitted = FitCircleRobust(pts, kRays / 4 / stride, out);
    *support = pts.n;
    return fitted;
}

// The gray level below which `permille` of the pixels between radii r0 and
// r1 of the centre lie, every `step`th pixel on both axes.
int LevelBetween(const View& v, const Circle& c, float r0, float r1, int step, int permille) {
    int histogram[256] = {};
    int count = 0;
    for (int y = Max(0, Floor(c.y - r1)); y <= Min(v.h - 1, Floor(c.y + r1)); y += step)
        for (int x = Max(0, Floor(c.x - r1)); x <= Min(v.w - 1, Floor(c.x + r1)); x += step) {
            const float dx = x - c.x, dy = y - c.y, d2 = dx * dx + dy * dy;
            if (d2 > r1 * r1 || d2 < r0 * r0) continue;
            ++histogram[v.At(x, y)];
            ++count;
        }
    const int wanted = count * permille / 1000;
    int seen = 0;
    for (int g = 0; g < 256; ++g) {
        seen += histogram[g];
        if (seen > wanted) return g;
    }
    return 255;
}

int MeanInside(const View& v, const Circle& c, float fraction) {
    const float r = c.r * fraction;
    int sum = 0, count = 0;
    for (int y = Max(0, Floor(c.y - r)); y <= Min(v.h - 1, Floor(c.y + r)); ++y)
        for (int x = Max(0, Floor(c.x - r)); x <= Min(v.w - 1, Floor(c.x + r)); ++x) {
            const float dx = x - c.x, dy = y - c.y;
            if (dx * dx + dy * dy > r * r) continue;
            const int p = v.At(x, y);
            if (p > 200) continue;  // reflections
            sum += p;
            ++count;
        }
    return count ? sum / count : 255;
}

}  // namespace

constexpr float kMinDarkMargin = 15;
constexpr int kNearRingMargin = 30;
constexpr int kScleraOverIris = 40;

bool RefinePupil(const View& v, Circle* pupil, int* pupilMean, int* support) {
    // The pupil's darkness ends half way to the iris around it: a gray pupil,
    // or the haze of reflections inside a dark one, stays below that.
    const int inner = LevelBetween(v, *pupil, 0, Maxf(4, pupil->r * 0.5f), 1, 500);
    // The iris is read beyond the candidate; close by where the candidate is
    // not still inside the pupil, since a large pupil leaves only a narrow
    // ring of iris before the bright sclera.
    const int far = LevelBetween(v, *pupil, pupil->r * 1.5f, pupil->r * 2.5f + 4, 2, 500);
    const int near = LevelBetween(v, *pupil, pupil->r * 1.2f, pupil->r * 1.6f + 4, 2, 500);
    const bool farIsSclera = near > inner + kNearRingMargin && far > near + kScleraOverIris;
    const int around = farIsSclera ? near : far;
    const float darkLimit = Maxf(inner + kMinDarkMargin, 0.5f * (inner + around));
    Circle c;
    // A first look on half the rays; the fit on all of them.
    if (!PupilRound(v, *pupil, 1, pupil->r * 2.2f + 10, darkLimit, 2, &c, support)) return false;
    Circle d;
    if (!PupilRound(v, c, Maxf(1, c.r * 0.5f), c.r * 1.3f + 4, darkLimit, 1, &d, support)) return false;
    d.r -= 0.5f;  // the sharpened edge clips its dark undershoot only: the step sits half a pixel out
    *pupil = d;
    *pupilMean = MeanInside(v, d, 0.8f);
    return true;
}

}  // namespace iris
