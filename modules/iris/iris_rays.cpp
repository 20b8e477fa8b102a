#include "modules/iris/iris_rays.h"

namespace iris {

bool StrongestRise(const float* prof, int n, int from, int to, int half, float glare, Edge* out) {
    from = Max(from, half);
    to = Min(to, n - half - 1);
    float best = 0, bestIn = 0, bestOut = 0;
    int bestI = -1;
    float prevRise = 0, nextRise = 0, lastRise = 0;
    for (int i = from; i <= to; ++i) {
        float in = 0, outSum = 0;
        bool valid = true;
        for (int k = 1; k <= half; ++k) {
            const float a = prof[i - k], b = prof[i + k];
            if (a < 0 || b < 0 || a > glare || b > glare) valid = false;
            in += a;
            outSum += b;
        }
        const float rise = valid ? (outSum - in) / half : 0;
        if (rise > best) {
            best = rise;
            bestI = i;
            bestIn = in / half;
            bestOut = outSum / half;
            prevRise = lastRise;
            nextRise = 0;
        } else if (i == bestI + 1) {
            nextRise = rise;
        }
        lastRise = rise;
    }
    if (bestI < 0) return false;
    // Parabola through the peak and its neighbours for a sub-sample position.
    float offset = 0;
    const float denom = prevRise - 2 * best + nextRise;
    if (bestI > from && bestI < to && denom < 0) offset = 0.5f * (prevRise - nextRise) / denom;
    if (offset > 0.5f) offset = 0.5f;
    if (offset < -0.5f) offset = -0.5f;
    out->pos = bestI + offset;
    out->rise = best;
    out->inner = bestIn;
    out->outer = bestOut;
    return true;
}

}  // namespace iris
