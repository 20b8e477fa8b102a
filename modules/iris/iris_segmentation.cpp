#include "modules/iris/iris_segmentation.h"

#include "modules/iris/iris_internal.h"

namespace {

using namespace iris;

size_t CoarseBytes(int w, int h) { return static_cast<size_t>((w >> 2) * (h >> 2)); }
size_t IntegralBytes(int w, int h) { return static_cast<size_t>(((w >> 2) + 1) * ((h >> 2) + 1)) * 4; }

void Clear(IrisSegmentation* s) {
    uint8_t* p = reinterpret_cast<uint8_t*>(s);
    for (size_t i = 0; i < sizeof *s; ++i) p[i] = 0;
    s->upperLidY = s->lowerLidY = -1;
}

void RadiusRange(const IrisImage* image, const IrisHints* hints, float* minR, float* maxR) {
    const int side = image->width < image->height ? image->width : image->height;
    *minR = 40;
    *maxR = side * 0.33f;
    if (hints && hints->maxIrisRadius > 0) {
        *minR = Maxf(8, hints->minIrisRadius);
        *maxR = Minf(side * 0.5f, hints->maxIrisRadius);
    }
}

// A lid over most of the eye leaves short arcs of both circles: such a pair
// is not an iris to measure. Lateral limbus rays may leave the image when
// the eye sits off centre, so a complete pupil vouches for fewer of them.
bool WellSupported(int pupilSupport, int limbusSupport) {
    return limbusSupport >= 30 || (limbusSupport >= 20 && pupilSupport >= 100);
}

}  // namespace

extern "C" size_t IrisWorkspaceBytes(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return CoarseBytes(width, height) + 16 + IntegralBytes(width, height);
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
    ws.coarse = static_cast<uint8_t*>(workspace);
    const uintptr_t after = reinterpret_cast<uintptr_t>(ws.coarse) + CoarseBytes(v.w, v.h);
    ws.integral = reinterpret_cast<int32_t*>((after + 15) & ~static_cast<uintptr_t>(15));

    MeasureImage(v, out);
    float minR, maxR;
    RadiusRange(image, hints, &minR, &maxR);
    // Every dark candidate is followed to its edges; the pair of circles with
    // the most edge points on them wins.
    Candidates candidates;
    CoarsePupils(v, ws, 6, maxR * 0.75f, &candidates);
    Circle pupil, limbus;
    int pupilMean = 0, bestSupport = 0;
    for (int i = 0; i < candidates.n; ++i) {
        Circle p = candidates.c[i], l;
        int mean = 0, pupilSupport = 0, limbusSupport = 0;
        if (!RefinePupil(v, &p, &mean, &pupilSupport)) continue;
        out->partial = 1;
        if (!FindLimbus(v, p, minR, maxR, &l, &limbusSupport) || !WellSupported(pupilSupport, limbusSupport))
            continue;
        const int support = pupilSupport + 2 * limbusSupport;  // the limbus has half the rays
        if (support <= bestSupport) continue;
        bestSupport = support;
        out->pupilSupport = pupilSupport;
        out->limbusSupport = limbusSupport;
        pupil = p;
        limbus = l;
        pupilMean = mean;
    }
    if (bestSupport == 0) return 0;
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
