// The streaming side of the virtual camera's pin: the thread that paces,
// renders and delivers frames, and the fault checks a test can drive.
#include <cstdlib>

#include <vfwmsgs.h>

#include "sim/camera/camera_format.h"
#include "sim/camera/win/vcam_filter.h"
#include "sim/camera/win/vcam_pin.h"

namespace k7qsim {

namespace {
constexpr DWORD kStopJoinMs = 5000;
constexpr uint32_t kFaultPollMs = 100;
constexpr DWORD kIdleWaitMs = 50;
constexpr uint64_t kDefaultSceneSeed = 7;

// Both cameras of a process stream the same seeded person.
uint64_t SceneSeed() {
    const char* value = std::getenv("K7Q_SCENE_SEED");
    return value != nullptr ? std::strtoull(value, nullptr, 10) : kDefaultSceneSeed;
}
}  // namespace

HRESULT VirtualCameraPin::StartStreaming() {
    if (thread_ != nullptr) return S_OK;
    const HRESULT hr = CommitAllocator();
    if (FAILED(hr)) return hr;
    stopRequested_ = false;
    running_ = false;
    thread_ = CreateThread(nullptr, 0, &VirtualCameraPin::ThreadEntry, this, 0, nullptr);
    if (thread_ == nullptr) {
        DecommitAllocator();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void VirtualCameraPin::SetRunning(bool running, REFERENCE_TIME streamStart) {
    if (running && !running_) {
        streamStart_ = streamStart;
        restartSchedule_ = true;
    }
    running_ = running;
    if (wake_ != nullptr) SetEvent(wake_);
}

// Decommitting first releases a GetBuffer waiting for a free sample, so the
// thread always sees the stop request within one frame.
void VirtualCameraPin::StopStreaming() {
    if (thread_ == nullptr) return;
    stopRequested_ = true;
    running_ = false;
    DecommitAllocator();
    if (wake_ != nullptr) SetEvent(wake_);
    WaitForSingleObject(thread_, kStopJoinMs);
    CloseHandle(thread_);
    thread_ = nullptr;
    discontinuity_ = true;
}

DWORD WINAPI VirtualCameraPin::ThreadEntry(void* self) {
    static_cast<VirtualCameraPin*>(self)->StreamLoop();
    return 0;
}

void VirtualCameraPin::StreamLoop() {
    if (!producer_) producer_.reset(new FrameProducer(filter_->CameraEye(), MakeDefaultFrameSource(SceneSeed())));
    while (!stopRequested_) {
        if (!running_) {
            WaitForSingleObject(wake_, kIdleWaitMs);
            continue;
        }
        if (restartSchedule_.exchange(false)) pacer_.Restart(GetTickCount());
        const uint32_t delay = pacer_.DelayMs(GetTickCount());
        if (delay > 0) {
            WaitForSingleObject(wake_, delay);
            continue;  // re-check stop and state after every wait
        }
        if (CheckFaults()) DeliverFrame();
        pacer_.FrameSent(GetTickCount());
    }
}

// Polls the control file a few times a second. An unplug is final for this
// filter: one EC_DEVICE_LOST, then silence.
bool VirtualCameraPin::CheckFaults() {
    const uint32_t now = GetTickCount();
    if (!lost_ && now - lastFaultCheck_ >= kFaultPollMs) {
        lastFaultCheck_ = now;
        fault_ = ReadCameraFault(filter_->ControlPath(), filter_->CameraEye());
        if (fault_ == CameraFault::Unplug) {
            lost_ = true;
            filter_->NotifyDeviceLost();
        }
    }
    return !lost_ && fault_ != CameraFault::Stall;
}

void VirtualCameraPin::DeliverFrame() {
    if (Allocator() == nullptr || Input() == nullptr) return;
    IMediaSample* sample = nullptr;
    if (FAILED(Allocator()->GetBuffer(&sample, nullptr, nullptr, 0)) || sample == nullptr) return;
    BYTE* data = nullptr;
    if (SUCCEEDED(sample->GetPointer(&data)) && sample->GetSize() >= kYuy2FrameBytes) {
        const uint32_t counter = producer_->Produce(filter_->Properties().RenderControls(), data);
        sample->SetActualDataLength(kYuy2FrameBytes);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(discontinuity_ ? TRUE : FALSE);
        discontinuity_ = false;
        IReferenceClock* clock = filter_->TakeClock();
        REFERENCE_TIME now = 0;
        if (clock != nullptr && SUCCEEDED(clock->GetTime(&now))) {
            REFERENCE_TIME start = now - streamStart_;
            REFERENCE_TIME end = start + kFrameDuration100ns;
            sample->SetTime(&start, &end);
        } else {
            sample->SetTime(nullptr, nullptr);
        }
        if (clock != nullptr) clock->Release();
        LONGLONG mediaStart = counter, mediaEnd = counter + 1LL;
        sample->SetMediaTime(&mediaStart, &mediaEnd);
        Input()->Receive(sample);
    }
    sample->Release();
}

}  // namespace k7qsim
