#include "sim/camera/win/vcam_pin.h"

#include <cwchar>

#include <ks.h>
#include <ksmedia.h>
#include <vfwmsgs.h>

#include "sim/camera/camera_format.h"
#include "sim/camera/win/media_type.h"
#include "sim/camera/win/vcam_filter.h"

namespace k7qsim {

namespace {

constexpr long kMinBuffers = 3;  // the Smart Tee holds samples; one buffer deadlocks it
constexpr wchar_t kPinName[] = L"Capture";

}  // namespace

VirtualCameraPin::VirtualCameraPin(VirtualCameraFilter* filter)
    : filter_(filter), pacer_(GetTickCount(), kFramesPerSecond) {
    MakeVideoMediaType(MEDIASUBTYPE_YUY2, MAKEFOURCC('Y', 'U', 'Y', '2'), kCameraWidth, kCameraHeight, 16, &mt_);
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

VirtualCameraPin::~VirtualCameraPin() {
    StopStreaming();
    ReleaseConnection();
    ClearMediaType(&mt_);
    if (wake_ != nullptr) CloseHandle(wake_);
}

STDMETHODIMP VirtualCameraPin::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPin)
        *out = static_cast<IPin*>(this);
    else if (riid == IID_IAMStreamConfig)
        *out = static_cast<IAMStreamConfig*>(this);
    else if (riid == IID_IKsPropertySet)
        *out = static_cast<IKsPropertySet*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) VirtualCameraPin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) VirtualCameraPin::Release() { return filter_->Release(); }

// ---- connection ----

STDMETHODIMP VirtualCameraPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
    if (receivePin == nullptr) return E_POINTER;
    if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (thread_ != nullptr) return VFW_E_NOT_STOPPED;
    if (mt != nullptr && !MediaTypeMatches(mt, &mt_)) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), &mt_);
    if (FAILED(hr)) return VFW_E_TYPE_NOT_ACCEPTED;
    IMemInputPin* input = nullptr;
    hr = receivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (SUCCEEDED(hr)) hr = NegotiateAllocator(input);
    if (FAILED(hr)) {
        if (input != nullptr) input->Release();
        receivePin->Disconnect();
        return hr;
    }
    peer_ = receivePin;
    peer_->AddRef();
    input_ = input;
    return S_OK;
}

// The peer's allocator when it has one that takes our properties, else a
// memory allocator of our own (Wine's sample grabber offers none).
HRESULT VirtualCameraPin::NegotiateAllocator(IMemInputPin* input) {
    ALLOCATOR_PROPERTIES wanted = {};
    input->GetAllocatorRequirements(&wanted);
    wanted.cBuffers = wanted.cBuffers > kMinBuffers ? wanted.cBuffers : kMinBuffers;
    wanted.cbBuffer = kYuy2FrameBytes;
    wanted.cbAlign = wanted.cbAlign > 0 ? wanted.cbAlign : 1;
    wanted.cbPrefix = 0;

    IMemAllocator* allocator = nullptr;
    ALLOCATOR_PROPERTIES actual = {};
    if (SUCCEEDED(input->GetAllocator(&allocator)) && allocator != nullptr) {
        if (FAILED(allocator->SetProperties(&wanted, &actual)) || actual.cbBuffer < kYuy2FrameBytes ||
            actual.cBuffers < kMinBuffers) {
            allocator->Release();
            allocator = nullptr;
        }
    }
    if (allocator == nullptr) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      reinterpret_cast<void**>(&allocator));
        if (FAILED(hr)) return hr;
        hr = allocator->SetProperties(&wanted, &actual);
        if (FAILED(hr) || actual.cbBuffer < kYuy2FrameBytes) {
            allocator->Release();
            return FAILED(hr) ? hr : VFW_E_SIZENOTSET;
        }
    }
    const HRESULT hr = input->NotifyAllocator(allocator, FALSE);
    if (FAILED(hr)) {
        allocator->Release();
        return hr;
    }
    allocator_ = allocator;
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

void VirtualCameraPin::ReleaseConnection() {
    if (allocator_ != nullptr) allocator_->Release();
    if (input_ != nullptr) input_->Release();
    if (peer_ != nullptr) peer_->Release();
    allocator_ = nullptr;
    input_ = nullptr;
    peer_ = nullptr;
}

STDMETHODIMP VirtualCameraPin::Disconnect() {
    if (thread_ != nullptr) return VFW_E_NOT_STOPPED;
    if (peer_ == nullptr) return S_FALSE;
    ReleaseConnection();
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    *pin = peer_;
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    if (peer_ == nullptr) {
        ZeroMemory(mt, sizeof(*mt));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(mt, &mt_);
}

STDMETHODIMP VirtualCameraPin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = static_cast<IBaseFilter*>(filter_);
    filter_->AddRef();
    info->dir = PINDIR_OUTPUT;
    wcsncpy(info->achName, kPinName, MAX_PIN_NAME);
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::QueryDirection(PIN_DIRECTION* dir) {
    if (dir == nullptr) return E_POINTER;
    *dir = PINDIR_OUTPUT;
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::QueryId(LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kPinName)));
    if (*id == nullptr) return E_OUTOFMEMORY;
    CopyMemory(*id, kPinName, sizeof(kPinName));
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::QueryAccept(const AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    return MediaTypeMatches(mt, &mt_) ? S_OK : S_FALSE;
}

STDMETHODIMP VirtualCameraPin::EnumMediaTypes(IEnumMediaTypes** types) {
    return CreateMediaTypeEnumerator(&mt_, types);
}

STDMETHODIMP VirtualCameraPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP VirtualCameraPin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP VirtualCameraPin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP VirtualCameraPin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP VirtualCameraPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

// ---- IAMStreamConfig: one format, 960x720 YUY2 ----

// Any request for our frame size in YUY2 is this stream; the image size and
// the other header fields of the request are not ours to take.
STDMETHODIMP VirtualCameraPin::SetFormat(AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    return MediaTypeMatches(mt, &mt_) ? S_OK : VFW_E_INVALIDMEDIATYPE;
}

STDMETHODIMP VirtualCameraPin::GetFormat(AM_MEDIA_TYPE** mt) {
    if (mt == nullptr) return E_POINTER;
    *mt = CreateMediaTypeCopy(&mt_);
    return *mt != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP VirtualCameraPin::GetNumberOfCapabilities(int* count, int* size) {
    if (count == nullptr || size == nullptr) return E_POINTER;
    *count = 1;
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
    if (mt == nullptr || caps == nullptr) return E_POINTER;
    if (index != 0) return S_FALSE;
    *mt = CreateMediaTypeCopy(&mt_);
    if (*mt == nullptr) return E_OUTOFMEMORY;
    auto* c = reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps);
    ZeroMemory(c, sizeof(*c));
    c->guid = FORMAT_VideoInfo;
    c->InputSize = c->MinCroppingSize = c->MaxCroppingSize = {kCameraWidth, kCameraHeight};
    c->MinOutputSize = c->MaxOutputSize = {kCameraWidth, kCameraHeight};
    c->CropGranularityX = c->CropGranularityY = 1;
    c->CropAlignX = c->CropAlignY = 1;
    c->OutputGranularityX = c->OutputGranularityY = 1;
    c->MinFrameInterval = c->MaxFrameInterval = kFrameDuration100ns;
    c->MinBitsPerSecond = c->MaxBitsPerSecond = kYuy2FrameBytes * 8 * kFramesPerSecond;
    return S_OK;
}

// ---- IKsPropertySet: the pin category, which the capture graph builder reads ----

STDMETHODIMP VirtualCameraPin::Set(REFGUID, DWORD, void*, DWORD, void*, DWORD) { return E_PROP_SET_UNSUPPORTED; }

STDMETHODIMP VirtualCameraPin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataSize,
                                   DWORD* returned) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (data == nullptr && returned == nullptr) return E_POINTER;
    if (returned != nullptr) *returned = sizeof(GUID);
    if (data == nullptr) return S_OK;
    if (dataSize < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP VirtualCameraPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

}  // namespace k7qsim
