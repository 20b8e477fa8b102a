#include "camera/win/sample_grabber_cb.h"

#include "camera/camera_seam.h"

namespace camera {

STDMETHODIMP CSampleGrabberCB::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISampleGrabberCB) {
        *object = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CSampleGrabberCB::BufferCB(double, BYTE* buffer, long length) {
    if (!buffer) return E_POINTER;
    frames_.OnFrame(buffer, length > 0 ? static_cast<size_t>(length) : 0);
    return S_OK;
}

void CSampleGrabberCB::SetPreviewWindow(HWND window) {
    window_ = window;
    frames_.SetPainter(window ? this : nullptr);
}

void CSampleGrabberCB::PaintPreview(const uint8_t* pixels, int width, int height) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // positive: bottom-up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    PaintFrame(pixels, header, window_);
}

int CSampleGrabberCB::PaintFrame(const BYTE* pixels, const BITMAPINFOHEADER& header, HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    HDC dc = GetDC(window);
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    SetStretchBltMode(dc, COLORONCOLOR);
    int x = 0, width = w;
    if (cameraName_ == kLeftCameraName) {
        width = w / 2;
    } else if (cameraName_ == kRightCameraName) {
        x = w / 2;
        width = w / 2;
    }
    BITMAPINFO info = {};
    info.bmiHeader = header;
    StretchDIBits(dc, x, 0, width, h, 0, 0, header.biWidth, header.biHeight, pixels, &info, DIB_RGB_COLORS,
                  SRCCOPY);
    EndPaint(window, &paint);
    ReleaseDC(window, dc);
    return 1;
}

}  // namespace camera
