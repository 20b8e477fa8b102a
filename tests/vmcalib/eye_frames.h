// Eye images as the capture pipeline hands them to the iris module: a scene
// frame, the 720 x 720 window around the eye, sharpened; and the same window
// with its iris disc dimmed for the second detection. Frame kinds spread the
// scene's parameters over one situation each, with held-out seeds.
#pragma once

#include "device/imaging/dim_iris_disc.h"
#include "device/imaging/sharpen.h"
#include <cstdint>
#include <vector>

#include "sim/scene/scene_render.h"

namespace eyeframes {

constexpr int kSide = 720;

struct Truth {
    k7qsim::GroundTruth frame;  // in frame coordinates
    double irisX, irisY, irisR, pupilX, pupilY, pupilR;  // in window coordinates
    int windowX0;
};

enum class Kind {
    WellPlaced,  // sharp, open, centred, no glasses
    OffLeft, OffRight, OffUp, OffDown,
    TooFar, TooClose, TooDark, Saturated, Glasses, Closed, HalfClosed, Blurred,
    RealLook,  // well placed, with what photographs of real eyes show (gray pupil, LED dots, bright skin...)
    Count
};
const char* KindName(Kind kind);
// The result code a frame of this kind should get.
int ExpectedCode(Kind kind);

k7qsim::EyeParams ParamsFor(Kind kind, uint64_t seed, k7qsim::CameraControls* controls);

class FrameMaker {
public:
    FrameMaker();
    // Renders `params` into `work` (kSide * kSide), windowed and sharpened.
    Truth Make(const k7qsim::EyeParams& params, const k7qsim::CameraControls& controls, uint8_t* work);
    // Share of the visible iris ring that the glasses' reflections brighten
    // by more than 30 gray levels: the same eye rendered without them.
    double GlareOverIris(const k7qsim::EyeParams& params, const k7qsim::CameraControls& controls);

private:
    k7qsim::SceneRenderer renderer_;
    std::vector<uint8_t> frame_, scratch_;
};

// Whether a frame of `kind` got the right code; false also for frames to be
// left out (glasses whose reflections miss the iris ring or only graze it).
enum class Verdict { Right, Wrong, Skipped };
Verdict Judge(Kind kind, int code, double glareShare);

// The pipeline's own image routines on a 720 x 720 window.
using ::DimIrisDisc;
using ::Sharpen;

}  // namespace eyeframes
