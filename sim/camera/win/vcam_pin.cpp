#include "sim/camera/win/vcam_pin.h"

#include <cwchar>

#include <ks.h>
#include <ksmedia.h>
#include <vfwmsgs.h>

#include "sim/camera/camera_format.h"
#include "com/dshow/media_type.h"
#include "sim/camera/win/vcam_filter.h"

namespace k7qsim {

using com::dshow::CopyMediaType;
using com::dshow::ClearMediaType;
using com::dshow::CreateMediaTypeCopy;
using com::dshow::MakeVideoMediaType;
using com::dshow::MediaTypeMatches;

namespace {

constexpr long kMinBuffers = 3;  // the Smart Tee holds samples; one buffer deadlocks it
constexpr wchar_t kPinName[] = L"Capture";
constexpr int kWideFrameWidth = 1280;

}  // namespace

VirtualCameraPin::VirtualCameraPin(VirtualCameraFilter* filter)
    : OutputPin(filter, kPinName), filter_(filter), pacer_(GetTickCount(), kFramesPerSecond) {
    MakeVideoMediaType(MEDIASUBTYPE_YUY2, MAKEFOURCC('Y', 'U', 'Y', '2'), kCameraWidth, kCameraHeight, 16, &mt_);
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

VirtualCameraPin::~VirtualCameraPin() {
    StopStreaming();
    ClearMediaType(&mt_);
    if (wake_ != nullptr) CloseHandle(wake_);
}

STDMETHODIMP VirtualCameraPin::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IAMStreamConfig)
        *out = static_cast<IAMStreamConfig*>(this);
    else if (riid == IID_IKsPropertySet)
        *out = static_cast<IKsPropertySet*>(this);
    else
        return OutputPin::QueryInterface(riid, out);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) VirtualCameraPin::AddRef() { return OutputPin::AddRef(); }
STDMETHODIMP_(ULONG) VirtualCameraPin::Release() { return OutputPin::Release(); }

// A camera set up as "wide" offers a frame size the control does not take.
HRESULT VirtualCameraPin::OfferedType(AM_MEDIA_TYPE* mt) const {
    if (ReadCameraFault(filter_->ControlPath(), filter_->CameraEye()) == CameraFault::Wide)
        return MakeVideoMediaType(MEDIASUBTYPE_YUY2, MAKEFOURCC('Y', 'U', 'Y', '2'), kWideFrameWidth, kCameraHeight, 16,
                                  mt);
    return CopyMediaType(mt, &mt_);
}

long VirtualCameraPin::MinimumBuffers() const { return kMinBuffers; }

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
