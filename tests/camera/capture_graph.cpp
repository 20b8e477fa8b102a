#include "tests/camera/capture_graph.h"

#include <cstring>

#include "sim/camera/camera_format.h"

namespace k7qtest {

// qedit.h of mingw-w64 declares the grabber's interfaces but not its class.
// {C1F400A0-3F08-11D3-9F0B-006008039E37}
const CLSID CLSID_SampleGrabber = {0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

template <class T>
void SafeRelease(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

// ---- recorder ----

FrameRecorder::FrameRecorder()
    : luma_(k7qsim::kCameraWidth * k7qsim::kCameraHeight),
      grabbed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      frameArrived_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

FrameRecorder::~FrameRecorder() {
    CloseHandle(grabbed_);
    CloseHandle(frameArrived_);
}

STDMETHODIMP FrameRecorder::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *out = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FrameRecorder::BufferCB(double, BYTE* buffer, long length) {
    if (buffer == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    const DWORD now = GetTickCount();
    if (stats_.frames == 0) stats_.firstTick = now;
    stats_.lastTick = now;
    ++stats_.frames;
    if (length != k7qsim::kYuy2FrameBytes) ++stats_.wrongSize;
    uint32_t counter = 0;
    if (!k7qsim::ReadFrameCounter(buffer, length, &counter)) {
        ++stats_.unstamped;
    } else {
        if (haveCounter_) {
            if (counter <= stats_.lastCounter) ++stats_.duplicates;
            else if (counter != stats_.lastCounter + 1) ++stats_.drops;
        }
        haveCounter_ = true;
        stats_.lastCounter = counter;
    }
    if (grabRequested_ && length == k7qsim::kYuy2FrameBytes) {
        for (size_t i = 0; i < luma_.size(); ++i) luma_[i] = buffer[2 * i];
        grabbedCounter_ = counter;
        grabRequested_ = false;
        SetEvent(grabbed_);
    }
    SetEvent(frameArrived_);
    return S_OK;
}

FrameRecorder::Stats FrameRecorder::Snapshot() {
    std::lock_guard<std::mutex> guard(lock_);
    return stats_;
}

// Counter continuity is kept across a reset, so a restart that repeats or
// skips frames still shows.
void FrameRecorder::ResetStats() {
    std::lock_guard<std::mutex> guard(lock_);
    const uint32_t last = stats_.lastCounter;
    stats_ = Stats();
    stats_.lastCounter = last;
}

bool FrameRecorder::GrabLuma(DWORD timeoutMs, std::vector<uint8_t>* luma, uint32_t* counter) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ResetEvent(grabbed_);
        grabRequested_ = true;
    }
    const bool ok = WaitForSingleObject(grabbed_, timeoutMs) == WAIT_OBJECT_0;
    std::lock_guard<std::mutex> guard(lock_);
    grabRequested_ = false;
    if (ok) {
        *luma = luma_;
        *counter = grabbedCounter_;
    }
    return ok;
}

bool FrameRecorder::WaitFrames(long frames, DWORD timeoutMs) {
    const long target = Snapshot().frames + frames;
    const DWORD start = GetTickCount();
    while (Snapshot().frames < target) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        WaitForSingleObject(frameArrived_, timeoutMs - spent);
    }
    return true;
}

// ---- discovery ----

namespace {

bool ReadBagString(IMoniker* moniker, const wchar_t* name, std::string* out) {
    IPropertyBag* bag = nullptr;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag))))
        return false;
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    bool ok = SUCCEEDED(bag->Read(name, &value, nullptr)) && V_VT(&value) == VT_BSTR;
    if (ok) {
        char text[2048] = {};
        WideCharToMultiByte(CP_ACP, 0, V_BSTR(&value), -1, text, sizeof(text) - 1, nullptr, nullptr);
        *out = text;
    }
    VariantClear(&value);
    bag->Release();
    return ok;
}

template <class Visit>
void ForEachVideoInput(Visit visit) {
    ICreateDevEnum* devices = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices))))
        return;
    IEnumMoniker* monikers = nullptr;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK) {
        IMoniker* moniker = nullptr;
        while (monikers->Next(1, &moniker, nullptr) == S_OK) {
            const bool more = visit(moniker);
            moniker->Release();
            if (!more) break;
        }
        monikers->Release();
    }
    devices->Release();
}

}  // namespace

IMoniker* FindCameraByKey(const char* key, std::string* friendlyName) {
    IMoniker* found = nullptr;
    ForEachVideoInput([&](IMoniker* moniker) {
        std::string path;
        if (ReadBagString(moniker, L"DevicePath", &path) && std::strstr(path.c_str(), key) != nullptr) {
            found = moniker;
            found->AddRef();
            if (friendlyName != nullptr) ReadBagString(moniker, L"FriendlyName", friendlyName);
            return false;
        }
        return true;
    });
    return found;
}

std::vector<std::string> ListDevicePaths() {
    std::vector<std::string> paths;
    ForEachVideoInput([&](IMoniker* moniker) {
        std::string path;
        ReadBagString(moniker, L"DevicePath", &path);
        paths.push_back(path);
        return true;
    });
    return paths;
}

// ---- graph ----

CaptureGraph::~CaptureGraph() {
    if (control_ != nullptr) control_->Stop();
    Release();
}

void CaptureGraph::Release() {
    if (grabber_ != nullptr) grabber_->SetCallback(nullptr, 1);
    SafeRelease(cameraControl_);
    SafeRelease(procAmp_);
    SafeRelease(streamConfig_);
    SafeRelease(window_);
    SafeRelease(events_);
    SafeRelease(control_);
    SafeRelease(grabber_);
    SafeRelease(builder_);
    SafeRelease(graph_);
    SafeRelease(capture_);
}

#define K7Q_TRY(call)             \
    do {                          \
        const HRESULT hr_ = call; \
        if (FAILED(hr_)) return hr_; \
    } while (0)

HRESULT CaptureGraph::Build(const char* key, HRESULT* renderResult) {
    IMoniker* moniker = FindCameraByKey(key);
    if (moniker == nullptr) return VFW_E_NOT_FOUND;
    HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&capture_));
    moniker->Release();
    if (FAILED(hr)) return hr;

    K7Q_TRY(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(&graph_)));
    K7Q_TRY(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                             reinterpret_cast<void**>(&builder_)));
    K7Q_TRY(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_ISampleGrabber,
                             reinterpret_cast<void**>(&grabber_)));
    K7Q_TRY(builder_->SetFiltergraph(graph_));
    K7Q_TRY(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_)));
    K7Q_TRY(graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events_)));
    K7Q_TRY(graph_->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&window_)));
    K7Q_TRY(graph_->AddFilter(capture_, L"Video Capture Filter"));

    IBaseFilter* grabberFilter = nullptr;
    K7Q_TRY(grabber_->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&grabberFilter)));
    builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, capture_, IID_IAMStreamConfig,
                            reinterpret_cast<void**>(&streamConfig_));

    // The control's media type: 960x720, image size width x height x 3, all
    // other header fields zero.
    VIDEOINFOHEADER vih = {};
    vih.bmiHeader.biWidth = 960;
    vih.bmiHeader.biHeight = 720;
    vih.bmiHeader.biSizeImage = 960 * 720 * 3;
    AM_MEDIA_TYPE mt = {};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_YUY2;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = reinterpret_cast<BYTE*>(&vih);
    if (streamConfig_ != nullptr) streamConfig_->SetFormat(&mt);
    hr = grabber_->SetMediaType(&mt);
    if (SUCCEEDED(hr)) hr = graph_->AddFilter(grabberFilter, L"SampleGrabber");
    if (SUCCEEDED(hr)) {
        hr = builder_->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, capture_, grabberFilter, nullptr);
        if (renderResult != nullptr) *renderResult = hr;
        if (FAILED(hr))
            hr = builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, capture_, grabberFilter, nullptr);
    }
    grabberFilter->Release();
    if (FAILED(hr)) return hr;

    AM_MEDIA_TYPE connected = {};
    K7Q_TRY(grabber_->GetConnectedMediaType(&connected));
    if (connected.formattype == FORMAT_VideoInfo && connected.pbFormat != nullptr) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(connected.pbFormat);
        width_ = info->bmiHeader.biWidth;
        height_ = info->bmiHeader.biHeight;
    }
    if (connected.pbFormat != nullptr) CoTaskMemFree(connected.pbFormat);
    if (connected.pUnk != nullptr) connected.pUnk->Release();

    K7Q_TRY(grabber_->SetBufferSamples(FALSE));
    K7Q_TRY(grabber_->SetOneShot(FALSE));
    grabber_->SetCallback(nullptr, 1);
    K7Q_TRY(grabber_->SetCallback(&recorder_, 1));

    if (SUCCEEDED(window_->put_Visible(OAFALSE)) && SUCCEEDED(window_->put_Owner(0)) &&
        SUCCEEDED(window_->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN))) {
        window_->put_AutoShow(OAFALSE);
        window_->put_Visible(OAFALSE);
    }
    return S_OK;
}

HRESULT CaptureGraph::Run() { return control_ != nullptr ? control_->Run() : E_UNEXPECTED; }
HRESULT CaptureGraph::Stop() { return control_ != nullptr ? control_->Stop() : E_UNEXPECTED; }

long CaptureGraph::WaitEvent(DWORD timeoutMs, long wanted) {
    if (events_ == nullptr) return 0;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return 0;
        long code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events_->GetEvent(&code, &p1, &p2, timeoutMs - spent < 50 ? timeoutMs - spent : 50) == S_OK) {
            events_->FreeEventParams(code, p1, p2);
            if (code == wanted) return code;
        }
    }
}

IAMVideoProcAmp* CaptureGraph::ProcAmp() {
    if (procAmp_ == nullptr && capture_ != nullptr)
        capture_->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&procAmp_));
    return procAmp_;
}

IAMCameraControl* CaptureGraph::CameraControl() {
    if (cameraControl_ == nullptr && capture_ != nullptr)
        capture_->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&cameraControl_));
    return cameraControl_;
}

}  // namespace k7qtest
