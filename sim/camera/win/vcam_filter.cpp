#include "sim/camera/win/vcam_filter.h"

#include "com/dshow/media_type.h"

#include <cwchar>

#include <evcode.h>
#include <vfwmsgs.h>

namespace k7qsim {

// {7A3C5E21-4B8D-4F6A-9C1E-2D5B7F8A0C31}
const CLSID CLSID_K7QVirtualCamera = {0x7a3c5e21, 0x4b8d, 0x4f6a, {0x9c, 0x1e, 0x2d, 0x5b, 0x7f, 0x8a, 0x0c, 0x31}};

namespace {

HRESULT ToHresult(PropertyStatus status) {
    switch (status) {
        case PropertyStatus::Ok: return S_OK;
        case PropertyStatus::Unsupported: return E_PROP_ID_UNSUPPORTED;
        default: return E_INVALIDARG;
    }
}

bool PathNamesRightEye(const wchar_t* path) {
    // Device paths are compared case-insensitively, as Windows treats them.
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (_wcsnicmp(p, L"pid_8888", 8) == 0) return true;
    }
    return false;
}

}  // namespace

template <class Interface, const IID* kIid>
STDMETHODIMP PropertyInterface<Interface, kIid>::GetRange(long property, long* minimum, long* maximum,
                                                          long* step, long* defaultValue, long* caps) {
    if (!minimum || !maximum || !step || !defaultValue || !caps) return E_POINTER;
    PropertyRange range;
    const HRESULT hr = ToHresult(table_->GetRange(static_cast<int>(property), &range));
    if (FAILED(hr)) return hr;
    *minimum = range.minimum;
    *maximum = range.maximum;
    *step = range.step;
    *defaultValue = range.defaultValue;
    *caps = range.capsFlags;
    return S_OK;
}

template <class Interface, const IID* kIid>
STDMETHODIMP PropertyInterface<Interface, kIid>::Set(long property, long value, long flags) {
    return ToHresult(table_->Set(static_cast<int>(property), value, flags));
}

template <class Interface, const IID* kIid>
STDMETHODIMP PropertyInterface<Interface, kIid>::Get(long property, long* value, long* flags) {
    if (!value || !flags) return E_POINTER;
    return ToHresult(table_->Get(static_cast<int>(property), value, flags));
}

VirtualCameraFilter::VirtualCameraFilter()
    : com::dshow::FilterBase<IPersistPropertyBag, IAMFilterMiscFlags>(CLSID_K7QVirtualCamera),
      controlPath_(CameraControlPath()),
      procAmp_(static_cast<IBaseFilter*>(this), &properties_.ProcAmp()),
      cameraControl_(static_cast<IBaseFilter*>(this), &properties_.CameraControl()),
      pin_(this) {}

VirtualCameraFilter::~VirtualCameraFilter() { pin_.StopStreaming(); }

STDMETHODIMP VirtualCameraFilter::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter)
        *out = static_cast<IBaseFilter*>(this);
    else if (riid == IID_IPersistPropertyBag)
        *out = static_cast<IPersistPropertyBag*>(this);
    else if (riid == IID_IAMVideoProcAmp)
        *out = static_cast<IAMVideoProcAmp*>(&procAmp_);
    else if (riid == IID_IAMCameraControl)
        *out = static_cast<IAMCameraControl*>(&cameraControl_);
    else if (riid == IID_IAMFilterMiscFlags)
        *out = static_cast<IAMFilterMiscFlags*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP VirtualCameraFilter::Stop() {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (state_ != State_Stopped) pin_.StopStreaming();
    state_ = State_Stopped;
    return S_OK;
}

STDMETHODIMP VirtualCameraFilter::Pause() {
    std::lock_guard<std::mutex> guard(stateLock_);
    return PauseLocked();
}

// A camera another program holds refuses to leave the stopped state.
HRESULT VirtualCameraFilter::PauseLocked() {
    if (state_ == State_Stopped) {
        if (ReadCameraFault(controlPath_, eye_) == CameraFault::Busy)
            return HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);
        const HRESULT hr = pin_.StartStreaming();
        if (FAILED(hr)) return hr;
    }
    pin_.SetRunning(false, 0);
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP VirtualCameraFilter::Run(REFERENCE_TIME start) {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (state_ == State_Stopped) {
        const HRESULT hr = PauseLocked();
        if (FAILED(hr)) return hr;
    }
    pin_.SetRunning(true, start);
    state_ = State_Running;
    return S_OK;
}

// A live source has nothing to cue while paused.
STDMETHODIMP VirtualCameraFilter::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> guard(stateLock_);
    *state = state_;
    return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP VirtualCameraFilter::EnumPins(IEnumPins** pins) {
    IPin* list[1] = {static_cast<IPin*>(&pin_)};
    return com::dshow::CreatePinEnumerator(list, 1, pins);
}

STDMETHODIMP VirtualCameraFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    if (wcscmp(id, L"Capture") != 0) {
        *pin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    *pin = static_cast<IPin*>(&pin_);
    AddRef();
    return S_OK;
}

// The graph's event sink is taken here and held uncounted, like the graph
// itself, to report a lost device.
void VirtualCameraFilter::OnJoinGraph(IFilterGraph* graph) {
    eventSink_ = nullptr;
    IMediaEventSink* sink = nullptr;
    if (graph != nullptr &&
        SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
        eventSink_ = sink;
        sink->Release();
    }
}

STDMETHODIMP VirtualCameraFilter::InitNew() { return S_OK; }

STDMETHODIMP VirtualCameraFilter::Load(IPropertyBag* bag, IErrorLog* log) {
    if (bag == nullptr) return E_POINTER;
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    if (SUCCEEDED(bag->Read(L"DevicePath", &value, log)) && V_VT(&value) == VT_BSTR && V_BSTR(&value) != nullptr)
        eye_ = PathNamesRightEye(V_BSTR(&value)) ? Eye::Right : Eye::Left;
    VariantClear(&value);
    return S_OK;
}

STDMETHODIMP VirtualCameraFilter::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

STDMETHODIMP_(ULONG) VirtualCameraFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

void VirtualCameraFilter::NotifyDeviceLost() {
    IMediaEventSink* sink = nullptr;
    {
        std::lock_guard<std::mutex> guard(InfoLock());
        sink = eventSink_;
    }
    // Parameters as a removed device reports them: the filter, 0 for removal.
    if (sink != nullptr)
        sink->Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
}

template class PropertyInterface<IAMVideoProcAmp, &IID_IAMVideoProcAmp>;
template class PropertyInterface<IAMCameraControl, &IID_IAMCameraControl>;

}  // namespace k7qsim
