// The virtual K7Q's eye scenes: what the two near-infrared eye cameras see of a
// person at the device, rendered as 960x720 8-bit gray frames with the exact
// ground truth of each frame. Deterministic for a seed.
#pragma once

#include <cstdint>

namespace k7qsim {

constexpr int kFrameWidth = 960;
constexpr int kFrameHeight = 720;
constexpr int kFrameBytes = kFrameWidth * kFrameHeight;

enum class Eye { Left, Right };

// Camera settings that change the picture, as the control sets them.
struct CameraControls {
    int backlight = 170;  // backlight-compensation level (the control steers about 150 to 300)
    int gain = 0;
};

// What is in a frame. Coordinates are frame pixels, origin top left.
struct GroundTruth {
    bool eyeVisible = false;
    double irisX = 0, irisY = 0, irisRadius = 0;
    double pupilX = 0, pupilY = 0, pupilRadius = 0;
    double eyeBoxLeft = 0, eyeBoxTop = 0, eyeBoxRight = 0, eyeBoxBottom = 0;
    double eyelidOpening = 0;  // 0 closed .. 1 wide open
    double defocusSigma = 0;
    double motionBlurLength = 0, motionBlurAngle = 0;  // pixels, degrees (0 = along +x)

    // Added detail. The eye counts as visible when at least 40% of its iris
    // disc lies inside the frame and between the lids.
    Eye eye = Eye::Left;
    double innerCornerX = 0, innerCornerY = 0, outerCornerX = 0, outerCornerY = 0;
    double upperLidY = 0, lowerLidY = 0;  // lid margins on the iris centre's column
    double irisVisibleFraction = 0;       // of the whole iris disc area
    int specularCount = 0;                // illuminator reflections; the first two placed below
    double specularX[2] = {0, 0}, specularY[2] = {0, 0};
    int glareCount = 0;                   // reflections of glasses in the frame
    double exposureFactor = 0;            // brightness relative to backlight 230, gain 0
    bool personPresent = false;           // a face is in front of the camera
};

// A seeded person at the device over time: arrives, drifts, blinks, settles,
// looks away, leaves. Frames can be asked for at any time for either camera.
class SceneTimeline {
public:
    explicit SceneTimeline(uint64_t seed);
    ~SceneTimeline();
    SceneTimeline(const SceneTimeline&) = delete;
    SceneTimeline& operator=(const SceneTimeline&) = delete;

    // Renders the frame of `eye`'s camera at `timeMs` since the timeline began,
    // into `out` (kFrameBytes bytes, top row first), lit as `controls` say.
    GroundTruth Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* out);

    // When the person has arrived in front of the device and when they are gone again.
    double ArrivalMs() const;
    double GoneMs() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace k7qsim
