// Discovery of the eye camera's device and the capture graph built for it.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <cstring>

#include "camera/camera_codes.h"
#include "camera/win/eye_camera.h"
#include "log/log_writer.h"

namespace camera {
namespace {

// qedit.h of mingw-w64 declares the grabber's interfaces but not its class.
// {C1F400A0-3F08-11D3-9F0B-006008039E37}
const CLSID kClsidSampleGrabber = {0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

constexpr int kDevicePathBytes = 2048;
constexpr LONG kHiddenVideoStyle = WS_CHILD | WS_CLIPCHILDREN;  // 0x42000000
constexpr DWORD kRunSettleMs = 1000;
constexpr long kFormatImageBytes = kCameraFrameWidth * kCameraFrameHeight * 3;

// A text property of a device's property bag in the ANSI code page.
bool ReadDeviceText(IMoniker* moniker, const wchar_t* name, char* text, int size) {
    com::ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.OutVoid()))) return false;
    VARIANT value;
    VariantInit(&value);
    const bool ok = SUCCEEDED(bag->Read(name, &value, nullptr)) && V_VT(&value) == VT_BSTR;
    if (ok) {
        const int n = WideCharToMultiByte(CP_ACP, 0, V_BSTR(&value), -1, text, size - 1, nullptr, nullptr);
        text[n > 0 ? n : 0] = '\0';
    }
    VariantClear(&value);
    return ok;
}

// The video input category's enumerator: S_OK, or the code the caller maps.
HRESULT VideoInputs(com::ComPtr<IEnumMoniker>* monikers, bool* noEnumerator) {
    com::ComPtr<ICreateDevEnum> devices;
    *noEnumerator = FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_ICreateDevEnum, devices.OutVoid()));
    if (*noEnumerator) return E_FAIL;
    const HRESULT hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers->Out(), 0);
    return hr == S_OK && monikers->Get() ? S_OK : E_FAIL;  // an empty category answers S_FALSE
}

// The media type a format name asks of the camera; false for an unknown name.
bool FormatMediaType(const std::string& formatName, AM_MEDIA_TYPE* mt, VIDEOINFOHEADER* vih) {
    *mt = AM_MEDIA_TYPE();
    *vih = VIDEOINFOHEADER();
    mt->majortype = MEDIATYPE_Video;
    if (formatName == "rgb24") {
        mt->subtype = MEDIASUBTYPE_RGB24;
        return true;
    }
    if (formatName != "yuv_0130" && formatName != "yuv_0330") return false;
    mt->subtype = MEDIASUBTYPE_YUY2;
    mt->formattype = FORMAT_VideoInfo;
    vih->bmiHeader.biWidth = kCameraFrameWidth;
    vih->bmiHeader.biHeight = kCameraFrameHeight;
    vih->bmiHeader.biSizeImage = kFormatImageBytes;
    mt->cbFormat = sizeof *vih;
    mt->pbFormat = reinterpret_cast<BYTE*>(vih);
    return true;
}

void FreeMediaType(AM_MEDIA_TYPE* mt) {
    if (mt->pbFormat) CoTaskMemFree(mt->pbFormat);
    if (mt->pUnk) mt->pUnk->Release();
    mt->pbFormat = nullptr;
    mt->pUnk = nullptr;
}

}  // namespace

int32_t CEyeCamera::FindDeviceIndex(const char* key) {
    if (!key || !*key) return kEmptyKey;
    com::ComPtr<IEnumMoniker> monikers;
    bool noEnumerator = false;
    if (FAILED(VideoInputs(&monikers, &noEnumerator))) return noEnumerator ? kNoFilterGraph : kNoDeviceCategory;
    monikers->Reset();
    com::ComPtr<IMoniker> moniker;
    if (monikers->Next(1, moniker.Out(), nullptr) != S_OK) return kNotFound;
    for (int32_t index = 0;; ++index) {
        char path[kDevicePathBytes];
        if (ReadDeviceText(moniker.Get(), L"DevicePath", path, sizeof path) && std::strstr(path, key)) return index;
        if (monikers->Next(1, moniker.Out(), nullptr) != S_OK) return kNotFound;
    }
}

// The device at `index` of the same enumeration, bound only when its FriendlyName reads.
int32_t CEyeCamera::BindCaptureFilter(int32_t index) {
    com::ComPtr<IEnumMoniker> monikers;
    bool noEnumerator = false;
    if (FAILED(VideoInputs(&monikers, &noEnumerator))) return kNoCaptureFilter;
    monikers->Reset();
    com::ComPtr<IMoniker> moniker;
    for (int32_t i = 0; monikers->Next(1, moniker.Out(), nullptr) == S_OK; ++i) {
        if (i != index) continue;
        char name[kDevicePathBytes];
        if (ReadDeviceText(moniker.Get(), L"FriendlyName", name, sizeof name))
            moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, capture_.OutVoid());
        break;
    }
    return kGraphRunning;
}

int32_t CEyeCamera::CreateGraphObjects() {
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, graph_.OutVoid())))
        return kNoFilterGraph;
    if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC, IID_ICaptureGraphBuilder2,
                                builder_.OutVoid())))
        return kNoGraphBuilder;
    if (FAILED(CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_ISampleGrabber,
                                grabber_.OutVoid())))
        return kNoSampleGrabber;
    builder_->SetFiltergraph(graph_.Get());
    if (FAILED(graph_->QueryInterface(IID_IMediaControl, mediaControl_.OutVoid()))) return kNoMediaControl;
    if (FAILED(graph_->QueryInterface(IID_IVideoWindow, videoWindow_.OutVoid()))) return kNoVideoWindow;
    return kGraphRunning;
}

int32_t CEyeCamera::BuildGraph(int32_t index, HWND previewWindow) {
    if (mediaControl_) mediaControl_->Stop();
    int32_t result = CreateGraphObjects();
    if (result != kGraphRunning) return result;
    if (index < 0 || BindCaptureFilter(index) != kGraphRunning || !capture_) return kNoCaptureFilter;
    properties_.reset();
    if (FAILED(graph_->AddFilter(capture_.Get(), L"Video Capture Filter"))) return kAddCaptureFailed;
    result = ApplySettings();
    if (result != kOpened) return result;

    com::ComPtr<IBaseFilter> grabberFilter;  // released on every path
    if (FAILED(grabber_->QueryInterface(IID_IBaseFilter, grabberFilter.OutVoid()))) return kAddGrabberFailed;
    result = ConnectGrabber(grabberFilter.Get());
    if (result != kGraphRunning) return result;
    result = ReadConnectedSize();
    if (result != kGraphRunning) return result;
    result = InstallCallback(previewWindow);
    if (result != kGraphRunning) return result;
    HideVideoWindow();
    return RunGraph();
}

// Steps 6 to 9: the format asked of the camera and the grabber, the grabber
// in the graph, and the stream rendered through it.
int32_t CEyeCamera::ConnectGrabber(IBaseFilter* grabberFilter) {
    com::ComPtr<IAMStreamConfig> config;
    builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, capture_.Get(), IID_IAMStreamConfig,
                            config.OutVoid());
    AM_MEDIA_TYPE mt;
    VIDEOINFOHEADER vih;
    if (!FormatMediaType(formatName_, &mt, &vih)) return kUnknownFormat;
    if (config) config->SetFormat(&mt);  // the camera's answer does not matter
    if (FAILED(grabber_->SetMediaType(&mt))) return kGrabberRefusedType;
    if (FAILED(graph_->AddFilter(grabberFilter, L"SampleGrabber"))) return kAddGrabberFailed;
    if (FAILED(builder_->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, capture_.Get(), grabberFilter,
                                      nullptr)) &&
        FAILED(builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, capture_.Get(), grabberFilter,
                                      nullptr)))
        return kRenderFailed;
    return kGraphRunning;
}

int32_t CEyeCamera::ReadConnectedSize() {
    AM_MEDIA_TYPE connected = {};
    if (FAILED(grabber_->GetConnectedMediaType(&connected))) return kNoConnectedType;
    LONG width = 0, height = 0;
    if (connected.formattype == FORMAT_VideoInfo && connected.pbFormat &&
        connected.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(connected.pbFormat);
        width = info->bmiHeader.biWidth;
        height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    }
    FreeMediaType(&connected);
    callback_.Frames().SetFrameSize(width, height);
    if ((requestedWidth_ != 0 && width != requestedWidth_) || (requestedHeight_ != 0 && height != requestedHeight_))
        return kWrongFrameSize;
    return kGraphRunning;
}

int32_t CEyeCamera::InstallCallback(HWND previewWindow) {
    if (FAILED(grabber_->SetBufferSamples(FALSE))) return kBufferingFailed;
    if (FAILED(grabber_->SetOneShot(FALSE))) return kOneShotFailed;
    grabber_->SetCallback(nullptr, 1);
    if (FAILED(grabber_->SetCallback(&callback_, 1))) return kCallbackFailed;
    callback_.SetPreviewWindow(previewWindow);
    callback_.Frames().SetFormat(ParseFrameFormat(formatName_));
    return kGraphRunning;
}

// The renderer's own window stays hidden; the preview is painted by the callback.
void CEyeCamera::HideVideoWindow() {
    if (FAILED(videoWindow_->put_Visible(OAFALSE)) || FAILED(videoWindow_->put_Owner(0)) ||
        FAILED(videoWindow_->put_WindowStyle(kHiddenVideoStyle)))
        return;
    videoWindow_->put_AutoShow(OAFALSE);
    videoWindow_->put_Visible(OAFALSE);
}

// S_FALSE is success: the graph is still on its way to running. A graph
// that keeps a filter's refusal to itself (Wine's answers S_FALSE when the
// capture filter failed to leave the stopped state) shows it once the change
// has settled: the capture filter is still stopped, and asked again it says why.
HRESULT CEyeCamera::SettledRunResult() {
    OAFilterState graphState = State_Stopped;
    const HRESULT settled = mediaControl_->GetState(kRunSettleMs, &graphState);
    FILTER_STATE captureState = State_Stopped;
    if (SUCCEEDED(capture_->GetState(0, &captureState)) && captureState == State_Stopped) {
        const HRESULT reason = capture_->Pause();
        if (FAILED(reason)) return reason;
        return FAILED(settled) ? settled : VFW_E_WRONG_STATE;
    }
    return FAILED(settled) ? settled : S_OK;
}

int32_t CEyeCamera::RunGraph() {
    HRESULT hr = mediaControl_->Run();
    if (hr == S_FALSE) hr = SettledRunResult();
    if (SUCCEEDED(hr)) return kGraphRunning;
    if (hr == HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES)) DebugTrace("%s", BusyTraceLine());
    return kRunFailed;
}

}  // namespace camera
