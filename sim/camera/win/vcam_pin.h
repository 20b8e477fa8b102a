// The virtual camera's one output pin: 960x720 YUY2, the capture pin category,
// IAMStreamConfig, and the streaming thread that pushes frames into the
// connected input pin through an allocator of at least three buffers.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <memory>

#include "com/dshow/output_pin.h"
#include "sim/camera/camera_faults.h"
#include "sim/camera/frame_pacer.h"
#include "sim/camera/frame_producer.h"

namespace k7qsim {

class VirtualCameraFilter;

class VirtualCameraPin final : public com::dshow::OutputPin, public IAMStreamConfig, public IKsPropertySet {
public:
    explicit VirtualCameraPin(VirtualCameraFilter* filter);
    ~VirtualCameraPin() override;

    // IUnknown: the pin lives inside its filter and shares its count.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** mt) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override;

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instanceSize, void* data,
                     DWORD dataSize) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instanceSize, void* data, DWORD dataSize,
                     DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // Called by the filter, under its lock, on state changes.
    HRESULT StartStreaming();  // stopped -> paused: commit, start the thread
    void SetRunning(bool running, REFERENCE_TIME streamStart);
    void StopStreaming();      // -> stopped: decommit, join the thread

protected:
    HRESULT OfferedType(AM_MEDIA_TYPE* mt) const override;
    bool Streaming() const override { return thread_ != nullptr; }
    long MinimumBuffers() const override;

private:
    void StreamLoop();
    void DeliverFrame();
    bool CheckFaults();  // false when no frame should go out now
    static DWORD WINAPI ThreadEntry(void* self);

    VirtualCameraFilter* filter_;
    AM_MEDIA_TYPE mt_;  // the one format: 960x720 YUY2

    HANDLE thread_ = nullptr;
    HANDLE wake_ = nullptr;  // auto-reset: a state change or a stop request
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> restartSchedule_{false};
    std::atomic<REFERENCE_TIME> streamStart_{0};
    bool discontinuity_ = true;
    bool lost_ = false;
    CameraFault fault_ = CameraFault::None;
    FramePacer pacer_;
    std::unique_ptr<FrameProducer> producer_;
    uint32_t lastFaultCheck_ = 0;
};

}  // namespace k7qsim
