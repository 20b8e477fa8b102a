// Measurements on rendered frames that the scene tests share.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/scene/scene_render.h"

namespace scenetest {

using Frame = std::vector<uint8_t>;

inline Frame NewFrame() { return Frame(k7qsim::kFrameBytes); }

// Mean gray of the lower iris ring below the pupil centre, as the control's
// exposure steering measures it (cy <= y <= cy + inner, inner < d < outer).
double LowerRingMean(const Frame& f, double cx, double cy, double outer, double inner);

struct Disc {
    double x = 0, y = 0, r = 0;
};
// The disc of strongest dark-inside / bright-outside contrast near (x0, y0).
Disc FindDarkestDisc(const Frame& f, double x0, double y0, double r0, int search);

// Sum of squared neighbour differences along x or y inside a box.
double GradientEnergy(const Frame& f, int x0, int y0, int x1, int y1, bool alongX);

int CountBelow(const Frame& f, int x0, int y0, int x1, int y1, int level);

}  // namespace scenetest
