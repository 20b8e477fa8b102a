// Records the eye analysis passes between its steps: the located eye's
// rectangle, the iris detection figures and the iris circle, all as the
// algorithm module reports them.
#pragma once

#include <cstdint>

// 960x720 frame coordinates.
struct EyeRect {
    int32_t left, top, right, bottom;
};

// Field 0: the key kept with a candidate (higher is a better image);
// field 1: the eyelid opening degree 0-100; the other four are not used.
struct IrisDetection {
    int32_t fields[6];
};

// Working-image (720x720) pixels.
struct IrisCircle {
    int32_t cx, cy, outerRadius, innerRadius;
};

// The 720x720 working image and the 640x480 view cut out of it.
constexpr int32_t kWorkSide = 720;
constexpr int32_t kWorkBytes = kWorkSide * kWorkSide;
constexpr int32_t kViewWidth = 640;
constexpr int32_t kViewHeight = 480;
constexpr int32_t kViewBytes = kViewWidth * kViewHeight;
