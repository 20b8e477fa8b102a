// The detection behind f4: segmentation, the result code and the output
// record, for one 720 x 720 eye image.
#pragma once

#include "modules/iris/iris_segmentation.h"
#include "modules/vmcalib/vmcalib_records.h"

namespace vmcalib {

// Thresholds of the result codes, in pixels of the 720 x 720 image and the
// segmentation's figures. docs/vmcalib.md gives their measured rates.
struct Thresholds {
    int minImageMean = 70;                     // whole image darker: too dark
    int maxImageSaturatedPermille = 350;       // whole window clipped beyond this: saturated
    int clippedSclera = 250, brightWindowPermille = 100;  // or the sclera clipped in a bright window
    float marginLow = 200, marginHigh = 520;  // accepted centre band, both axes
    float minRadius = 70, maxRadius = 142;     // usable iris radius
    int minIrisGray = 38;
    int maxSaturatedPermille = 120;
    int minOpening = 55;
    int halfClosedCover = 600;  // upper lid over more of the upper radius: eye not open
    int maxUpperCover = 550, maxLowerCover = 420;
    int slightCover = 350;  // a lid over a third of the radius hides about a tenth of the iris
    int maxGlarePermille = 35;
    int minSharpness = 44;   // iris texture focus figure ...
    int minEdgeFocus = 250;  // ... or pupil edge steepness: either one suffices
};

int Classify(const IrisSegmentation& seg, const Thresholds& t);

// Runs f4 on the records with `workspace` (IrisWorkspaceBytes(720, 720)).
int Detect(const VmCaWord* input, VmCaWord* output, void* workspace, size_t workspaceBytes);

}  // namespace vmcalib
