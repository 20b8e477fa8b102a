// The capture workflow: arming, the capture thread's cycles and passes, and
// the hand-over of results to the control's result routine.
#include <cstring>
#include <exception>

#include "device/device_k7q.h"
#include "device/imaging/crop.h"
#include "device/imaging/gray_bitmap.h"
#include "device/prompts.h"
#include "hid/hid_operate.h"
#include "log/log_writer.h"
#include "platform/clock.h"

namespace {

constexpr uint8_t kCommandArmed = 51;
constexpr uint8_t kCommandCollect = 60;
constexpr uint8_t kCommandLightOff = 61;
constexpr uint8_t kCommandTimeout = 62;
constexpr uint8_t kCommandSuccess = 58;
constexpr uint32_t kIdleCycleMs = 50;
constexpr uint32_t kStepTwoPauseMs = 1000;

}  // namespace

int32_t CDeviceK7Q::DevStartCapture(EyeType eyeType) {
    try {
        m_promptCount = 0;
        if (!m_initialised) return kDeviceNotInitialised;
        m_eyeType = eyeType;
        m_resultCallback = m_services.resultRoutine;
        if (CaptureArmed) {
            m_captureState = kOutcomeStopped;
            if (ResultRoutine routine = m_resultCallback) routine(nullptr, nullptr, 0, -1, 0, 0, kOutcomeRefused);
            return kDeviceCaptureArmed;
        }
        std::lock_guard<std::mutex> lock(m_armLock);
        m_doneEvent.Reset();
        if (CHidOperate::send_command(kCommandArmed) > 0)
            CHidOperate::send_command(CaptureMode == 1 ? kCommandCollect : kCommandLightOff);
        CaptureArmed = 1;
        m_captureState = kOutcomeStopped;
        m_wake.Set();
        return kDeviceOk;
    } catch (const std::exception& e) {
        DebugTrace("%s\n", e.what());
        return kDeviceStdException;
    } catch (...) {
        return kDeviceUnknownException;
    }
}

uint32_t CDeviceK7Q::Ticks() const {
    return m_services.tickCount ? m_services.tickCount() : platform::TickCount();
}

void CDeviceK7Q::Report(int32_t outcome) {
    ResultRoutine routine = m_resultCallback;
    if (!routine) return;
    if (outcome == kOutcomeSuccess)
        routine(m_leftResult.get(), m_rightResult.get(), m_resultLength, m_eyeType, m_leftScore, m_rightScore,
                outcome);
    else
        routine(nullptr, nullptr, 0, -1, 0, 0, outcome);
}

int32_t CDeviceK7Q::CaptureThreadProc(CDeviceK7Q* device) {
    if (!device) return -1;
    PassState& s = *device->m_pass;
    while (!CaptureThreadExit) {
        try {
            device->CaptureCycle(s);
        } catch (...) {
            device->m_captureState = kOutcomeFailure;
            device->Report(kOutcomeFailure);
            CaptureArmed = 0;
            device->m_doneEvent.Set();  // (also below: the thread ends here)
            ClearCandidates(s.leftList, s.rightList);
            return 0;
        }
    }
    return 0;
}

void CDeviceK7Q::CaptureCycle(PassState& s) {
    std::memset(s.text, 0, sizeof s.text);
    s.detection = IrisDetection{};
    s.circle = IrisCircle{};
    const uint32_t start = Ticks();
    m_leftScore = m_rightScore = 0;
    m_leftExposureHold = m_rightExposureHold = 0;
    m_resultLength = BitmapFileSize;
    std::memset(m_leftResult.get(), 0, BitmapFileSize);
    std::memset(m_rightResult.get(), 0, BitmapFileSize);
    int resultNumber = 1;
    while (CaptureArmed) {
        if ((Ticks() - start) / 1000 > kCaptureSeconds) {
            m_captureState = kOutcomeTimeout;
            CHidOperate::send_command(kCommandTimeout);
            PlayPrompt(kPromptTimeout);
            Report(kOutcomeTimeout);
            CaptureArmed = 0;  // before the event: whoever wakes sees the capture over
            m_doneEvent.Set();
            break;
        }
        std::memset(m_leftWork.get(), 0, kWorkBytes);
        std::memset(m_rightWork.get(), 0, kWorkBytes);
        std::memset(m_leftBitmap.get(), 0, BitmapFileSize);
        std::memset(m_rightBitmap.get(), 0, BitmapFileSize);
        switch (m_eyeType) {
            case kEyeRight: CaptureRightEye(s); break;
            case kEyeLeft: CaptureLeftEye(s); break;
            case kEyeBoth: CaptureBothEyes(s); break;
            default: PauseUnlessClosing(kIdleCycleMs); break;  // nothing to analyse: no busy loop
        }
        if (!CaptureArmed) {
            m_captureState = kOutcomeStopped;
            Report(kOutcomeStopped);
            m_doneEvent.Set();
            break;
        }
        if (m_captureState != kOutcomeSuccess) continue;
        Report(kOutcomeSuccess);
        if (resultNumber > 1 || CaptureMode != 2) {
            CaptureArmed = 0;
            m_doneEvent.Set();
            break;
        }
        m_doneEvent.Set();
        CHidOperate::send_command(kCommandCollect);
        resultNumber = 2;
        m_captureState = kOutcomeStopped;
        ClearCandidates(s.leftList, s.rightList);
        PauseUnlessClosing(kStepTwoPauseMs);
    }
    {
        // Never set while a start has just armed the next capture.
        std::lock_guard<std::mutex> lock(m_armLock);
        if (!CaptureArmed) m_doneEvent.Set();
    }
    // Idle: wake at once when a capture is armed or the device closes.
    if (!CaptureArmed && !CaptureThreadExit) m_wake.Wait(kIdleCycleMs);
    m_wake.Reset();
    ClearCandidates(s.leftList, s.rightList);
}

void CDeviceK7Q::PauseUnlessClosing(uint32_t ms) {
    const uint32_t start = platform::TickCount();
    while (!CaptureThreadExit && platform::TicksSince(start) < ms) platform::SleepMs(10);
}

bool CDeviceK7Q::GrabInto(std::unique_ptr<IEyeCamera>& camera, uint8_t* frame) {
    if (!camera) return false;
    char message[kGrabMessageBytes + 1] = {};
    const uint8_t* grabbed = camera->GrabFrame(message);
    if (!grabbed) return false;
    std::memcpy(frame, grabbed, kFrameBytes);
    return true;
}

bool CDeviceK7Q::GrabBoth() {
    return GrabInto(m_rightCamera, m_rightFrame.get()) && GrabInto(m_leftCamera, m_leftFrame.get());
}

void CDeviceK7Q::AnalyseEye(const EyeSlot& eye, PassState& s, CandidateList& list, const EyeRect& rect) {
    if (ForceAccept) {
        CropTo640x480(eye.work, kWorkSide / 2, kWorkSide / 2, eye.view);
        MakeGrayBitmap(eye.view, eye.bitmap);
        *eye.score = 0;
        list.Append(eye.bitmap, s.detection.fields[0]);
    } else {
        ParseEyeImage(eye, s, list, rect);
    }
}

void CDeviceK7Q::FinishCapture(PassState& s, bool left, bool right) {
    CHidOperate::set_device_sn(m_serial, m_modelType, m_leftExposure, m_rightExposure);
    m_resultLength = BitmapFileSize;
    if (left) std::memcpy(m_leftResult.get(), s.leftList.At(0).bitmap.get(), BitmapFileSize);
    if (right) std::memcpy(m_rightResult.get(), s.rightList.At(0).bitmap.get(), BitmapFileSize);
    m_captureState = kOutcomeSuccess;
    CHidOperate::send_command(kCommandSuccess);
    PlayPrompt(kPromptSuccess);
}

void CDeviceK7Q::CaptureBothEyes(PassState& s) {
    if (!GrabBoth()) return;
    EyeRect leftRect{}, rightRect{};
    const int32_t left = LocateEye(m_leftFrame.get(), &leftRect, m_leftWork.get());
    const int32_t right = LocateEye(m_rightFrame.get(), &rightRect, m_rightWork.get());
    PromptForPosition(left, right);
    const bool rightWanted = s.rightList.Empty();
    if (left == 0 && s.leftList.Empty()) AnalyseEye(LeftSlot(), s, s.leftList, leftRect);
    if (right == 0 && rightWanted) AnalyseEye(RightSlot(), s, s.rightList, rightRect);
    if (s.leftList.Size() != 1 || s.rightList.Size() != 1) return;
    FinishCapture(s, true, true);
}

void CDeviceK7Q::CaptureLeftEye(PassState& s) {
    if (!GrabBoth()) return;
    EyeRect rect{};
    const int32_t location = LocateEye(m_leftFrame.get(), &rect, m_leftWork.get());
    PromptForPosition(location, 0);
    if (location == 0 && s.leftList.Empty()) AnalyseEye(LeftSlot(), s, s.leftList, rect);
    if (s.leftList.Size() == 1) FinishCapture(s, true, false);
}

void CDeviceK7Q::CaptureRightEye(PassState& s) {
    if (!GrabBoth()) return;
    EyeRect rect{};
    const int32_t location = LocateEye(m_rightFrame.get(), &rect, m_rightWork.get());
    PromptForPosition(0, location);
    if (location == 0 && s.rightList.Empty()) AnalyseEye(RightSlot(), s, s.rightList, rect);
    if (s.rightList.Size() == 1) FinishCapture(s, false, true);
}

void CDeviceK7Q::ClearCandidates(CandidateList& left, CandidateList& right) {
    left.Clear();
    right.Clear();
}

EyeSlot CDeviceK7Q::LeftSlot() {
    return {"left", m_leftWork.get(), m_leftView.get(), m_leftFrame.get(), m_leftBitmap.get(), &m_leftCamera,
            &m_leftScore, &m_leftExposure, &m_leftExposureHold, "CDeviceK7Q::ParseLeftImage", 1285, 1295};
}

EyeSlot CDeviceK7Q::RightSlot() {
    return {"right", m_rightWork.get(), m_rightView.get(), m_rightFrame.get(), m_rightBitmap.get(),
            &m_rightCamera, &m_rightScore, &m_rightExposure, &m_rightExposureHold, "CDeviceK7Q::ParseRightImage",
            1217, 1228};
}
