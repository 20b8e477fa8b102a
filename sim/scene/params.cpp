#include "sim/scene/detmath.h"
#include "sim/scene/scene_render.h"

namespace k7qsim {

const char* NegativeName(NegativeKind kind) {
    switch (kind) {
    case NegativeKind::DeviceInterior: return "interior";
    case NegativeKind::SkinOnly: return "skin";
    case NegativeKind::ClosedEye: return "closed";
    case NegativeKind::EyeMostlyOutside: return "outside";
    case NegativeKind::EyebrowOnly: return "eyebrow";
    }
    return "unknown";
}

EyeParams RandomEyeParams(uint64_t seed) {
    Rng r(HashCombine(seed, 0xa11));
    EyeParams p;
    p.subjectSeed = r.Next();
    p.eye = r.Chance(0.5) ? Eye::Left : Eye::Right;
    p.scale = r.Range(0.88, 1.12);
    p.irisRadius = r.Range(75, 130) / p.scale;  // keeps the diameter at 150..260
    p.centerX = r.Range(60, 900);
    p.centerY = r.Range(40, 680);
    p.pupilRatio = r.Range(0.2, 0.7);
    p.pupilOffsetX = r.Range(-0.1, 0.1);
    p.pupilOffsetY = r.Range(-0.08, 0.08);
    p.opening = r.Chance(0.8) ? r.Range(0.5, 1.0) : r.Range(0.0, 0.5);
    p.gazeX = r.Range(-0.35, 0.35);
    p.gazeY = r.Range(-0.25, 0.25);
    p.tiltDeg = r.Range(-15, 15);
    p.defocusSigma = r.Chance(0.5) ? 0 : r.Range(0.3, 5);
    if (r.Chance(0.4)) {
        p.motionLength = r.Range(1, 35);
        p.motionAngleDeg = r.Range(0, 180);
    }
    p.noise = r.Range(0.5, 3);
    p.glareCount = r.Chance(0.8) ? 0 : r.Int(1, 3);
    p.frameSeed = r.Next();
    return p;
}

EyeParams NegativeParams(NegativeKind kind, uint64_t seed) {
    Rng r(HashCombine(seed, 0xe9));
    EyeParams p = RandomEyeParams(seed);
    p.motionLength = 0;
    p.glareCount = 0;
    p.defocusSigma = r.Chance(0.5) ? 0 : r.Range(0.3, 2.5);
    const double R = p.irisRadius * p.scale;
    p.centerX = r.Range(320, 640);
    p.centerY = r.Range(240, 480);
    switch (kind) {
    case NegativeKind::ClosedEye:
        p.opening = r.Range(0.0, 0.04);
        break;
    case NegativeKind::SkinOnly:  // cheek: the eye is above the frame
        p.centerY = -r.Range(2.0, 3.0) * R;
        break;
    case NegativeKind::EyebrowOnly:  // the eye is below the frame, its brow shows
        p.centerY = kFrameHeight + r.Range(2.2, 2.5) * R;
        break;
    case NegativeKind::EyeMostlyOutside: {
        // The iris centre lies beyond one frame edge.
        const double out = r.Range(0.35, 0.9) * R;
        switch (r.Int(0, 3)) {
        case 0: p.centerX = -out; break;
        case 1: p.centerX = kFrameWidth + out; break;
        case 2: p.centerY = -out; break;
        default: p.centerY = kFrameHeight + out; break;
        }
        p.gazeX = p.gazeY = 0;
        break;
    }
    case NegativeKind::DeviceInterior:
        p.centerX = -5000;
        break;
    }
    return p;
}

}  // namespace k7qsim
