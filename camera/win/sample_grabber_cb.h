// The frame callback of one eye camera as the sample grabber calls it: held
// by value inside its camera, never counted (AddRef 2, Release 1), frames
// through BufferCB into the portable FrameCallback, previews painted with GDI
// into the camera's half of the preview window.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <string>

#include "camera/frame_callback.h"

namespace camera {

class CSampleGrabberCB : public ISampleGrabberCB, public IPreviewPainter {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return S_OK; }
    STDMETHODIMP BufferCB(double time, BYTE* buffer, long length) override;

    void SetCameraName(const std::string& name) { cameraName_ = name; }
    void SetPreviewWindow(HWND window);
    FrameCallback& Frames() { return frames_; }

    // Paints a 24-bit bottom-up frame into the camera's part of `window`. Returns 1.
    int PaintFrame(const BYTE* pixels, const BITMAPINFOHEADER& header, HWND window);

private:
    void PaintPreview(const uint8_t* pixels, int width, int height) override;

    FrameCallback frames_;
    std::string cameraName_;
    HWND window_ = nullptr;
};

}  // namespace camera
