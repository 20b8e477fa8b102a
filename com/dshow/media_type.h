// Small DirectShow helpers shared by the virtual camera and the test rig's
// converter: media type copies and the two enumerators a filter hands out.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace com::dshow {

// Deep copy of `src` into `dst` (format block on the COM task heap).
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees the format block and the held IUnknown; the struct itself stays.
void ClearMediaType(AM_MEDIA_TYPE* mt);
// CoTaskMemAlloc'ed copy, as IAMStreamConfig::GetFormat hands one out.
AM_MEDIA_TYPE* CreateMediaTypeCopy(const AM_MEDIA_TYPE* src);
void DeleteMediaType(AM_MEDIA_TYPE* mt);

// The full video media type `subtype` at width x height with `bitCount` bits
// per pixel, FORMAT_VideoInfo, frame duration 1/30 s. Caller clears it.
HRESULT MakeVideoMediaType(const GUID& subtype, DWORD fourcc, int width, int height, int bitCount,
                           AM_MEDIA_TYPE* mt);

// True when every GUID `partial` specifies (non-null) equals `full`'s, and a
// VideoInfo format block, when given, has `full`'s frame size.
bool MediaTypeMatches(const AM_MEDIA_TYPE* partial, const AM_MEDIA_TYPE* full);

// An IEnumPins over a fixed list of pins (each held, which holds their filter).
HRESULT CreatePinEnumerator(IPin* const* pins, ULONG count, IEnumPins** out);
// An IEnumMediaTypes over one media type (or none when `mt` is null).
HRESULT CreateMediaTypeEnumerator(const AM_MEDIA_TYPE* mt, IEnumMediaTypes** out);

}  // namespace com::dshow
