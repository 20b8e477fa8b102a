#include "com/dshow/output_pin.h"

#include <cwchar>

#include <vfwmsgs.h>

#include "com/dshow/media_type.h"

namespace com::dshow {

OutputPin::OutputPin(IBaseFilter* filter, const wchar_t* name) : filter_(filter), name_(name) {}

OutputPin::~OutputPin() { ReleaseConnection(); }

STDMETHODIMP OutputPin::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *out = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// The pin lives inside its filter and shares its count.
STDMETHODIMP_(ULONG) OutputPin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) OutputPin::Release() { return filter_->Release(); }

STDMETHODIMP OutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
    if (receivePin == nullptr) return E_POINTER;
    if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (Streaming()) return VFW_E_NOT_STOPPED;
    AM_MEDIA_TYPE offered = {};
    HRESULT hr = OfferedType(&offered);
    if (FAILED(hr)) return hr;
    if ((mt != nullptr && !MediaTypeMatches(mt, &offered)) ||
        FAILED(receivePin->ReceiveConnection(static_cast<IPin*>(this), &offered))) {
        ClearMediaType(&offered);
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    IMemInputPin* input = nullptr;
    hr = receivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (SUCCEEDED(hr)) hr = NegotiateAllocator(input, static_cast<long>(offered.lSampleSize));
    if (FAILED(hr)) {
        if (input != nullptr) input->Release();
        receivePin->Disconnect();
        ClearMediaType(&offered);
        return hr;
    }
    peer_ = receivePin;
    peer_->AddRef();
    input_ = input;
    mt_ = offered;
    return S_OK;
}

// The peer's allocator when it takes our properties, else a memory allocator
// of our own (Wine's sample grabber offers none).
HRESULT OutputPin::NegotiateAllocator(IMemInputPin* input, long bufferBytes) {
    const long minBuffers = MinimumBuffers();
    ALLOCATOR_PROPERTIES wanted = {};
    input->GetAllocatorRequirements(&wanted);
    wanted.cBuffers = wanted.cBuffers > minBuffers ? wanted.cBuffers : minBuffers;
    wanted.cbBuffer = bufferBytes;
    wanted.cbAlign = wanted.cbAlign > 0 ? wanted.cbAlign : 1;
    wanted.cbPrefix = 0;

    IMemAllocator* allocator = nullptr;
    ALLOCATOR_PROPERTIES actual = {};
    if (SUCCEEDED(input->GetAllocator(&allocator)) && allocator != nullptr) {
        if (FAILED(allocator->SetProperties(&wanted, &actual)) || actual.cbBuffer < bufferBytes ||
            actual.cBuffers < minBuffers) {
            allocator->Release();
            allocator = nullptr;
        }
    }
    if (allocator == nullptr) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      reinterpret_cast<void**>(&allocator));
        if (FAILED(hr)) return hr;
        hr = allocator->SetProperties(&wanted, &actual);
        if (FAILED(hr) || actual.cbBuffer < bufferBytes) {
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

void OutputPin::ReleaseConnection() {
    if (allocator_ != nullptr) allocator_->Release();
    if (input_ != nullptr) input_->Release();
    if (peer_ != nullptr) peer_->Release();
    allocator_ = nullptr;
    input_ = nullptr;
    peer_ = nullptr;
    ClearMediaType(&mt_);
}

STDMETHODIMP OutputPin::Disconnect() {
    if (Streaming()) return VFW_E_NOT_STOPPED;
    if (peer_ == nullptr) return S_FALSE;
    ReleaseConnection();
    return S_OK;
}

STDMETHODIMP OutputPin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    *pin = peer_;
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
}

STDMETHODIMP OutputPin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    if (peer_ == nullptr) {
        ZeroMemory(mt, sizeof(*mt));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(mt, &mt_);
}

STDMETHODIMP OutputPin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = PINDIR_OUTPUT;
    wcsncpy(info->achName, name_, MAX_PIN_NAME);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
    return S_OK;
}

STDMETHODIMP OutputPin::QueryDirection(PIN_DIRECTION* dir) {
    if (dir == nullptr) return E_POINTER;
    *dir = PINDIR_OUTPUT;
    return S_OK;
}

STDMETHODIMP OutputPin::QueryId(LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    const size_t bytes = (wcslen(name_) + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr) return E_OUTOFMEMORY;
    CopyMemory(*id, name_, bytes);
    return S_OK;
}

STDMETHODIMP OutputPin::QueryAccept(const AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    AM_MEDIA_TYPE offered = {};
    if (FAILED(OfferedType(&offered))) return S_FALSE;
    const bool ok = MediaTypeMatches(mt, &offered);
    ClearMediaType(&offered);
    return ok ? S_OK : S_FALSE;
}

STDMETHODIMP OutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
    AM_MEDIA_TYPE offered = {};
    if (FAILED(OfferedType(&offered))) return CreateMediaTypeEnumerator(nullptr, types);
    const HRESULT hr = CreateMediaTypeEnumerator(&offered, types);
    ClearMediaType(&offered);
    return hr;
}

HRESULT OutputPin::CommitAllocator() { return allocator_ != nullptr ? allocator_->Commit() : S_OK; }

void OutputPin::DecommitAllocator() {
    if (allocator_ != nullptr) allocator_->Decommit();
}

}  // namespace com::dshow
