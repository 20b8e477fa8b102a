// The eye analysis chain: locate the eye and cut its 720x720 window, find
// the iris, reject motion blur, steer the exposure, crop the 640x480 view,
// judge it; and GetTemplate on a stored eye bitmap.
#include <cstdio>
#include <cstring>

#include "device/device_k7q.h"
#include "device/exposure.h"
#include "device/imaging/crop.h"
#include "device/imaging/dim_iris_disc.h"
#include "device/imaging/gray_bitmap.h"
#include "device/imaging/motion_blur.h"
#include "device/imaging/sharpen.h"
#include "log/log_writer.h"
#include "modules/vmcalib/vmcalib_records.h"

namespace {

constexpr int32_t kNotBound = -13;
constexpr int32_t kSlightOcclusion = -19;
constexpr double kBlurLimit = 0.7;

// The centre band of the frame an eye must lie in.
int32_t BandCheck(int32_t cx, int32_t cy) {
    if (960 - cx < 320) return -2;  // too far right
    if (cx < 320) return -3;        // too far left
    if (720 - cy < 240) return -4;  // too low
    if (cy < 240) return -5;        // too high
    return 0;
}

}  // namespace

int32_t CDeviceK7Q::LocateEye(const uint8_t* frame, EyeRect* rect, uint8_t* work) {
    IEyeLocator* locator = m_services.locator;
    if (!locator) return -1;
    std::lock_guard<std::mutex> lock(ModuleLock);
    int32_t found[8] = {};
    if (locator->Detect(frame, kFrameBytes, found) != 1) return -1;
    *rect = EyeRect{found[0], found[1], found[2], found[3]};
    const int32_t cx = rect->left + (rect->right - rect->left) / 2;
    const int32_t cy = rect->top + (rect->bottom - rect->top) / 2;
    if (const int32_t band = BandCheck(cx, cy)) return band;
    return locator->Crop(frame, 960, 720, found, work, kWorkSide, kWorkSide);
}

int32_t CDeviceK7Q::DetectIris(uint8_t* image, char* text, uint8_t* irisOut, IrisDetection* detection,
                               IrisCircle* circle, const EyeRect* roi) {
    VmCaWord input[kVmInWords] = {};
    input[kVmInKind] = kVmInKindGray720;
    input[kVmInImage] = reinterpret_cast<VmCaWord>(image);
    input[kVmInRoi] = reinterpret_cast<VmCaWord>(roi);
    VmCaWord output[kVmOutWords] = {};
    output[kVmOutText] = reinterpret_cast<VmCaWord>(text);
    output[kVmOutIris] = reinterpret_cast<VmCaWord>(irisOut);
    int32_t result = kNotBound;
    {
        std::lock_guard<std::mutex> lock(ModuleLock);
        if (m_iris.f4) result = m_iris.f4(0, input, output);
    }
    PromptForDetection(result);
    DebugTrace("func4:%d\n", result);
    for (int i = 0; i < 6; ++i) detection->fields[i] = static_cast<int32_t>(output[kVmOutKey + i]);
    circle->cx = static_cast<int32_t>(output[kVmOutCentreX]);
    circle->cy = static_cast<int32_t>(output[kVmOutCentreY]);
    circle->outerRadius = static_cast<int32_t>(output[kVmOutOuterRadius]);
    circle->innerRadius = static_cast<int32_t>(output[kVmOutInnerRadius]);
    return result;
}

void CDeviceK7Q::ParseLeftImage(PassState& s, CandidateList& list, const EyeRect& rect) {
    ParseEyeImage(LeftSlot(), s, list, rect);
}

void CDeviceK7Q::ParseRightImage(PassState& s, CandidateList& list, const EyeRect& rect) {
    ParseEyeImage(RightSlot(), s, list, rect);
}

void CDeviceK7Q::ParseEyeImage(const EyeSlot& eye, PassState& s, CandidateList& list, const EyeRect& rect) {
    uint8_t* scratch = m_filterScratch.get();
    Sharpen(eye.work, scratch);
    std::memcpy(eye.work, scratch, kWorkBytes);
    int32_t result = DetectIris(eye.work, s.text, m_irisScratch.get(), &s.detection, &s.circle, &rect);
    if (result == 1) {
        const int32_t cx = s.circle.cx, cy = s.circle.cy, r = s.circle.outerRadius;
        float score = 0;
        const int32_t blur = MeasureMotionBlur(&score, eye.work, cx - r, cy - r, cx + r, cy + r);
        DebugTrace("%s MotionBlur:%d---%f\n", eye.name, blur, score);
        if (blur != 0 || static_cast<double>(score) < kBlurLimit) {
            WriteLog(&LogWriter(), 1, "DeviceK7Q", eye.parseFunction, eye.blurLogLine, "%s MotionBlur:%d---%f\n",
                     eye.name, blur, score);
            return;
        }
        DimIrisDisc(eye.work, scratch, cx, cy, r);
        std::memcpy(eye.work, scratch, kWorkBytes);
        result = DetectIris(eye.work, s.text, m_irisScratch.get(), &s.detection, &s.circle, &rect);
    } else {
        WriteLog(&LogWriter(), 1, "DeviceK7Q", eye.parseFunction, eye.templateLogLine, "GetTemplate %s:%d", eye.name,
                 result);
    }
    IEyeCamera* camera = eye.camera->get();
    if (result != 1) {
        RecenterExposure(camera, *eye.exposure);
        return;
    }
    if (AdaptExposure(eye.work, *eye.exposureHold, *eye.exposure, camera, s.circle) != 0) return;
    CropTo640x480(eye.work, s.circle.cx, s.circle.cy, eye.view);
    MakeGrayBitmap(eye.view, eye.bitmap);
    *eye.score = 0;
    if (!m_services.judgeImage || m_services.judgeImage(eye.bitmap, eye.score) != 0) return;
    list.Append(eye.bitmap, s.detection.fields[0]);
}

int32_t CDeviceK7Q::GetTemplate(const char* bitmapPath) {
    if (!bitmapPath) return kDeviceOpenFailed;
    if (!m_initialised) return kDeviceNotInitialised;
    // The template borrows the capture thread's buffers and the iris module:
    // never while a capture is armed or its last pass is still running. A
    // start waits for the lock, so none begins until the template is done.
    std::lock_guard<std::mutex> lock(m_armLock);
    if (CaptureArmed || !m_doneEvent.IsSet()) return kDeviceCaptureArmed;
    uint8_t* work = m_leftWork.get();
    std::memset(work, 0, kWorkBytes);
    // A missing or short file leaves the rest of the image zero: the bytes
    // read are used, nothing past the end of the file.
    if (std::FILE* file = std::fopen(bitmapPath, "rb")) {
        if (std::fseek(file, kBitmapPixelOffset, SEEK_SET) == 0) {
            const size_t got = std::fread(work, 1, kWorkBytes, file);
            (void)got;
        }
        std::fclose(file);
    }
    FlipRows(work, kWorkSide, kWorkSide);
    static const EyeRect kTemplateRoi{39, 119, 639, 479};
    char text[kAnalysisTextBytes] = {};
    IrisDetection detection{};
    IrisCircle circle{};
    const int32_t result = DetectIris(work, text, m_irisScratch.get(), &detection, &circle, &kTemplateRoi);
    if (result == 1 || result == kSlightOcclusion) {
        CropTo640x480(work, circle.cx, circle.cy, m_rightView.get());
        MakeGrayBitmap(m_rightView.get(), m_rightBitmap.get());
        int32_t quality = 0;
        if (m_services.judgeImage) m_services.judgeImage(m_rightBitmap.get(), &quality);
        WriteLog(&LogWriter(), 1, "DeviceK7Q", "CDeviceK7Q::GetTemplate", 927, "%s(%d):张合度:%d,公安图像质量:%d\n",
                 bitmapPath, result, detection.fields[1], quality);
    }
    return result == 1 ? 0 : result;
}
