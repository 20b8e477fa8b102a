#include "device/exposure.h"

#include <cstring>

#include "device/imaging/gray_measures.h"
#include "hid/hid_operate.h"  // LeftDefaultExposure, RightDefaultExposure
#include "log/log_writer.h"   // DebugTrace

namespace {

const char* NameOf(const IEyeCamera* camera) {
    const char* name = camera->CameraName();
    return name != nullptr ? name : "";
}

// A failed read leaves the level as it was.
void ReadLevel(IEyeCamera* camera, int32_t& level) {
    int32_t value = level;
    if (camera->GetBacklight(&value) == 0) {
        level = value;
    }
}

}  // namespace

int32_t DefaultExposureFor(const IEyeCamera* camera) {
    return std::strcmp(NameOf(camera), kLeftCameraName) == 0 ? LeftDefaultExposure.load()
                                                              : RightDefaultExposure.load();
}

int32_t StepExposure(int32_t gray, int32_t& hold, int32_t& level, IEyeCamera* camera, int32_t upper, int32_t step) {
    const bool tooDark = gray < kExposureDarkLimit;
    if (tooDark || gray > upper) {
        if (hold <= 0) {
            ++hold;  // the first out-of-band measurement only arms the change
        } else {
            level = tooDark ? level + step : level - step;
            if ((tooDark && level >= kExposureUpperBound) || (!tooDark && level <= kExposureLowerBound)) {
                level = DefaultExposureFor(camera);
            }
            camera->SetBacklight(level);  // a failed write is not reported
            hold = 0;
        }
    }
    return (tooDark || gray > kExposureBrightCoarse) ? -1 : 0;
}

int32_t AdaptExposure(const uint8_t* image, int32_t& hold, int32_t& level, IEyeCamera* camera,
                      const IrisCircle& circle) {
    const char* name = NameOf(camera);
    const int32_t gray =
        circle.cx <= 0 ? -1 : IrisGrayValue(image, circle.cx, circle.cy, circle.outerRadius, circle.innerRadius);
    DebugTrace("%s IrisGrayValue:%d\n", name, gray);
    ReadLevel(camera, level);
    DebugTrace("%s current exp:%d\n", name, level);
    const int32_t result = StepExposure(gray, hold, level, camera, kExposureBrightCoarse, kExposureCoarseStep);
    if (result == 0) {
        const int32_t rate = GetGrayRate(image);
        DebugTrace("%s GetGrayRate:%d\n", name, rate);
        const int32_t upper = rate != 0 ? kExposureBrightFineTextured : kExposureBrightFine;
        StepExposure(gray, hold, level, camera, upper, kExposureFineStep);
    }
    ReadLevel(camera, level);
    DebugTrace("%s AutoAdapted Exp:%d\n", name, level);
    return result;
}

int32_t RecenterExposure(IEyeCamera* camera, int32_t& level) {
    ReadLevel(camera, level);
    DebugTrace("%s current exp:%d\n", NameOf(camera), level);
    if (level > kExposureLowerBound && level < kExposureUpperBound) {
        return 0;
    }
    level = DefaultExposureFor(camera);
    camera->SetBacklight(level);
    return 0;
}
