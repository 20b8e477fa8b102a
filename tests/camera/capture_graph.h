// A capture graph built the way the control builds one for an eye camera:
// device found by a key in its DevicePath, capture graph builder, sample
// grabber with the YUY2 media type, preview-then-capture RenderStream,
// buffer callback, hidden video window. It counts what arrives.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace k7qtest {

// What the buffer callback saw, on the streaming thread.
class FrameRecorder : public ISampleGrabberCB {
public:
    FrameRecorder();
    ~FrameRecorder();

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // held by value, like the control's
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return S_OK; }
    STDMETHODIMP BufferCB(double time, BYTE* buffer, long length) override;

    struct Stats {
        long frames = 0;
        long wrongSize = 0;
        long unstamped = 0;
        long drops = 0;       // counter gaps
        long duplicates = 0;  // counters seen again or going back
        uint32_t lastCounter = 0;
        DWORD firstTick = 0, lastTick = 0;
    };
    Stats Snapshot();
    void ResetStats();

    // Waits up to timeoutMs for the next frame; copies its luma plane.
    bool GrabLuma(DWORD timeoutMs, std::vector<uint8_t>* luma, uint32_t* counter);
    // Waits until `frames` more frames arrived, or timeoutMs passed.
    bool WaitFrames(long frames, DWORD timeoutMs);

private:
    std::mutex lock_;
    Stats stats_;
    bool haveCounter_ = false;
    bool grabRequested_ = false;
    std::vector<uint8_t> luma_;
    uint32_t grabbedCounter_ = 0;
    HANDLE grabbed_;
    HANDLE frameArrived_;
};

// Finds the video input device whose DevicePath contains `key` (case
// sensitive, in the ANSI code page), in enumeration order. Null when none.
IMoniker* FindCameraByKey(const char* key, std::string* friendlyName = nullptr);
// Every DevicePath of the video input category, in enumeration order.
std::vector<std::string> ListDevicePaths();

class CaptureGraph {
public:
    CaptureGraph() = default;
    ~CaptureGraph();

    // Builds the graph; S_OK or the failing call's result. `renderResult`
    // gets RenderStream's answer for the preview request.
    HRESULT Build(const char* key, HRESULT* renderResult = nullptr);
    HRESULT Run();
    HRESULT Stop();
    // Waits up to timeoutMs for event `wanted` (other events are passed
    // over, EC_CLOCK_CHANGED at run among them); `wanted` or 0.
    long WaitEvent(DWORD timeoutMs, long wanted);

    FrameRecorder& Recorder() { return recorder_; }
    IBaseFilter* Capture() { return capture_; }
    IAMVideoProcAmp* ProcAmp();
    IAMCameraControl* CameraControl();
    IAMStreamConfig* StreamConfig() { return streamConfig_; }
    LONG Width() const { return width_; }
    LONG Height() const { return height_; }

private:
    void Release();

    FrameRecorder recorder_;
    IBaseFilter* capture_ = nullptr;
    IGraphBuilder* graph_ = nullptr;
    ICaptureGraphBuilder2* builder_ = nullptr;
    ISampleGrabber* grabber_ = nullptr;
    IMediaControl* control_ = nullptr;
    IMediaEventEx* events_ = nullptr;
    IVideoWindow* window_ = nullptr;
    IAMStreamConfig* streamConfig_ = nullptr;
    IAMVideoProcAmp* procAmp_ = nullptr;
    IAMCameraControl* cameraControl_ = nullptr;
    LONG width_ = 0, height_ = 0;
};

}  // namespace k7qtest
