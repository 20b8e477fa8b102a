// The module's segmentation: the iris module's pupil and limbus finder,
// compiled into this module.
#include "modules/iris/iris_segmentation.h"
#include "modules/judge/judge_pipeline.h"

namespace {

bool FindWithIrisModule(void* context, const GrayView& picture, IrisCircles* circles) {
    IrisImage image;
    image.pixels = picture.top;
    image.width = picture.width;
    image.height = picture.height;
    image.stride = static_cast<int>(picture.stride);
    if (IrisWorkspaceBytes(picture.width, picture.height) > kJudgeSegmentationBytes) return false;
    IrisSegmentation seg;
    if (IrisSegment(&image, nullptr, context, kJudgeSegmentationBytes, &seg) != 1 || !seg.found) return false;
    circles->pupilX = seg.pupilX;
    circles->pupilY = seg.pupilY;
    circles->pupilR = seg.pupilRadius;
    circles->irisX = seg.irisX;
    circles->irisY = seg.irisY;
    circles->irisR = seg.irisRadius;
    circles->upperLidY = seg.upperLidY;
    circles->lowerLidY = seg.lowerLidY;
    return circles->irisR > 0 && circles->pupilR > 0;
}

}  // namespace

JudgeSegmenter IrisModuleSegmenter(JudgeWorkspace* ws) {
    JudgeSegmenter s;
    s.find = FindWithIrisModule;
    s.context = ws->segmentation;
    return s;
}
