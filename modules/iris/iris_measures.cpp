// Figures of a segmented eye: lid margins and opening, reflections,
// saturation, gray levels and focus of the visible iris ring.
#include "modules/iris/iris_internal.h"

namespace iris {

Levels LateralLevels(const View& v, const Circle& pupil, const Circle& iris) {
    int irisSum = 0, irisN = 0, scleraSum = 0, scleraN = 0;
    for (int a = -40; a <= 40; a += 8)
        for (int side = 0; side < 2; ++side) {
            const int ai = ((side ? kAngleSteps / 2 : 0) + a + kAngleSteps) % kAngleSteps;
            const float c = kTrig.c[ai], sn = kTrig.s[ai];
            for (float t = 0.15f; t < 0.9f; t += 0.1f) {
                const float r = pupil.r + t * (iris.r - pupil.r);
                const float p = Sample(v, iris.x + r * c, iris.y + r * sn);
                if (p >= 0 && p < 235) irisSum += static_cast<int>(p), ++irisN;
            }
            for (float t = 1.1f; t < 1.3f; t += 0.05f) {
                const float p = Sample(v, iris.x + iris.r * t * c, iris.y + iris.r * t * sn);
                if (p >= 0) scleraSum += static_cast<int>(p), ++scleraN;  // a clipped sclera is bright too
            }
        }
    return Levels{irisN ? irisSum / irisN : 0, scleraN ? scleraSum / scleraN : 0};
}

namespace {

// Mean of five pixels across a column, or -1 outside.
float ColumnSample(const View& v, int x, int y) {
    if (x < 2 || x >= v.w - 2 || y < 0 || y >= v.h) return -1;
    const uint8_t* p = v.p + y * v.s + x;
    return (p[-2] + p[-1] + p[0] + p[1] + p[2]) * (1.0f / 5);
}

constexpr float kMinSkinAboveIris = 35;
constexpr int kLidRun = 5;            // rows off the iris's levels that make a lid
constexpr int kReflectionShadow = 8;  // rows after a reflection that cannot be skin
constexpr int kMinIrisBeyond = 10;    // rows of iris beyond a bright run that make it a patch

// Whether pixel p at (x, y) reads as lid (skin or lashes) on a lid scan.
struct LidTest {
    const View& v;
    const IrisSegmentation& s;
    float darkLimit, brightLimit, reflectionLimit;
    bool Lid(int x, int y, float p, bool afterReflection) const {
        // Inside the pupil anything but its darkness is lid or lash; around a
        // (possibly blurred) pupil edge only skin brightness counts; beyond it
        // lashes' darkness counts too.
        const float px = x - s.pupilX, py = y - s.pupilY, d2 = px * px + py * py;
        const float core = Maxf(0, s.pupilRadius - 6), fringe = s.pupilRadius + 8;
        if (d2 < core * core) return p > static_cast<float>(s.pupilMean) + 30 && !afterReflection;
        return (p > brightLimit && !afterReflection) || (d2 > fringe * fringe && p < darkLimit);
    }
};

// Iris-like rows between row `from` and the end of the scan: a lid covers
// the iris to its edge, a reflection of glasses has iris beyond it.
int IrisRowsBeyond(const LidTest& t, int x, int from, int step, int rows) {
    int iris = 0;
    for (int i = 0; i < rows; ++i) {
        const int y = from + i * step;
        const float p = ColumnSample(t.v, x, y);
        if (p < 0) break;
        iris += p < t.reflectionLimit && !t.Lid(x, y, p, false);
    }
    return iris;
}

// Row where a lid starts, scanning from `from` by `step` (+-1) for at most
// `length` rows; -1 when the iris runs to the end. Inside the pupil only
// brightness (skin) counts: lashes there are as dark as the pupil.
int LidRow(const LidTest& t, int x, int from, int step, int length) {
    int run = 0, sinceReflection = kReflectionShadow;
    for (int i = 0; i < length; ++i) {
        const int y = from + i * step;
        const float p = ColumnSample(t.v, x, y);
        if (p < 0) return y;  // the image ends: the iris is cut there
        // A reflection's blurred fringe is as bright as skin for a few rows.
        sinceReflection = p >= t.reflectionLimit ? 0 : sinceReflection + 1;
        const bool afterReflection = p >= t.reflectionLimit || sinceReflection < kReflectionShadow;
        run = t.Lid(x, y, p, afterReflection) ? run + 1 : 0;
        if (run < kLidRun) continue;
        const int left = length - i - 1;
        if (IrisRowsBeyond(t, x, y + step, step, left) * 10 < Max(kMinIrisBeyond, left) * 3) {
            return y - (kLidRun - 1) * step;
        }
        run = 0;  // iris again beyond it: a bright patch on the iris, not a lid
    }
    return -1;
}

int MedianRow(int* rows, int n) {
    float v[16];
    for (int i = 0; i < n; ++i) v[i] = static_cast<float>(rows[i]);
    SortSmall(v, n);
    return static_cast<int>(v[n / 2]);
}

void MeasureLids(const View& v, const Levels& lv, IrisSegmentation* s) {
    const float darkLimit = 0.35f * lv.iris;
    // Skin is brighter than the iris texture: on a bright iris close to its
    // sclera's level, texture alone must not read as a lid.
    const float brightLimit = Maxf(lv.iris + 0.7f * ((lv.sclera > lv.iris ? lv.sclera : lv.iris + 60) - lv.iris),
                                   lv.iris + kMinSkinAboveIris);
    // Skin is about as bright as the sclera; brighter is a reflection.
    const float reflectionLimit = Minf(210, Maxf(brightLimit + 20, lv.sclera + 25.0f));
    const int top = Floor(s->irisY - s->irisRadius), bottom = Floor(s->irisY + s->irisRadius);
    const LidTest test{v, *s, darkLimit, brightLimit, reflectionLimit};
    int ups[9], downs[9];
    for (int k = 0; k < 9; ++k) {
        const int x = Round(s->irisX + (k - 4) * 0.11f * s->irisRadius);
        const int from = Round(s->pupilY);
        const int up = LidRow(test, x, from, -1, from - top + 1);
        const int down = LidRow(test, x, from, 1, bottom - from + 1);
        ups[k] = up < 0 ? top - 1 : up;
        downs[k] = down < 0 ? bottom + 1 : down;
    }
    const int up = MedianRow(ups, 9), down = MedianRow(downs, 9);
    s->upperLidY = up < top ? -1 : up;
    s->lowerLidY = down > bottom ? -1 : down;
    const int upEdge = up < top ? top : up, downEdge = down > bottom ? bottom : down;
    const float diameter = 2 * s->irisRadius;
    s->openingPercent = Max(0, Min(100, Round(100.0f * (downEdge - upEdge) / diameter)));
    s->upperCoveredPermille = Max(0, Min(1000, Round(1000.0f * (upEdge - top) / s->irisRadius)));
    s->lowerCoveredPermille = Max(0, Min(1000, Round(1000.0f * (bottom - downEdge) / s->irisRadius)));
}

// Reflections are brighter than the iris texture around them: 1.3 times
// the lateral iris level and 25 more.
// Saturated pixels within 3 px: the illuminators' highlights on the cornea
// are small and saturated; reflections of glasses are broad and rarely are.
bool NearHighlight(const View& v, int x, int y) {
    return v.At(x, y) >= 250 || v.At(x - 3, y) >= 250 || v.At(x + 3, y) >= 250 || v.At(x, y - 3) >= 250 ||
           v.At(x, y + 3) >= 250;
}

bool BroadlyBright(const View& v, int x, int y, int level) {
    return v.At(x - 3, y) >= level && v.At(x + 3, y) >= level && v.At(x, y - 3) >= level && v.At(x, y + 3) >= level;
}

// Sum of the 2 x 2 pixels from (x, y): the focus figure's gradients are taken
// on these, so sensor noise (raised by the pipeline's sharpening) weighs less.
int Block(const View& v, int x, int y) {
    const uint8_t* p = v.p + y * v.s + x;
    return p[0] + p[1] + p[v.s] + p[v.s + 1];
}

void MeasureRing(const View& v, int irisLevel, int scleraLevel, IrisSegmentation* s) {
    const int glareLevel = Min(235, Max(irisLevel * 13 / 10 + 25, scleraLevel - 20));
    const float rIn = s->pupilRadius * 1.15f + 1, rOut = s->irisRadius * 0.92f;
    const int top = s->upperLidY >= 0 ? s->upperLidY + 2 : Floor(s->irisY - rOut);
    const int bottom = s->lowerLidY >= 0 ? s->lowerLidY - 2 : Floor(s->irisY + rOut);
    int glare = 0, visible = 0, sum = 0, gradSum = 0, gradN = 0;
    for (int y = Max(3, top); y <= Min(v.h - 4, bottom); y += 2)
        for (int x = Max(3, Floor(s->irisX - rOut)); x <= Min(v.w - 4, Floor(s->irisX + rOut)); x += 2) {
            const float dx = x - s->irisX, dy = y - s->irisY;
            const float d2 = dx * dx + dy * dy;
            const float px = x - s->pupilX, py = y - s->pupilY;
            if (d2 > rOut * rOut || px * px + py * py < rIn * rIn) continue;
            ++visible;
            const int p = v.At(x, y);
            if (NearHighlight(v, x, y)) continue;  // the cornea's own small highlights
            if (p >= glareLevel) {
                // A reflection is a broad patch; the bright fibres of a real
                // iris's collarette are a pixel or two wide.
                glare += BroadlyBright(v, x, y, glareLevel);
                continue;
            }
            sum += p;
            const int gx = Block(v, x + 2, y) - Block(v, x - 3, y), gy = Block(v, x, y + 2) - Block(v, x, y - 3);
            gradSum += (gx < 0 ? -gx : gx) + (gy < 0 ? -gy : gy);
            ++gradN;
        }
    s->glarePermille = visible ? glare * 1000 / visible : 0;
    s->irisMean = gradN ? sum / gradN : 0;
    const float g = gradN ? static_cast<float>(gradSum) / gradN : 0;
    s->sharpness = Min(1000, Round(1000.0f * g / (16.0f * (s->irisMean + 4))));
}

// Saturation over the iris ring, pupil excluded: a bright sclera or skin
// around a well-exposed iris says nothing of the eye.
void MeasureSaturation(const View& v, IrisSegmentation* s) {
    const float r = s->irisRadius, rp = s->pupilRadius;
    int saturated = 0, count = 0;
    for (int y = Max(0, Floor(s->irisY - r)); y <= Min(v.h - 1, Floor(s->irisY + r)); y += 2)
        for (int x = Max(0, Floor(s->irisX - r)); x <= Min(v.w - 1, Floor(s->irisX + r)); x += 2) {
            const float dx = x - s->irisX, dy = y - s->irisY, px = x - s->pupilX, py = y - s->pupilY;
            if (dx * dx + dy * dy > r * r || px * px + py * py < rp * rp) continue;
            ++count;
            saturated += v.At(x, y) >= 250;
        }
    s->saturatedPermille = count ? saturated * 1000 / count : 0;
}

}  // namespace

void Measure(const View& v, IrisSegmentation* s) {
    const Levels lv = LateralLevels(v, Circle{s->pupilX, s->pupilY, s->pupilRadius},
                                    Circle{s->irisX, s->irisY, s->irisRadius});
    s->scleraMean = lv.sclera;
    MeasureLids(v, lv, s);
    MeasureRing(v, lv.iris, lv.sclera, s);
    MeasureSaturation(v, s);
    const IrisImage image{v.p, v.w, v.h, v.s};
    s->edgeFocus = IrisPupilEdgeSteepness(&image, s->pupilX, s->pupilY, s->pupilRadius);
}

}  // namespace iris

namespace iris {

void MeasureImage(const View& v, IrisSegmentation* s) {
    int32_t sum = 0;  // at most 255 x 720 x 720 / 16
    int count = 0, saturated = 0;
    for (int y = 0; y < v.h; y += 4)
        for (int x = 0; x < v.w; x += 4) {
            const int p = v.At(x, y);
            sum += p;
            saturated += p >= 250;
            ++count;
        }
    s->imageMean = sum / count;
    s->imageSaturatedPermille = saturated * 1000 / count;
}

}  // namespace iris

extern "C" int IrisPupilEdgeSteepness(const IrisImage* image, float x, float y, float r) {
    using namespace iris;
    constexpr int kEdgeRays = 128, kReach = 8, kSamples = 2 * kReach + 1;
    if (!image || !image->pixels) return 0;
    const View v{image->pixels, image->width, image->height, image->stride};
    float ratios[kEdgeRays];
    int n = 0;
    for (int i = 0; i < kEdgeRays; ++i) {
        const int ai = i * (kAngleSteps / kEdgeRays);
        const float c = kTrig.c[ai], sn = kTrig.s[ai];
        float prof[kSamples];
        bool valid = true;
        for (int k = 0; k < kSamples && valid; ++k) {
            const float d = r - kReach + k;
            prof[k] = Sample(v, x + d * c, y + d * sn);
            valid = prof[k] >= 0 && prof[k] < 200;  // a reflection spoils the ray
        }
        if (!valid) continue;
        const float step = (prof[kSamples - 3] + prof[kSamples - 2] + prof[kSamples - 1] - prof[0] - prof[1] - prof[2]) / 3;
        if (step < 20) continue;
        float rise = 0;
        for (int k = 3; k < kSamples - 3; ++k) rise = Maxf(rise, prof[k + 1] - prof[k]);
        ratios[n++] = rise / step;
    }
    if (n < kEdgeRays / 8) return 0;
    SortSmall(ratios, n);
    return Min(1000, Round(1000 * ratios[n / 2]));
}
