// Radial profiles and edge search along them.
#pragma once

#include "modules/iris/iris_internal.h"

namespace iris {

// Angle of ray `i` of kRays, as an index into kTrig.
inline int RayAngle(int i) { return i * (kAngleSteps / kRays); }

// Samples radii r0, r0 + 1, ... (n of them) along the ray at angle index
// `ai` from (cx, cy), each the mean of three samples across the ray.
// Samples outside the image are -1.
inline void RayProfile(const View& v, float cx, float cy, int ai, float r0, int n, float* prof) {
    const float c = kTrig.c[ai], s = kTrig.s[ai];
    for (int i = 0; i < n; ++i) {
        const float r = r0 + i;
        const float x = cx + r * c, y = cy + r * s;
        const float a = Sample(v, x - s, y + c), b = Sample(v, x, y), d = Sample(v, x + s, y - c);
        prof[i] = (a < 0 || b < 0 || d < 0) ? -1 : (a + b + d) * (1.0f / 3);
    }
}

struct Edge {
    float pos = -1;       // profile index, sub-sample
    float rise = 0;       // outer mean minus inner mean over `half` samples
    float inner = 0, outer = 0;
};

// The strongest dark-to-bright step between indices from..to, means taken
// over `half` samples on each side; samples above `glare` near the step
// disqualify it. Returns false when no valid step exists.
bool StrongestRise(const float* prof, int n, int from, int to, int half, float glare, Edge* out);

}  // namespace iris
