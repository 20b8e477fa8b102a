#include "modules/judge/judge_quality.h"

#include "modules/iris/iris_segmentation.h"
#include "modules/judge/judge_math.h"

namespace {

// A 256-bin histogram with the order statistics the components need.
struct Histogram {
    uint32_t bins[256] = {};
    uint32_t count = 0;
    void Add(uint8_t v) {
        ++bins[v];
        ++count;
    }
    double Quantile(double q) const {
        if (count == 0) return 0;
        const uint32_t rank = static_cast<uint32_t>(q * (count - 1));
        uint32_t seen = 0;
        for (int v = 0; v < 256; ++v) {
            seen += bins[v];
            if (seen > rank) return v;
        }
        return 255;
    }
    double Mean() const {
        double sum = 0;
        for (int v = 0; v < 256; ++v) sum += static_cast<double>(bins[v]) * v;
        return count ? sum / count : 0;
    }
    double EntropyBits() const {
        if (count == 0) return 0;
        double h = 0;
        for (int v = 0; v < 256; ++v)
            if (bins[v]) {
                const double p = static_cast<double>(bins[v]) / count;
                h -= p * JudgeLog2(p);
            }
        return h;
    }
};

// Pixel rectangle around a circle, clipped to the picture.
struct Box {
    int x0, y0, x1, y1;  // inclusive-exclusive
};
Box BoxAround(const GrayView& img, double cx, double cy, double r) {
    Box b{JudgeFloor(cx - r), JudgeFloor(cy - r), JudgeFloor(cx + r) + 2, JudgeFloor(cy + r) + 2};
    b.x0 = b.x0 < 0 ? 0 : b.x0;
    b.y0 = b.y0 < 0 ? 0 : b.y0;
    b.x1 = b.x1 > img.width ? img.width : b.x1;
    b.y1 = b.y1 > img.height ? img.height : b.y1;
    return b;
}

double Sq(double v) { return v * v; }

// The ring between the two boundaries, kept clear of both edges.
struct Ring {
    const IrisCircles& c;
    double inner2, outer2;
    Ring(const IrisCircles& circles, double innerPad, double outerPad)
        : c(circles),
          inner2(Sq(circles.pupilR + innerPad * (circles.irisR - circles.pupilR))),
          outer2(Sq(circles.irisR - outerPad * (circles.irisR - circles.pupilR))) {}
    bool Contains(int x, int y) const {
        return Sq(x - c.pupilX) + Sq(y - c.pupilY) > inner2 && Sq(x - c.irisX) + Sq(y - c.irisY) < outer2;
    }
};

// Band of gray levels counted as iris texture. The ring is cut into eight
// sectors; the reference level ignores the sectors that lids, lashes or
// reflections cover, and the band's median and spread come from the sectors
// close to it.
struct IrisBand {
    double lo = 0, hi = 255, median = 0;
};
int SectorOf(double dx, double dy) {
    // Octant from the signs and the larger magnitude, without trigonometry.
    const bool right = dx >= 0, down = dy >= 0, steep = JudgeAbs(dy) > JudgeAbs(dx);
    return (right ? 0 : 4) + (down ? 0 : 2) + (steep ? 1 : 0);
}
// Reflections and lid skin only brighten sectors, lashes darken a few: the
// second darkest sector mean is the iris's own level.
double SecondLowest(const double* v, int n) {
    double lowest = 1e300, second = 1e300;
    for (int i = 0; i < n; ++i) {
        if (v[i] < lowest) {
            second = lowest;
            lowest = v[i];
        } else if (v[i] < second) {
            second = v[i];
        }
    }
    return n >= 2 ? second : (n == 1 ? lowest : 0);
}

IrisBand FindIrisBand(const GrayView& img, const IrisCircles& c) {
    constexpr int kSectors = 8;
    double sum[kSectors] = {}, count[kSectors] = {};
    const Ring ring(c, 0.15, 0.15);
    const Box b = BoxAround(img, c.irisX, c.irisY, c.irisR);
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x)
            if (ring.Contains(x, y)) {
                const int s = SectorOf(x - c.irisX, y - c.irisY);
                sum[s] += img.At(x, y);
                ++count[s];
            }
    double means[kSectors];
    int filled = 0;
    for (int s = 0; s < kSectors; ++s)
        if (count[s] > 0) means[filled++] = sum[s] / count[s];
    const double reference = SecondLowest(means, filled);
    Histogram h;
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
            if (!ring.Contains(x, y)) continue;
            const int s = SectorOf(x - c.irisX, y - c.irisY);
            if (count[s] > 0 && JudgeAbs(sum[s] / count[s] - reference) <= 0.15 * reference + 4) h.Add(img.At(x, y));
        }
    IrisBand band;
    band.median = h.Quantile(0.5);
    const double spread = h.Quantile(0.75) - h.Quantile(0.25);
    band.lo = band.median - JudgeMax(2.5 * spread, 0.3 * band.median + 8);
    band.hi = band.median + JudgeMax(1.5 * spread, 25);
    return band;
}

// A reflection's faint rim is as unreadable as its core: a pixel counts as
// covered when one 3 pixels away in a row or a column is above the band.
bool NearReflection(const GrayView& img, int x, int y, double hi) {
    constexpr int kRim = 3;
    if (x >= kRim && img.At(x - kRim, y) > hi) return true;
    if (x + kRim < img.width && img.At(x + kRim, y) > hi) return true;
    if (y >= kRim && img.At(x, y - kRim) > hi) return true;
    return y + kRim < img.height && img.At(x, y + kRim) > hi;
}

// Usable iris pixels: inside the ring, within the texture band and clear of
// reflections.
void UsableIris(const GrayView& img, const IrisCircles& c, const IrisBand& band, Histogram* usable) {
    const Ring ring(c, 0.05, 0.03);
    const Box b = BoxAround(img, c.irisX, c.irisY, c.irisR);
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
            if (!ring.Contains(x, y)) continue;
            if ((c.upperLidY >= 0 && y < c.upperLidY) || (c.lowerLidY >= 0 && y > c.lowerLidY)) continue;
            const uint8_t v = img.At(x, y);
            if (v >= band.lo && v <= band.hi && !NearReflection(img, x, y, band.hi)) usable->Add(v);
        }
}

// Parts of the ring outside the picture count as covered: the share is of
// the whole ring's area.
double RingArea(const IrisCircles& c) {
    const double inner = c.pupilR + 0.05 * (c.irisR - c.pupilR), outer = c.irisR - 0.03 * (c.irisR - c.pupilR);
    return kJudgePi * (Sq(outer) - Sq(inner));
}

double MedianIn(const GrayView& img, double cx, double cy, double r0, double r1, bool lateralOnly) {
    Histogram h;
    const Box b = BoxAround(img, cx, cy, r1);
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
            const double dx = x - cx, dy = y - cy, d2 = Sq(dx) + Sq(dy);
            if (d2 < Sq(r0) || d2 >= Sq(r1)) continue;
            if (lateralOnly && Sq(dy) > 0.12 * Sq(dx)) continue;
            h.Add(img.At(x, y));
        }
    return h.Quantile(0.5);
}

double PupilCircularity(const GrayView& img, const IrisCircles& c) {
    constexpr int kRays = 64;
    double radii[kRays];
    int found = 0;
    for (int k = 0; k < kRays; ++k) {
        const double ca = JudgeCos(2 * kJudgePi * k / kRays), sa = JudgeSin(2 * kJudgePi * k / kRays);
        double best = 0, bestR = 0;
        for (double r = 0.6 * c.pupilR; r <= 1.5 * c.pupilR; r += 0.5) {
            const int xa = JudgeRound(c.pupilX + ca * (r - 2)), ya = JudgeRound(c.pupilY + sa * (r - 2));
            const int xb = JudgeRound(c.pupilX + ca * (r + 2)), yb = JudgeRound(c.pupilY + sa * (r + 2));
            if (xa < 0 || ya < 0 || xb < 0 || yb < 0 || xa >= img.width || xb >= img.width || ya >= img.height ||
                yb >= img.height)
                break;
            const double g = static_cast<double>(img.At(xb, yb)) - img.At(xa, ya);
            if (g > best) {
                best = g;
                bestR = r;
            }
        }
        if (best > 0) radii[found++] = bestR;
    }
    if (found < kRays / 2) return 0;
    const double median = JudgeMedian(radii, found);
    double dev[kRays];
    for (int i = 0; i < found; ++i) dev[i] = JudgeAbs(radii[i] - median);
    const double mad = JudgeMedian(dev, found);
    return median > 0 ? JudgeClamp(100 * (1 - 5 * mad / median), 0, 100) : 0;
}

double MarginAdequacy(const GrayView& img, const IrisCircles& c) {
    const double r = c.irisR;
    const double left = c.irisX - r, right = img.width - 1 - c.irisX - r;
    const double up = c.irisY - r, down = img.height - 1 - c.irisY - r;
    double m = 1;
    m = JudgeMin(m, left / (0.6 * r));
    m = JudgeMin(m, right / (0.6 * r));
    m = JudgeMin(m, up / (0.2 * r));
    m = JudgeMin(m, down / (0.2 * r));
    return JudgeClamp(100 * m, 0, 100);
}

// Box sum of the (2h)x(2h) square whose top-left corner is (x - h, y - h).
int BoxSum(const GrayView& img, int x, int y, int h) {
    int s = 0;
    for (int j = y - h; j < y + h; ++j) {
        const uint8_t* row = img.Row(j);
        for (int i = x - h; i < x + h; ++i) s += row[i];
    }
    return s;
}

// Sampling points of the texture measures: the usable ring's band within half
// an iris radius of the centre row (lids and lashes seldom reach it), far
// enough from the picture's edge for an `edge`-pixel neighbourhood.
template <typename Visit>
void ForTexturePoints(const GrayView& img, const IrisCircles& c, const IrisBand& band, int step, int edge,
                      Visit visit) {
    const Ring ring(c, 0.2, 0.15);
    const Box b = BoxAround(img, c.irisX, c.irisY, c.irisR);
    for (int y = b.y0 < edge ? edge : b.y0; y < b.y1 && y + edge < img.height; y += step) {
        if (Sq(y - c.irisY) > 0.25 * Sq(c.irisR)) continue;
        for (int x = b.x0 < edge ? edge : b.x0; x < b.x1 && x + edge < img.width; x += step) {
            if (!ring.Contains(x, y)) continue;
            const uint8_t v = img.At(x, y);
            if (v >= band.lo && v <= band.hi) visit(x, y);
        }
    }
}

// Fine-to-coarse band-pass power ratio, in %: an 8x8 kernel (+3 on its inner
// 4x4, -1 around it) against the same kernel at twice the scale, normalised
// for equal white-noise power. Defocus and motion remove the fine band first;
// the ratio does not depend on the texture's contrast or the exposure.
double Sharpness(const GrayView& img, const IrisCircles& c, const IrisBand& band) {
    double fine = 0, coarse = 0;
    ForTexturePoints(img, c, band, 2, 8, [&](int x, int y) {
        const double f = 4.0 * BoxSum(img, x, y, 2) - BoxSum(img, x, y, 4);
        const double g = 4.0 * BoxSum(img, x, y, 4) - BoxSum(img, x, y, 8);
        fine += Sq(f);
        coarse += Sq(g) / 16;
    });
    return coarse > 0 ? JudgeClamp(100 * fine / coarse, 0, 100) : 0;
}

// Directional gradient energies along eight directions (about 22.5 degrees
// apart) of 4x4-pixel means 4 to 6 pixels apart; a streak along one direction
// removes that direction's energy, and the means keep the sensor noise (the
// same in every direction) from filling the gap. The value is 100 Emin / Emax.
double MotionIsotropy(const GrayView& img, const IrisCircles& c, const IrisBand& band) {
    static const int kDirs[8][2] = {{4, 0}, {4, 2}, {4, 4}, {2, 4}, {0, 4}, {-2, 4}, {-4, 4}, {-4, 2}};
    double energy[8] = {};
    ForTexturePoints(img, c, band, 2, 7, [&](int x, int y) {
        for (int d = 0; d < 8; ++d) {
            const double g = (BoxSum(img, x + kDirs[d][0] / 2, y + kDirs[d][1] / 2, 2) -
                              BoxSum(img, x - kDirs[d][0] / 2, y - kDirs[d][1] / 2, 2)) / 16.0;
            energy[d] += g * g;
        }
    });
    double lo = energy[0], hi = energy[0];
    for (int d = 1; d < 8; ++d) {
        lo = JudgeMin(lo, energy[d]);
        hi = JudgeMax(hi, energy[d]);
    }
    return hi > 0 ? 100 * lo / hi : 0;
}

// Entropy of the gray levels of the square around the iris (pupil, ring,
// limbus and a little sclera): exposure that crushes or clips the picture
// narrows this histogram.
double GreyScaleUtilisation(const GrayView& img, const IrisCircles& c) {
    Histogram h;
    const Box b = BoxAround(img, c.irisX, c.irisY, c.irisR);
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) h.Add(img.At(x, y));
    return h.EntropyBits();
}

// Circles that can be measured at all: positive, finite radii below the
// picture's size and centres near it (NaN fails every comparison).
bool Plausible(const GrayView& img, const IrisCircles& c) {
    const double size = img.width + img.height;
    auto near = [&](double v) { return v > -size && v < 2 * size; };
    return c.irisR > 0 && c.irisR < size && c.pupilR > 0 && c.pupilR < size && near(c.irisX) && near(c.irisY) &&
           near(c.pupilX) && near(c.pupilY);
}

}  // namespace

void MeasureQuality(const GrayView& img, const IrisCircles& c, JudgeComponents* out) {
    *out = JudgeComponents();
    if (!Plausible(img, c)) return;
    const IrisBand band = FindIrisBand(img, c);
    Histogram usable;
    UsableIris(img, c, band, &usable);

    RegionLevels levels;
    levels.iris = usable.count ? usable.Quantile(0.5) : band.median;
    levels.pupil = MedianIn(img, c.pupilX, c.pupilY, 0, 0.8 * c.pupilR, false);
    levels.sclera = MedianIn(img, c.irisX, c.irisY, 1.12 * c.irisR, 1.35 * c.irisR, true);

    out->usableArea = JudgeClamp(100 * usable.count / RingArea(c), 0, 100);
    const double sclera = levels.sclera - levels.iris;
    const double scleraBase = levels.sclera + levels.iris - 2 * levels.pupil;
    out->irisScleraContrast = sclera > 0 && scleraBase > 0 ? JudgeClamp(100 * sclera / scleraBase, 0, 100) : 0;
    const double w = (levels.iris - levels.pupil) / (20 + levels.pupil);
    out->irisPupilContrast = w > 0 ? 100 * w / (0.75 + w) : 0;
    out->pupilCircularity = PupilCircularity(img, c);
    out->greyScaleUtilisation = GreyScaleUtilisation(img, c);
    out->irisRadius = c.irisR;
    out->pupilIrisRatio = 100 * c.pupilR / c.irisR;
    const double offset = JudgeSqrt(Sq(c.pupilX - c.irisX) + Sq(c.pupilY - c.irisY));
    out->concentricity = JudgeClamp(100 * (1 - offset / c.irisR), 0, 100);
    out->marginAdequacy = MarginAdequacy(img, c);
    out->sharpness = Sharpness(img, c, band);
    out->motionBlur = MotionIsotropy(img, c, band);
    const IrisImage picture{img.top, img.width, img.height, static_cast<int>(img.stride)};
    out->pupilEdgeSharpness = IrisPupilEdgeSteepness(&picture, static_cast<float>(c.pupilX),
                                                     static_cast<float>(c.pupilY), static_cast<float>(c.pupilR));
}
