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

// A lid over most of the eye leaves short arcs of both circles: such a pair
// is not an iris to measure. Lateral limbus rays may leave the image when
// the eye sits off centre, so a complete pupil vouches for fewer of them.
// A limbus seen on fewer rays must be a clear step where it is seen (a
// lash line of a closed eye gives a weak, scattered one).
constexpr float kPartialEvidence = 10;
constexpr int kLimbusTries = 8;  // pupil candidates followed out to a limbus
constexpr float kOffsetCost = 2;  // support points per pixel of pupil offset

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
    Workspace ws;
    ws.cw = v.w >> 2;
    ws.ch = v.h >> 2;
    ws.filled = static_cast<uint8_t*>(workspace);
    ws.lineMarks = ws.filled + v.w * v.h;
    ws.coarse = ws.filled + FilledBytes(v.w, v.h);
    const uintptr_t after = reinterpret_cast<uintptr_t>(ws.coarse) + CoarseBytes(v.w, v.h);
    ws.integral = reinterpret_cast<int32_t*>((after + 15) & ~static_cast<uintptr_t>(15));

    MeasureImage(v, out);
    float minR, maxR;
    RadiusRange(image, hints, &minR, &maxR);
    // Reflections out first; every dark candidate is then followed to its
    // edges, and the pair of circles with the most edge points on them wins.
    FillSpecular(v, ws.filled, ws.lineMarks);
    const View filled{ws.filled, v.w, v.h, v.w};
    Candidates candidates;
    CoarsePupils(filled, ws, 6, maxR * 0.75f, &candidates);
    // Pupils first: the limbus search runs from the few best supported.
    Circle pupils[kMaxCandidates];
    int means[kMaxCandidates], supports[kMaxCandidates], order[kMaxCandidates], refined = 0;
    for (int i = 0; i < candidates.n; ++i) {
        pupils[refined] = candidates.c[i];
        if (!RefinePupil(filled, &pupils[refined], &means[refined], &supports[refined]) ||
            SeenBefore(pupils, refined, means, supports))
            continue;
        order[refined] = refined;
        ++refined;
    }
    for (int i = 1; i < refined; ++i)  // most edge points first, stable
        for (int j = i; j > 0 && supports[order[j]] > supports[order[j - 1]]; --j) {
            const int t = order[j];
            order[j] = order[j - 1];
            order[j - 1] = t;
        }
    out->partial = refined > 0;
    Circle pupil, limbus;
    int pupilMean = 0, bestSupport = 0;
    bool paired = false;
    for (int k = 0; k < refined && k < kLimbusTries; ++k) {
        const int i = order[k];
        // A pupil far less round than the best one is not followed out.
        if (supports[i] * 10 < supports[order[0]] * 6) break;
        Circle l;
        int limbusSupport = 0;
        float evidence = 0;
        if (!FindLimbus(filled, ws, pupils[i], minR, maxR, &l, &limbusSupport, &evidence) ||
            !WellSupported(supports[i], limbusSupport, evidence))
            continue;
        const Levels lv = LateralLevels(filled, pupils[i], l);
        if (!LooksLikeAnEye(lv, means[i])) continue;
        // Edge points of both circles (the limbus has fewer rays), less the
        // pupil's offset from the iris centre (eyes are near-concentric),
        // plus the pupil's darkness under the iris (a pupil is the darkest).
        const float dx = pupils[i].x - l.x, dy = pupils[i].y - l.y;
        const int support = supports[i] + limbusSupport * kRays / kLimbusRays -
                            Round(kOffsetCost * Sqrt(dx * dx + dy * dy)) + (lv.iris - means[i]) / 2;
        if (paired && support <= bestSupport) continue;
        paired = true;
        bestSupport = support;
        out->pupilSupport = supports[i];
        out->limbusSupport = limbusSupport;
        out->limbusEvidence = Round(evidence * 10);
        pupil = pupils[i];
        limbus = l;
        pupilMean = means[i];
    }
    if (!paired) return 0;
    out->found = 1;
    out->partial = 0;
    out->pupilX = pupil.x;
    out->pupilY = pupil.y;
    out->pupilRadius = pupil.r;
    out->irisX = limbus.x;
    out->irisY = limbus.y;
    out->irisRadius = limbus.r;
    out->pupilMean = pupilMean;
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
