#include "modules/iris/iris_segmentation.h"

#include "modules/iris/iris_internal.h"

namespace {

using namespace iris;

size_t FilledBytes(int w, int h) { return static_cast<size_t>(w) * (h + 1); }
size_t CoarseBytes(int w, int h) { return static_cast<size_t>((w >> 2) * (h >> 2)); }
size_t IntegralBytes(int w, int h) { return static_cast<size_t>(((w >> 2) + 1) * ((h >> 2) + 1)) * 4; }

void Clear(IrisSegmentation* s) {
    uint8_t* p = reinterpret_cast<uint8_t*>(s);
    for (size_t i = 0; i < sizeof *s; ++i) p[i] = 0;
    s->upperLidY = s->lowerLidY = -1;
}

// Irises of 50 px and more: at the device's scale (about 100 px) that
// spans eyes twice as far as the usable distance, which are told so.
constexpr float kMinIrisRadius = 50;

void RadiusRange(const IrisImage* image, const IrisHints* hints, float* minR, float* maxR) {
    const int side = image->width < image->height ? image->width : image->height;
    *minR = kMinIrisRadius;
    *maxR = side * 0.33f;
    if (hints && hints->maxIrisRadius > 0) {
        *minR = Maxf(8, hints->minIrisRadius);
        *maxR = Minf(side * 0.5f, hints->maxIrisRadius);
    }
}

constexpr int kLimbusTries = 8;   // pupil candidates followed out to a limbus
constexpr float kOffsetCost = 2;  // support points per pixel of pupil offset
constexpr float kPartialEvidence = 10;

// Candidates often refine to the same circle: the later one is kept only
// when it has more edge points, in the earlier one's slot.
bool SeenBefore(Circle* pupils, int n, int* means, int* supports) {
    for (int k = 0; k < n; ++k) {
        const float dx = pupils[k].x - pupils[n].x, dy = pupils[k].y - pupils[n].y, dr = pupils[k].r - pupils[n].r;
        if (dx * dx + dy * dy + dr * dr > 4) continue;
        if (supports[n] > supports[k]) {
            pupils[k] = pupils[n];
            means[k] = means[n];
            supports[k] = supports[n];
        }
        return true;
    }
    return false;
}

// A lid over most of the eye leaves short arcs of both circles: such a pair
// is not an iris to measure. Lateral limbus rays may leave the image when
// the eye sits off centre, so a well-seen pupil vouches for fewer of them,
// provided the limbus is a clear step where it is seen (a lash line of a
// closed eye gives a weak, scattered one).
bool WellSupported(int pupilSupport, int limbusSupport, float evidence) {
    return limbusSupport * 10 >= kLimbusRays * 7 ||
           (limbusSupport * 12 >= kLimbusRays * 5 && pupilSupport * 10 >= kRays * 7 && evidence >= kPartialEvidence);
}

// An eye's layers grow brighter outwards: pupil, iris, sclera. A lash line
// or a dark corner of a closed eye paired with some circle around it does
// not.
constexpr int kMinIrisOverPupil = 12, kMinScleraOverIris = 6;
bool LooksLikeAnEye(const Levels& lv, int pupilMean) {
    return lv.iris >= pupilMean + kMinIrisOverPupil && lv.sclera >= lv.iris + kMinScleraOverIris;
}

Workspace CarveWorkspace(const View& v, void* workspace) {
    Workspace ws;
    ws.cw = v.w >> 2;
    ws.ch = v.h >> 2;
    ws.filled = static_cast<uint8_t*>(workspace);
    ws.lineMarks = ws.filled + v.w * v.h;
    ws.coarse = ws.filled + FilledBytes(v.w, v.h);
    const uintptr_t after = reinterpret_cast<uintptr_t>(ws.coarse) + CoarseBytes(v.w, v.h);
    ws.integral = reinterpret_cast<int32_t*>((after + 15) & ~static_cast<uintptr_t>(15));
    return ws;
}

// Refined pupil circles, distinct, with their means and edge points; `order`
// lists them most edge points first.
struct RefinedPupils {
    Circle c[kMaxCandidates];
    int mean[kMaxCandidates], support[kMaxCandidates], order[kMaxCandidates];
    int n = 0;
};

void Refine(const View& filled, const Candidates& candidates, RefinedPupils* out) {
    out->n = 0;
    for (int i = 0; i < candidates.n; ++i) {
        const int k = out->n;
        out->c[k] = candidates.c[i];
        if (!RefinePupil(filled, &out->c[k], &out->mean[k], &out->support[k]) ||
            SeenBefore(out->c, k, out->mean, out->support))
            continue;
        out->order[k] = k;
        ++out->n;
    }
    for (int i = 1; i < out->n; ++i)  // most edge points first, stable
        for (int j = i; j > 0 && out->support[out->order[j]] > out->support[out->order[j - 1]]; --j) {
            const int t = out->order[j];
            out->order[j] = out->order[j - 1];
            out->order[j - 1] = t;
        }
}

struct Pair {
    Circle pupil, limbus;
    int pupilMean = 0, pupilSupport = 0, limbusSupport = 0;
    float evidence = 0;
};

// The limbus searched from the best-supported pupils; the best pair by edge
// points of both circles (the limbus has fewer rays), less the pupil's
// offset from the iris centre (eyes are near-concentric), plus the pupil's
// darkness under the iris (a pupil is the darkest). False when no pair is
// an eye.
bool BestPair(const View& filled, const Workspace& ws, const RefinedPupils& pupils, float minR, float maxR,
              Pair* best) {
    int bestScore = 0;
    bool paired = false;
    for (int k = 0; k < pupils.n && k < kLimbusTries; ++k) {
        const int i = pupils.order[k];
        // A pupil far less round than the best one is not followed out.
        if (pupils.support[i] * 10 < pupils.support[pupils.order[0]] * 6) break;
        Pair p;
        p.pupil = pupils.c[i];
        p.pupilMean = pupils.mean[i];
        p.pupilSupport = pupils.support[i];
        if (!FindLimbus(filled, ws, p.pupil, minR, maxR, &p.limbus, &p.limbusSupport, &p.evidence) ||
            !WellSupported(p.pupilSupport, p.limbusSupport, p.evidence))
            continue;
        const Levels lv = LateralLevels(filled, p.pupil, p.limbus);
        if (!LooksLikeAnEye(lv, p.pupilMean)) continue;
        const float dx = p.pupil.x - p.limbus.x, dy = p.pupil.y - p.limbus.y;
        const int score = p.pupilSupport + p.limbusSupport * kRays / kLimbusRays -
                          Round(kOffsetCost * Sqrt(dx * dx + dy * dy)) + (lv.iris - p.pupilMean) / 2;
        if (paired && score <= bestScore) continue;
        paired = true;
        bestScore = score;
        *best = p;
    }
    return paired;
}

}  // namespace

extern "C" size_t IrisWorkspaceBytes(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return FilledBytes(width, height) + CoarseBytes(width, height) + 16 + IntegralBytes(width, height);
}

extern "C" int IrisSegment(const IrisImage* image, const IrisHints* hints, void* workspace,
                           size_t workspaceBytes, IrisSegmentation* out) {
    if (!out) return -1;
    Clear(out);
    if (!image || !image->pixels || !workspace || image->width < 64 || image->height < 64 ||
        image->stride < image->width || workspaceBytes < IrisWorkspaceBytes(image->width, image->height))
        return -1;
    const View v{image->pixels, image->width, image->height, image->stride};
    const Workspace ws = CarveWorkspace(v, workspace);
    MeasureImage(v, out);
    float minR, maxR;
    RadiusRange(image, hints, &minR, &maxR);
    // Reflections out first; every dark candidate is then followed to its
    // edges, and the best pair of circles wins.
    FillSpecular(v, ws.filled, ws.lineMarks);
    const View filled{ws.filled, v.w, v.h, v.w};
    Candidates candidates;
    CoarsePupils(filled, ws, 6, maxR * 0.75f, &candidates);
    RefinedPupils pupils;
    Refine(filled, candidates, &pupils);
    out->partial = pupils.n > 0;
    Pair pair;
    const bool paired = BestPair(filled, ws, pupils, minR, maxR, &pair);
    if (!paired) return 0;
    out->found = 1;
    out->partial = 0;
    out->pupilX = pair.pupil.x;
    out->pupilY = pair.pupil.y;
    out->pupilRadius = pair.pupil.r;
    out->irisX = pair.limbus.x;
    out->irisY = pair.limbus.y;
    out->irisRadius = pair.limbus.r;
    out->pupilMean = pair.pupilMean;
    out->pupilSupport = pair.pupilSupport;
    out->limbusSupport = pair.limbusSupport;
    out->limbusEvidence = Round(pair.evidence * 10);
    Measure(v, out);
    return 1;
}

extern "C" void IrisUnwrap(const IrisImage* image, const IrisSegmentation* seg, uint8_t* out, int side) {
    if (!image || !image->pixels || !seg || !out || side <= 0) return;
    const View v{image->pixels, image->width, image->height, image->stride};
    for (int a = 0; a < side; ++a) {
        // y grows down in the image: counter-clockwise on screen is -sin.
        const int ai = a * kAngleSteps / side;
        const float c = kTrig.c[ai], s = -kTrig.s[ai];
        const float px = seg->pupilX + seg->pupilRadius * c, py = seg->pupilY + seg->pupilRadius * s;
        const float ix = seg->irisX + seg->irisRadius * c, iy = seg->irisY + seg->irisRadius * s;
        for (int r = 0; r < side; ++r) {
            const float t = side > 1 ? static_cast<float>(r) / (side - 1) : 0;
            const float p = Sample(v, px + (ix - px) * t, py + (iy - py) * t);
            out[r * side + a] = p < 0 ? 0 : static_cast<uint8_t>(p + 0.5f);
        }
    }
}
