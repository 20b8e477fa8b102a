// Quality components of one eye picture, in the style of ISO/IEC 29794-6, each
// a function of the picture and the circles of its iris segmentation. Every
// component is computed from fixed-size stack tables: no allocation.
#pragma once

#include "modules/judge/judge_bitmap.h"

// The two boundaries the segmentation found, in picture pixels (top row 0).
struct IrisCircles {
    double pupilX = 0, pupilY = 0, pupilR = 0;
    double irisX = 0, irisY = 0, irisR = 0;
    // Lid margin rows on the iris centre's column, -1 when not found: the ring
    // above the upper one and below the lower one counts as covered.
    double upperLidY = -1, lowerLidY = -1;
};

struct JudgeComponents {
    double usableArea = 0;          // % of the iris ring free of lids, lashes, reflections
    double irisScleraContrast = 0;  // 100 (S - I) / (S + I - 2P), 0 when S <= I
    double irisPupilContrast = 0;   // 100 W / (0.75 + W), W = (I - P) / (20 + P)
    double pupilCircularity = 0;    // 100 (1 - 5 MAD(r) / median(r)) of the pupil edge radii
    double greyScaleUtilisation = 0;  // bits: entropy of the square around the iris
    double irisRadius = 0;          // pixels
    double pupilIrisRatio = 0;      // 100 rp / ri
    double concentricity = 0;       // 100 (1 - |cp - ci| / ri)
    double marginAdequacy = 0;      // 100 min(1, left/0.6ri, right/0.6ri, up/0.2ri, down/0.2ri)
    double sharpness = 0;           // 100 x fine / coarse band-pass power of the ring
    double motionBlur = 0;          // 100 Emin / Emax over eight directional gradient energies
    double pupilEdgeSharpness = 0;  // 1000 x median steepest one-pixel rise over the edge's step
};

// The intensity references the contrasts use (medians, gray levels).
struct RegionLevels {
    double iris = 0, pupil = 0, sclera = 0;
};

// Computes every component; circles that cannot be measured (non-positive or
// non-finite radii, centres far outside the picture) give all zeros.
void MeasureQuality(const GrayView& image, const IrisCircles& circles, JudgeComponents* out);
