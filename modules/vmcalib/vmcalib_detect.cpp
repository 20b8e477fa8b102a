#include "modules/vmcalib/vmcalib_detect.h"

namespace vmcalib {
namespace {

constexpr int kSide = 720;

int RoundToInt(float v) { return static_cast<int>(v < 0 ? v - 0.5f : v + 0.5f); }

bool ValidRecords(const VmCaWord* in, const VmCaWord* out) {
    return in && out && in[kVmInKind] == kVmInKindGray720 && in[kVmInImage] != 0 && out[kVmOutText] != 0 &&
           out[kVmOutIris] != 0;
}

// Appends text and a decimal number; keeps room for the terminator.
struct TextWriter {
    char* p;
    int size, used = 0;
    void Put(const char* s) {
        while (*s && used + 1 < size) p[used++] = *s++;
        p[used] = 0;
    }
    void Number(int v) {
        char digits[12];
        int n = 0;
        unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
        do {
            digits[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u);
        if (v < 0) Put("-");
        char one[2] = {0, 0};
        while (n) {
            one[0] = digits[--n];
            Put(one);
        }
    }
};

const char* ResultName(int code) {
    switch (code) {
    case kVmFound: return "found";
    case kVmNoIris: return "no iris";
    case kVmUnusable: return "out of focus";
    case kVmOffLeft: return "off centre left";
    case kVmOffRight: return "off centre right";
    case kVmOffUp: return "off centre up";
    case kVmOffDown: return "off centre down";
    case kVmTooSmall: return "too far";
    case kVmTooLarge: return "too close";
    case kVmEyeNotOpen: return "eye not open";
    case kVmTooDark: return "too dark";
    case kVmSaturated: return "saturated";
    case kVmReflections: return "reflections";
    case kVmUpperOcclusion: return "upper lid";
    case kVmLowerOcclusion: return "lower lid";
    case kVmSlightOcclusion: return "slight occlusion";
    }
    return "?";
}

void Describe(const IrisSegmentation& s, int code, char* text) {
    TextWriter w{text, kVmTextBytes};
    w.Put(ResultName(code));
    w.Put(" iris(");
    w.Number(RoundToInt(s.irisX));
    w.Put(",");
    w.Number(RoundToInt(s.irisY));
    w.Put(",");
    w.Number(RoundToInt(s.irisRadius));
    w.Put(") pupil(");
    w.Number(RoundToInt(s.pupilX));
    w.Put(",");
    w.Number(RoundToInt(s.pupilY));
    w.Put(",");
    w.Number(RoundToInt(s.pupilRadius));
    w.Put(") open ");
    w.Number(s.openingPercent);
    w.Put(" focus ");
    w.Number(s.sharpness);
    w.Put("/");
    w.Number(s.edgeFocus);
    w.Put(" gray ");
    w.Number(s.irisMean);
    w.Put(" glare ");
    w.Number(s.glarePermille);
    w.Put(" sat ");
    w.Number(s.saturatedPermille);
    w.Put(" edges ");
    w.Number(s.pupilSupport);
    w.Put("/");
    w.Number(s.limbusSupport);
    w.Put("/");
    w.Number(s.limbusEvidence);
    w.Put(" lids ");
    w.Number(s.upperCoveredPermille);
    w.Put("/");
    w.Number(s.lowerCoveredPermille);
    w.Put(" levels ");
    w.Number(s.pupilMean);
    w.Put("/");
    w.Number(s.irisMean);
    w.Put("/");
    w.Number(s.scleraMean);
    w.Put(" image ");
    w.Number(s.imageMean);
    w.Put("/");
    w.Number(s.imageSaturatedPermille);
}

void Fill(const IrisSegmentation& s, int code, VmCaWord* out) {
    out[kVmOutKey] = s.sharpness;
    out[kVmOutOpening] = s.openingPercent;
    out[kVmOutPupilX] = RoundToInt(s.pupilX);
    out[kVmOutPupilY] = RoundToInt(s.pupilY);
    out[kVmOutIrisGray] = s.irisMean;
    out[kVmOutGlare] = s.glarePermille;
    out[kVmOutCentreX] = RoundToInt(s.irisX);
    out[kVmOutCentreY] = RoundToInt(s.irisY);
    out[kVmOutOuterRadius] = RoundToInt(s.irisRadius);
    out[kVmOutInnerRadius] = RoundToInt(s.pupilRadius);
    out[kVmOutUpperLid] = s.upperLidY;
    out[kVmOutLowerLid] = s.lowerLidY;
    out[kVmOutSaturated] = s.saturatedPermille;
    out[kVmOutResult] = code;
}

}  // namespace

int Classify(const IrisSegmentation& s, const Thresholds& t) {
    // Light first: a dark or washed-out window hides the eye. Bright skin
    // and sclera around a well-lit eye are no fault: a window is washed
    // out only when most of it is clipped.
    if (s.imageMean < t.minImageMean) return kVmTooDark;
    if (s.imageSaturatedPermille > t.maxImageSaturatedPermille) return kVmSaturated;
    if (!s.found) return s.partial ? kVmEyeNotOpen : kVmNoIris;
    // Clipped sclera beside the iris over a bright window: washed out.
    if (s.scleraMean >= t.clippedSclera && s.imageSaturatedPermille > t.brightWindowPermille) return kVmSaturated;
    if (s.irisX < t.marginLow) return kVmOffLeft;
    if (s.irisX > t.marginHigh) return kVmOffRight;
    if (s.irisY < t.marginLow) return kVmOffUp;
    if (s.irisY > t.marginHigh) return kVmOffDown;
    if (s.irisRadius < t.minRadius) return kVmTooSmall;
    if (s.irisRadius > t.maxRadius) return kVmTooLarge;
    if (s.irisMean < t.minIrisGray) return kVmTooDark;
    if (s.saturatedPermille > t.maxSaturatedPermille) return kVmSaturated;
    // A lid down past most of the upper iris is a half-closed eye.
    if (s.openingPercent < t.minOpening || s.upperCoveredPermille > t.halfClosedCover) return kVmEyeNotOpen;
    // Blur before reflections and lids: their measures need edges.
    if (s.sharpness < t.minSharpness && s.edgeFocus < t.minEdgeFocus) return kVmUnusable;
    // Reflections before lids: a bright patch also looks like skin to the lid search.
    if (s.glarePermille > t.maxGlarePermille) return kVmReflections;
    if (s.upperCoveredPermille > t.maxUpperCover) return kVmUpperOcclusion;
    if (s.lowerCoveredPermille > t.maxLowerCover) return kVmLowerOcclusion;
    if (s.upperCoveredPermille > t.slightCover || s.lowerCoveredPermille > t.slightCover) return kVmSlightOcclusion;
    return kVmFound;
}

int Detect(const VmCaWord* in, VmCaWord* out, void* workspace, size_t workspaceBytes) {
    if (!ValidRecords(in, out) || !workspace) return kVmBadArguments;
    const IrisImage image{reinterpret_cast<const uint8_t*>(in[kVmInImage]), kSide, kSide, kSide};
    IrisSegmentation seg;
    IrisSegment(&image, nullptr, workspace, workspaceBytes, &seg);
    const int code = Classify(seg, Thresholds{});
    Fill(seg, code, out);
    Describe(seg, code, reinterpret_cast<char*>(out[kVmOutText]));
    uint8_t* iris = reinterpret_cast<uint8_t*>(out[kVmOutIris]);
    if (seg.found) {
        IrisUnwrap(&image, &seg, iris, kVmIrisOutSide);
    } else {
        for (int i = 0; i < kVmIrisOutBytes; ++i) iris[i] = 0;
    }
    return code;
}

}  // namespace vmcalib
