// Specular reflections filled in: the illuminators' small bright spots in
// and around the pupil would otherwise break its dark disc and its edge. A
// spot is a narrow bright peak along a row (with its blurred fringe); broad
// bright areas (skin, sclera, glasses) are left as they are.
#include "modules/iris/iris_internal.h"

namespace iris {
namespace {

constexpr int kFringe = 2;  // pixels around a spot's core that its blur brightens

// Fills a row of `n` pixels in place: every run of marked pixels no longer
// than kMaxSpot becomes the straight line between the pixels beside it.
void FillRuns(uint8_t* row, int n, const uint8_t* marks) {
    int i = 0;
    while (i < n) {
        if (!marks[i]) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && marks[end]) ++end;
        if (end - i <= kMaxSpot && i > 0 && end < n) {
            const int a = row[i - 1], b = row[end], len = end - i + 1;
            for (int k = i; k < end; ++k) row[k] = static_cast<uint8_t>(a + (b - a) * (k - i + 1) / len);
        }
        i = end;
    }
}

// A spot pixel: a narrow peak above the pixels kPeakReach to either side
// (a saturated reflection, or a dimmer one on a gray pupil). An edge is
// brighter than one side only, and broad bright skin than neither, so
// neither is taken for a spot.
constexpr int kPeakReach = 7;
constexpr int kPeakRise = 35;

// Marks the row's spot pixels (1); returns whether there is any.
bool MarkSpots(const uint8_t* row, int w, uint8_t* marks) {
    int spots = 0;
    for (int x = 0; x < kPeakReach; ++x) marks[x] = marks[w - 1 - x] = 0;
    for (int x = kPeakReach; x < w - kPeakReach; ++x) {
        const int a = row[x - kPeakReach], b = row[x + kPeakReach];
        marks[x] = static_cast<uint8_t>(row[x] > (a > b ? a : b) + kPeakRise);
        spots |= marks[x];
    }
    return spots != 0;
}

}  // namespace

void FillSpecular(const View& v, uint8_t* filled, uint8_t* marks) {
    // Along rows: a spot's run is bridged by the straight line between the
    // pixels beside it; the bright core is widened by its fringe first.
    for (int y = 0; y < v.h; ++y) {
        const uint8_t* row = v.p + y * v.s;
        uint8_t* out = filled + y * v.w;
        for (int x = 0; x < v.w; ++x) out[x] = row[x];
        if (!MarkSpots(row, v.w, marks)) continue;  // most rows: nothing to fill
        int since = kFringe + 1;  // pixels since the last spot pixel on the left
        for (int x = 0; x < v.w; ++x) {
            since = marks[x] & 1 ? 0 : since + 1;
            marks[x] |= since <= kFringe ? 2 : 0;
        }
        since = kFringe + 1;
        for (int x = v.w - 1; x >= 0; --x) {
            since = marks[x] & 1 ? 0 : since + 1;
            marks[x] |= since <= kFringe ? 2 : 0;
        }
        FillRuns(out, v.w, marks);
    }
}

}  // namespace iris
