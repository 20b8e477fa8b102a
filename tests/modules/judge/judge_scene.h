// Eye pictures for the image-judge tests: a rendered 960 x 720 scene frame
// cut to the 640 x 480 view around the iris (flush with the frame's edge when
// the iris is near it, as the control cuts it) and stored as the BMP file
// image the module reads, with the scene's own circles in view pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "modules/judge/judge_quality.h"
#include "sim/scene/scene_render.h"

struct JudgeScene {
    std::vector<uint8_t> bitmap;  // complete BMP file image
    IrisCircles truth;
    GrayView View() const;
};

class JudgeSceneMaker {
public:
    JudgeScene Make(const k7qsim::EyeParams& params, int backlight = 230);
    // As the capture chain delivers the view: the window sharpened (2 x centre
    // minus the mean of the 8 neighbours) and the iris disc dimmed (x 0.9
    // inside 0.9 R, falling to d / R toward the limbus) before the crop.
    bool deviceChain = false;

private:
    void ApplyDeviceChain(const k7qsim::GroundTruth& truth);
    k7qsim::SceneRenderer renderer_;
    std::vector<uint8_t> frame_ = std::vector<uint8_t>(k7qsim::kFrameBytes);
};

// A well placed, sharp, open, well exposed eye of the subject `seed`; the
// seed also varies size, pupil, gaze and noise within the good range.
k7qsim::EyeParams GoodEye(uint64_t seed);
