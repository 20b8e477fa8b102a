#include "tools/eye_locator/trainer_data.h"

#include <algorithm>

#include "tools/eye_locator/eye_evaluation.h"

namespace eyetools {

namespace {
// Positives are the windows that fit the eye about as well as the best one
// does; windows that fit clearly worse (a small box inside a large eye, a box
// astride it) are negatives, so the best fit scores highest.
constexpr double kPositiveIoU = 0.55;
constexpr double kPositiveGap = 0.08;
constexpr double kNegativeGap = 0.15;
constexpr double kNegativeIoU = 0.3;
constexpr double kDoubtfulIoU = 0.2;
// A window under the evaluation's hit line (kFoundIoU) is a negative when a
// clearly better one exists: for eyes no window fits well (very near, very
// narrow) the near misses would otherwise stay unlabelled and win.
constexpr double kHitGap = 0.05;
// Irises under this share visible are negatives (the evaluation's limit for a
// visible eye is 0.40); up to kPositiveVisible they teach nothing either way.
constexpr double kDoubtfulVisible = 0.36;
constexpr double kPositiveVisible = 0.45;
}  // namespace

void TrainingSet::AddFrame(const uint8_t* frame, const k7qsim::GroundTruth& truth) {
    eyeloc::ComputeFeatures(context_, frame);
    const size_t n = static_cast<size_t>(eyeloc::kPlanes) * context_->g.cells;
    const size_t at = planes_.size();
    planes_.resize(at + n);
    for (size_t k = 0; k < n; ++k) planes_[at + k] = static_cast<uint8_t>(context_->planes[k]);
    FrameRecord r;
    r.truth = TruthBox(truth);
    r.hasEye = truth.eyeVisible && truth.irisVisibleFraction >= kPositiveVisible;
    // Half-hidden irises and eyes near the visibility limit teach nothing either way.
    r.ignoreEye = !r.hasEye && truth.personPresent && truth.irisVisibleFraction >= kDoubtfulVisible &&
                  truth.eyeBoxRight > truth.eyeBoxLeft;
    if (r.hasEye) r.bestIoU = BestWindowIoU(context_->g, r.truth);
    records_.push_back(r);
}

void TrainingSet::Load(int32_t frame, eyeloc::Context* into) const {
    const size_t n = static_cast<size_t>(eyeloc::kPlanes) * context_->g.cells;
    const uint8_t* src = planes_.data() + n * frame;
    for (size_t k = 0; k < n; ++k) into->planes[k] = src[k];
}

uint8_t TrainingSet::Value(const Sample& s, int scale, int32_t entry) const {
    const size_t n = static_cast<size_t>(eyeloc::kPlanes) * context_->g.cells;
    const int32_t* list = context_->lists + context_->g.listStart[scale];
    return planes_[n * s.frame + list[entry] + s.i * context_->g.cellCols + s.j];
}

Box TrainingSet::WindowBox(int scale, int32_t i, int32_t j) const { return eyetools::WindowBox(context_->g, scale, i, j); }

int TrainingSet::Label(int scale, int32_t frame, int32_t i, int32_t j) const {
    const FrameRecord& r = records_[frame];
    if (!r.hasEye && !r.ignoreEye) return -1;
    const double iou = IoU(WindowBox(scale, i, j), r.truth);
    if (!r.hasEye) return iou < kDoubtfulIoU ? -1 : 0;
    if (iou >= kPositiveIoU && iou >= r.bestIoU - kPositiveGap) return 1;
    const bool nearMiss = iou < kFoundIoU && iou < r.bestIoU - kHitGap;
    return iou < kNegativeIoU || iou < r.bestIoU - kNegativeGap || nearMiss ? -1 : 0;
}

}  // namespace eyetools
