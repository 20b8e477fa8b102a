// Single-frame rendering of one eye with explicit parameters, the negatives
// for detector training, and the parameter sampler that spreads frames over
// every range. SceneTimeline (scene.h) is built on the same renderer.
#pragma once

#include <cstdint>
#include <memory>

#include "sim/scene/scene.h"

namespace k7qsim {

// How the illuminators show on the eye: the device's two reflections on the
// cornea beside the pupil, a ring of eight small ones inside the pupil (as
// close-up cameras with a circular LED array show), or a pair inside the
// pupil and on its edge.
enum class Reflections { CorneaPair, PupilRing, PupilPair };

// What photographs of real eyes show and the default scene does not. The
// defaults draw none of it, so frames without a look stay as they were.
struct RealEyeLook {
    Reflections reflections = Reflections::CorneaPair;
    double pupilShade = 0;     // > 0: the pupil's gray as a share of the iris's (real ones 0.25..0.6; default 0.1)
    double irisGain = 1;       // > 1 brightens the iris (light irises under NIR: 1.2..1.8)
    double skinGain = 1;       // > 1 brightens skin and sclera, up to clipping
    double limbusWidth = 0;    // > 0: the iris fades into the sclera over this many pixels (default 2.2)
    int lashClusters = 0;      // clumps of lower lashes across the sclera beside the iris, 0..6
};

// One eye in front of one camera. Lengths are frame pixels unless noted.
struct EyeParams {
    uint64_t subjectSeed = 1;      // the person: iris texture, lids, skin, lashes
    Eye eye = Eye::Left;           // left eyes have the nose side on the frame's left
    double centerX = 480, centerY = 360;  // eye centre (iris centre at straight gaze)
    double irisRadius = 100;       // at scale 1; 75..130 (diameter 150..260)
    double scale = 1.0;            // distance to the device, 0.85..1.15
    double pupilRatio = 0.4;       // pupil radius / iris radius, 0.2..0.7
    double pupilOffsetX = 0.03;    // pupil centre offset, iris radii, -0.1..0.1 (+ = nasal)
    double pupilOffsetY = 0.02;    // + = down
    double opening = 0.75;         // eyelid opening, 0 closed .. 1 wide
    double gazeX = 0, gazeY = 0;   // iris shift in iris radii, -0.5..0.5
    double tiltDeg = 0;            // head roll, -20..20
    double defocusSigma = 0.7;     // 0..6; a sharp camera still spreads a little
    double motionLength = 0;       // 0..40
    double motionAngleDeg = 0;     // 0..180
    double noise = 1.0;            // sensor noise multiplier, 0..4
    int glareCount = 0;            // glasses reflections, 0..3
    uint64_t frameSeed = 0;        // sensor noise and reflection placement
    RealEyeLook look;
};

enum class NegativeKind { DeviceInterior, SkinOnly, ClosedEye, EyeMostlyOutside, EyebrowOnly };
constexpr int kNegativeKinds = 5;
const char* NegativeName(NegativeKind kind);

// Brightness factor of a camera setting: linear in the backlight level
// (1 at 230), raised by gain 0..100 up to twice.
double ExposureFactor(const CameraControls& controls);

class SceneRenderer {
public:
    SceneRenderer();
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Renders into `out` (kFrameBytes, top row first). No allocation after the
    // first frames of a subject: buffers and subject textures are kept.
    GroundTruth Render(const EyeParams& params, const CameraControls& controls, uint8_t* out);
    // The inside of the device with nobody in front of it. The upper 48 bits of
    // the seed choose the layout, the lower 16 the sensor noise.
    GroundTruth RenderEmpty(uint64_t frameSeed, const CameraControls& controls, uint8_t* out);
    GroundTruth RenderNegative(NegativeKind kind, uint64_t seed, const CameraControls& controls,
                               uint8_t* out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Parameters spread over every range: positions inside and outside the band
// the control accepts, eyes cut by the frame edge, all sizes and blurs.
EyeParams RandomEyeParams(uint64_t seed);
// The eye parameters behind a negative (DeviceInterior has none: eye far away).
EyeParams NegativeParams(NegativeKind kind, uint64_t seed);

}  // namespace k7qsim
