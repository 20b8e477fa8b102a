#include "tests/camera/converter/yuy2_converter.h"

#include <cwchar>

#include <vfwmsgs.h>

#include "com/dshow/media_type.h"

namespace k7qtest {

using com::dshow::ClearMediaType;
using com::dshow::CopyMediaType;

// {5C2E8B14-9D3A-4E7F-8B21-6F4A0D9C3E72}
const CLSID CLSID_K7QYuy2Converter = {0x5c2e8b14, 0x9d3a, 0x4e7f, {0x8b, 0x21, 0x6f, 0x4a, 0x0d, 0x9c, 0x3e, 0x72}};

namespace {

bool VideoSize(const AM_MEDIA_TYPE& mt, LONG* width, LONG* height) {
    if (mt.formattype != FORMAT_VideoInfo || mt.pbFormat == nullptr || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    *width = vih->bmiHeader.biWidth;
    *height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
    return *width > 0 && *height > 0 && (*width % 2) == 0;
}

bool IsYuy2(const AM_MEDIA_TYPE* mt) {
    LONG w, h;
    return mt->majortype == MEDIATYPE_Video && mt->subtype == MEDIASUBTYPE_YUY2 && VideoSize(*mt, &w, &h);
}

BYTE Clamp(int v) { return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// BT.601 limited range; rows flipped into the bottom-up RGB layout.
void ConvertYuy2ToRgb32(const BYTE* src, LONG width, LONG height, BYTE* dst) {
    for (LONG y = 0; y < height; ++y) {
        const BYTE* in = src + y * width * 2;
        BYTE* out = dst + (height - 1 - y) * width * 4;
        for (LONG x = 0; x < width; x += 2, in += 4, out += 8) {
            const int u = in[1] - 128, v = in[3] - 128;
            for (int k = 0; k < 2; ++k) {
                const int c = 298 * (in[2 * k] - 16);
                out[4 * k + 0] = Clamp((c + 516 * u + 128) >> 8);
                out[4 * k + 1] = Clamp((c - 100 * u - 208 * v + 128) >> 8);
                out[4 * k + 2] = Clamp((c + 409 * v + 128) >> 8);
                out[4 * k + 3] = 0;
            }
        }
    }
}

HRESULT FillPinInfo(Yuy2Converter* filter, PIN_DIRECTION dir, const wchar_t* name, PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = filter;
    filter->AddRef();
    info->dir = dir;
    wcsncpy(info->achName, name, MAX_PIN_NAME);
    return S_OK;
}

HRESULT CopyId(const wchar_t* name, LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    const size_t bytes = (wcslen(name) + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr) return E_OUTOFMEMORY;
    CopyMemory(*id, name, bytes);
    return S_OK;
}

}  // namespace

// ---- input pin ----

ConverterInputPin::~ConverterInputPin() { Disconnect(); }

STDMETHODIMP ConverterInputPin::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin) *out = static_cast<IPin*>(this);
    else if (riid == IID_IMemInputPin) *out = static_cast<IMemInputPin*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}
STDMETHODIMP_(ULONG) ConverterInputPin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) ConverterInputPin::Release() { return filter_->Release(); }

STDMETHODIMP ConverterInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
    if (connector == nullptr || mt == nullptr) return E_POINTER;
    if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (filter_->Streaming()) return VFW_E_NOT_STOPPED;
    if (!IsYuy2(mt)) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = CopyMediaType(&mt_, mt);
    if (FAILED(hr)) return hr;
    peer_ = connector;
    peer_->AddRef();
    return S_OK;
}

STDMETHODIMP ConverterInputPin::Disconnect() {
    if (filter_->Streaming()) return VFW_E_NOT_STOPPED;
    if (allocator_ != nullptr) allocator_->Release();
    allocator_ = nullptr;
    if (peer_ == nullptr) return S_FALSE;
    peer_->Release();
    peer_ = nullptr;
    ClearMediaType(&mt_);
    return S_OK;
}

STDMETHODIMP ConverterInputPin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    *pin = peer_;
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
}

STDMETHODIMP ConverterInputPin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    return CopyMediaType(mt, &mt_);
}

STDMETHODIMP ConverterInputPin::QueryPinInfo(PIN_INFO* info) { return FillPinInfo(filter_, PINDIR_INPUT, L"In", info); }
STDMETHODIMP ConverterInputPin::QueryDirection(PIN_DIRECTION* dir) {
    if (dir == nullptr) return E_POINTER;
    *dir = PINDIR_INPUT;
    return S_OK;
}
STDMETHODIMP ConverterInputPin::QueryId(LPWSTR* id) { return CopyId(L"In", id); }
STDMETHODIMP ConverterInputPin::QueryAccept(const AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return E_POINTER;
    return IsYuy2(mt) ? S_OK : S_FALSE;
}
STDMETHODIMP ConverterInputPin::EnumMediaTypes(IEnumMediaTypes** types) {
    return com::dshow::CreateMediaTypeEnumerator(nullptr, types);
}

STDMETHODIMP ConverterInputPin::EndOfStream() {
    IPin* next = filter_->Output().Peer();
    return next != nullptr ? next->EndOfStream() : S_OK;
}
STDMETHODIMP ConverterInputPin::BeginFlush() {
    IPin* next = filter_->Output().Peer();
    return next != nullptr ? next->BeginFlush() : S_OK;
}
STDMETHODIMP ConverterInputPin::EndFlush() {
    IPin* next = filter_->Output().Peer();
    return next != nullptr ? next->EndFlush() : S_OK;
}
STDMETHODIMP ConverterInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* next = filter_->Output().Peer();
    return next != nullptr ? next->NewSegment(start, stop, rate) : S_OK;
}

STDMETHODIMP ConverterInputPin::GetAllocator(IMemAllocator** allocator) {
    if (allocator == nullptr) return E_POINTER;
    *allocator = nullptr;
    return VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP ConverterInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
    if (allocator == nullptr) return E_POINTER;
    allocator->AddRef();
    if (allocator_ != nullptr) allocator_->Release();
    allocator_ = allocator;
    return S_OK;
}

STDMETHODIMP ConverterInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    if (!filter_->Streaming()) return VFW_E_WRONG_STATE;
    return filter_->Output().Deliver(sample);
}

STDMETHODIMP ConverterInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (samples == nullptr || processed == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    for (*processed = 0; *processed < count && hr == S_OK; ++*processed) hr = Receive(samples[*processed]);
    return hr;
}

// ---- output pin ----

ConverterOutputPin::ConverterOutputPin(Yuy2Converter* filter) : OutputPin(filter, L"Out"), filter_(filter) {}

bool ConverterOutputPin::Streaming() const { return filter_->Streaming(); }

HRESULT ConverterOutputPin::OfferedType(AM_MEDIA_TYPE* mt) const {
    LONG width, height;
    if (!filter_->Input().Connected() || !VideoSize(filter_->Input().MediaType(), &width, &height))
        return VFW_E_NOT_CONNECTED;
    return com::dshow::MakeVideoMediaType(MEDIASUBTYPE_RGB32, BI_RGB, width, height, 32, mt);
}

// Samples go on without times: the renderer shows each frame as it comes,
// which is all a hidden preview needs.
HRESULT ConverterOutputPin::Deliver(IMediaSample* in) {
    if (Input() == nullptr) return S_OK;
    LONG width, height;
    if (!VideoSize(filter_->Input().MediaType(), &width, &height)) return E_UNEXPECTED;
    BYTE* src = nullptr;
    if (FAILED(in->GetPointer(&src)) || in->GetActualDataLength() < width * height * 2) return S_OK;
    IMediaSample* out = nullptr;
    HRESULT hr = Allocator()->GetBuffer(&out, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* dst = nullptr;
    if (SUCCEEDED(out->GetPointer(&dst)) && out->GetSize() >= width * height * 4) {
        ConvertYuy2ToRgb32(src, width, height, dst);
        out->SetActualDataLength(width * height * 4);
        out->SetTime(nullptr, nullptr);
        out->SetSyncPoint(TRUE);
        hr = Input()->Receive(out);
    }
    out->Release();
    return hr;
}

// ---- filter ----

Yuy2Converter::Yuy2Converter() : FilterBase(CLSID_K7QYuy2Converter), input_(this), output_(this) {}

Yuy2Converter::~Yuy2Converter() = default;

STDMETHODIMP Yuy2Converter::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
        *out = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP Yuy2Converter::Stop() {
    std::lock_guard<std::mutex> guard(lock_);
    output_.DecommitAllocator();
    state_ = State_Stopped;
    return S_OK;
}

STDMETHODIMP Yuy2Converter::Pause() {
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ == State_Stopped) {
        const HRESULT hr = output_.CommitAllocator();
        if (FAILED(hr)) return hr;
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP Yuy2Converter::Run(REFERENCE_TIME) {
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ == State_Stopped) {
        const HRESULT hr = output_.CommitAllocator();
        if (FAILED(hr)) return hr;
    }
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP Yuy2Converter::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
}

STDMETHODIMP Yuy2Converter::EnumPins(IEnumPins** pins) {
    IPin* list[2] = {static_cast<IPin*>(&input_), static_cast<IPin*>(&output_)};
    return com::dshow::CreatePinEnumerator(list, 2, pins);
}

STDMETHODIMP Yuy2Converter::FindPin(LPCWSTR id, IPin** pin) {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    *pin = nullptr;
    if (wcscmp(id, L"In") == 0) *pin = static_cast<IPin*>(&input_);
    else if (wcscmp(id, L"Out") == 0) *pin = static_cast<IPin*>(&output_);
    else return VFW_E_NOT_FOUND;
    AddRef();
    return S_OK;
}

}  // namespace k7qtest
