#include "com/dshow/media_type.h"

#include <new>
#include <vector>

#include "com/com_enumerator.h"

namespace com::dshow {

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

// Media types are held as deep copies and handed out as task-heap copies.
struct MediaTypeItems {
    static void Hold(AM_MEDIA_TYPE& item) {
        AM_MEDIA_TYPE copy;
        if (FAILED(CopyMediaType(&copy, &item))) ZeroMemory(&copy, sizeof copy);
        item = copy;
    }
    static void Drop(AM_MEDIA_TYPE& item) { ClearMediaType(&item); }
    static HRESULT HandOut(const AM_MEDIA_TYPE& item, AM_MEDIA_TYPE** out) {
        *out = CreateMediaTypeCopy(&item);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
};

using PinEnumerator = com::ComEnumerator<IEnumPins, IPin*, com::InterfaceItems<IPin>>;
using MediaTypeEnumerator = com::ComEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*, MediaTypeItems, AM_MEDIA_TYPE>;

}  // namespace

HRESULT CreatePinEnumerator(IPin* const* pins, ULONG count, IEnumPins** out) {
    return PinEnumerator::Create(IID_IEnumPins, std::vector<IPin*>(pins, pins + count), out);
}

HRESULT CreateMediaTypeEnumerator(const AM_MEDIA_TYPE* mt, IEnumMediaTypes** out) {
    std::vector<AM_MEDIA_TYPE> types;
    if (mt) types.push_back(*mt);
    return MediaTypeEnumerator::Create(IID_IEnumMediaTypes, std::move(types), out);
}

}  // namespace com::dshow
