// The sliding-window classifier (boosted depth-2 trees over the window feature
// lists) and the post-processing that suppresses overlaps and picks one eye or
// a pair.
#include <cstdlib>

#include "modules/eye_locator_stages.h"

namespace eyeloc {

namespace {

void Swap(Candidate& a, Candidate& b) {
    const Candidate t = a;
    a = b;
    b = t;
}

bool Overlaps(const Candidate& a, const Candidate& b) {
    const int64_t x0 = a.x > b.x ? a.x : b.x, x1 = a.x + a.w < b.x + b.w ? a.x + a.w : b.x + b.w;
    const int64_t y0 = a.y > b.y ? a.y : b.y, y1 = a.y + a.h < b.y + b.h ? a.y + a.h : b.y + b.h;
    if (x1 <= x0 || y1 <= y0) return false;
    const int64_t overlap = (x1 - x0) * (y1 - y0);
    const int64_t areaA = static_cast<int64_t>(a.w) * a.h, areaB = static_cast<int64_t>(b.w) * b.h;
    // overlap / smaller area > 0.3, exactly.
    return overlap * 10 > 3 * (areaA < areaB ? areaA : areaB);
}

// Q lies below P, within its width, scores above 800,000: P is then the brow.
bool BelowPrimary(const Candidate& p, const Candidate& q) {
    const int32_t dy = q.y - p.y;
    return std::abs(q.x - p.x) < p.w && q.y > p.y && q.score > kPrimaryScore && p.h / 2 < dy && dy < 3 * p.h;
}

void PrimaryCheck(Candidate* list, int32_t first, int32_t count) {
    for (int32_t q = first + 1; q < count; ++q)
        if (BelowPrimary(list[first], list[q])) {
            Swap(list[first], list[q]);
            return;
        }
}

bool IsOtherEye(const Candidate& p, const Candidate& s) {
    const int32_t dx = std::abs(s.x - p.x);
    return std::abs(s.y - p.y) < 5 * p.h / 2 && 22 * p.w / 10 < dx && dx < 48 * p.w / 10;
}

}  // namespace

int32_t ScoreWindow(const Context* c, int scale, int32_t i, int32_t j) {
    const int32_t* planes = c->planes + i * c->g.cellCols + j;
    const int32_t* list = c->lists + c->g.listStart[scale];
    const int16_t* feature = c->model.feature + scale * kScaleEntries;
    const int16_t* threshold = c->model.threshold + scale * kScaleEntries;
    const int16_t* leaf = c->model.leaf + scale * kScaleEntries;
    int32_t score = 0;
    const int32_t used = c->usedLearners[scale];
    for (int32_t k = 0; k < used; ++k, feature += kSlots, threshold += kSlots, leaf += kSlots) {
        const int32_t node = planes[list[feature[0]]] <= threshold[0] ? 1 : 2;
        const int32_t slot = planes[list[feature[node]]] <= threshold[node] ? 2 * node + 1 : 2 * node + 2;
        score += leaf[slot];
        if (k >= 1 && score <= kRejectScore) break;
    }
    return score;
}

int32_t Classify(Context* c) {
    if (c == nullptr || c->model.feature == nullptr || c->planes == nullptr) return kErrClassify;
    c->count = 0;
    for (int s = 0; s < kScales && c->count < kMaxCandidates; ++s) {
        const ScaleShape& sh = kScaleShapes[s];
        for (int32_t i = 0; i < c->g.rowPositions[s]; ++i)
            for (int32_t j = 0; j < c->g.colPositions[s]; ++j) {
                const int32_t score = ScoreWindow(c, s, i, j);
                if (score <= kAcceptScore) continue;
                c->candidates[c->count++] = {(sh.windowH - sh.boxH) / 2 + 4 * i, (sh.windowW - sh.boxW) / 2 + 4 * j,
                                             sh.boxH, sh.boxW, score};
                if (c->count == kMaxCandidates) return 0;
            }
    }
    return 0;
}

int32_t Suppress(Context* c) {
    if (c == nullptr || c->count < 0 || c->count > kMaxCandidates) return kErrSuppress;
    Candidate* list = c->candidates;
    // Insertion sort: stable, highest score first.
    for (int32_t k = 1; k < c->count; ++k)
        for (int32_t m = k; m > 0 && list[m].score > list[m - 1].score; --m) Swap(list[m], list[m - 1]);
    int32_t kept = 0;
    for (int32_t k = 0; k < c->count; ++k) {
        bool dropped = false;
        for (int32_t m = 0; m < kept && !dropped; ++m) dropped = Overlaps(list[m], list[k]);
        if (!dropped) list[kept++] = list[k];
    }
    c->count = kept;
    return 0;
}

int32_t Pick(Context* c) {
    if (c == nullptr || c->count < 0 || c->count > kMaxCandidates) return kErrPick;
    if (c->count < 2) return c->count;
    Candidate* list = c->candidates;
    PrimaryCheck(list, 0, c->count);
    for (int32_t s = 1; s < c->count; ++s) {
        if (!IsOtherEye(list[0], list[s])) continue;
        if (s != 1) Swap(list[1], list[s]);
        PrimaryCheck(list, 1, c->count);
        return 2;
    }
    return 1;
}

int32_t MapToFrame(const Context* c, int32_t eyes, int32_t* result) {
    if (c == nullptr || result == nullptr || eyes < 0 || eyes > 2 || eyes > c->count) return kErrMap;
    for (int32_t k = 0; k < 8; ++k) result[k] = 0;
    const int32_t step = c->g.step;
    for (int32_t e = 0; e < eyes; ++e) {
        const Candidate& d = c->candidates[e];
        int32_t* r = result + 4 * e;
        r[0] = step * d.x;
        r[1] = c->g.margin - 1 + step * d.y;
        r[2] = r[0] + step * d.w;
        r[3] = r[1] + step * d.h;
    }
    return eyes;
}

}  // namespace eyeloc
