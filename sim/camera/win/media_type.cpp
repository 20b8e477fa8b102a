#include "sim/camera/win/media_type.h"

#include <new>
#include <vector>


namespace k7qsim {

HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
    *dst = *src;
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
    if (src->cbFormat != 0 && src->pbFormat != nullptr) {
        dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
        if (dst->pbFormat == nullptr) return E_OUTOFMEMORY;
        CopyMemory(dst->pbFormat, src->pbFormat, src->cbFormat);
        dst->cbFormat = src->cbFormat;
    }
    if (dst->pUnk != nullptr) dst->pUnk->AddRef();
    return S_OK;
}

void ClearMediaType(AM_MEDIA_TYPE* mt) {
    if (mt->pbFormat != nullptr) CoTaskMemFree(mt->pbFormat);
    mt->pbFormat = nullptr;
    mt->cbFormat = 0;
    if (mt->pUnk != nullptr) mt->pUnk->Release();
    mt->pUnk = nullptr;
}

AM_MEDIA_TYPE* CreateMediaTypeCopy(const AM_MEDIA_TYPE* src) {
    auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (mt == nullptr) return nullptr;
    if (FAILED(CopyMediaType(mt, src))) {
        CoTaskMemFree(mt);
        return nullptr;
    }
    return mt;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return;
    ClearMediaType(mt);
    CoTaskMemFree(mt);
}

HRESULT MakeVideoMediaType(const GUID& subtype, DWORD fourcc, int width, int height, int bitCount,
                           AM_MEDIA_TYPE* mt) {
    ZeroMemory(mt, sizeof(*mt));
    auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    if (vih == nullptr) return E_OUTOFMEMORY;
    ZeroMemory(vih, sizeof(*vih));
    const DWORD imageSize = static_cast<DWORD>(width) * height * bitCount / 8;
    vih->AvgTimePerFrame = 10000000 / 30;
    vih->dwBitRate = imageSize * 8 * 30;
    vih->rcSource = {0, 0, width, height};
    vih->rcTarget = vih->rcSource;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    vih->bmiHeader.biCompression = fourcc;
    vih->bmiHeader.biSizeImage = imageSize;
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = subtype;
    mt->bFixedSizeSamples = TRUE;
    mt->bTemporalCompression = FALSE;
    mt->lSampleSize = imageSize;
    mt->formattype = FORMAT_VideoInfo;
    mt->cbFormat = sizeof(VIDEOINFOHEADER);
    mt->pbFormat = reinterpret_cast<BYTE*>(vih);
    return S_OK;
}

bool MediaTypeMatches(const AM_MEDIA_TYPE* partial, const AM_MEDIA_TYPE* full) {
    if (partial->majortype != GUID_NULL && partial->majortype != full->majortype) return false;
    if (partial->subtype != GUID_NULL && partial->subtype != full->subtype) return false;
    if (partial->formattype != GUID_NULL && partial->formattype != full->formattype) return false;
    if (partial->formattype == FORMAT_VideoInfo && partial->pbFormat != nullptr &&
        partial->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* want = reinterpret_cast<const VIDEOINFOHEADER*>(partial->pbFormat);
        const auto* have = reinterpret_cast<const VIDEOINFOHEADER*>(full->pbFormat);
        if (want->bmiHeader.biWidth != have->bmiHeader.biWidth) return false;
        const LONG h = want->bmiHeader.biHeight;
        if ((h < 0 ? -h : h) != have->bmiHeader.biHeight) return false;
    }
    return true;
}

namespace {

class PinEnumerator final : public IEnumPins {
public:
    PinEnumerator(IUnknown* owner, IPin* const* pins, ULONG count, ULONG position)
        : owner_(owner), pins_(pins, pins + count), position_(position) {
        owner_->AddRef();
    }
    ~PinEnumerator() { owner_->Release(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumPins) {
            *out = static_cast<IEnumPins*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override {
        if (pins == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < pins_.size()) {
            pins[n] = pins_[position_++];
            pins[n]->AddRef();
            ++n;
        }
        if (fetched != nullptr) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        if (position_ + count > pins_.size()) {
            position_ = static_cast<ULONG>(pins_.size());
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins** out) override {
        if (out == nullptr) return E_POINTER;
        *out = new (std::nothrow) PinEnumerator(owner_, pins_.data(), static_cast<ULONG>(pins_.size()), position_);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    LONG refs_ = 1;
    IUnknown* owner_;
    std::vector<IPin*> pins_;
    ULONG position_;
};

class MediaTypeEnumerator final : public IEnumMediaTypes {
public:
    MediaTypeEnumerator(const AM_MEDIA_TYPE* mt, ULONG position) : position_(position) {
        ZeroMemory(&mt_, sizeof(mt_));
        has_ = mt != nullptr && SUCCEEDED(CopyMediaType(&mt_, mt));
    }
    ~MediaTypeEnumerator() { ClearMediaType(&mt_); }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
            *out = static_cast<IEnumMediaTypes*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
        if (types == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
        ULONG n = 0;
        if (count > 0 && has_ && position_ == 0) {
            types[0] = CreateMediaTypeCopy(&mt_);
            if (types[0] == nullptr) return E_OUTOFMEMORY;
            position_ = 1;
            n = 1;
        }
        if (fetched != nullptr) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const ULONG total = has_ ? 1 : 0;
        if (position_ + count > total) {
            position_ = total;
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** out) override {
        if (out == nullptr) return E_POINTER;
        *out = new (std::nothrow) MediaTypeEnumerator(has_ ? &mt_ : nullptr, position_);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    LONG refs_ = 1;
    AM_MEDIA_TYPE mt_;
    bool has_ = false;
    ULONG position_;
};

}  // namespace

HRESULT CreatePinEnumerator(IUnknown* owner, IPin* const* pins, ULONG count, IEnumPins** out) {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) PinEnumerator(owner, pins, count, 0);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateMediaTypeEnumerator(const AM_MEDIA_TYPE* mt, IEnumMediaTypes** out) {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) MediaTypeEnumerator(mt, 0);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace k7qsim
