// The frame callback of one eye camera, without DirectShow: every delivered
// frame is expanded into its preview and painted; a frame that GrabFrame asks
// for is turned into the gray image and handed over.
//
// The hand-over between the streaming thread and the grabbing thread keeps
// the request flag and the manual-reset frame event. The flag is atomic: the
// grabbing thread only sets it, the streaming thread writes the gray image
// only while it is set and clears it (release) before it signals, so a
// grabbed image is always one whole frame; the grabber copies it before its
// next request. A close marks the callback closed, wakes a waiting grab and
// waits for a delivery in progress to leave, so no frame is written after it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "camera/camera_seam.h"
#include "camera/frame_converter.h"
#include "platform/event.h"

namespace camera {

// Paints a 24-bit bottom-up preview (width x height) into the preview window.
class IPreviewPainter {
public:
    virtual ~IPreviewPainter() = default;
    virtual void PaintPreview(const uint8_t* pixels, int width, int height) = 0;
};

enum class GrabOutcome { Frame, Timeout, WaitFailed, Closed };

// GrabFrame's message for an outcome other than a frame ("%s" into at least 100 bytes).
const char* GrabMessage(GrabOutcome outcome);

constexpr uint32_t kGrabTimeoutMs = 3000;

class FrameCallback {
public:
    FrameCallback() = default;
    ~FrameCallback();
    FrameCallback(const FrameCallback&) = delete;
    FrameCallback& operator=(const FrameCallback&) = delete;

    // Set while the graph is built, before the callback opens.
    void SetFrameSize(int width, int height) { converter_.SetFrameSize(width, height); }
    void SetFormat(FrameFormat format) { converter_.SetFormat(format); }
    void SetPainter(IPreviewPainter* painter) { painter_ = painter; }
    // Every converted frame also goes to the tap (set before the callback opens).
    void SetTap(IFrameTap* tap) { tap_ = tap; }
    int Width() const { return converter_.Width(); }
    int Height() const { return converter_.Height(); }

    // The streaming thread's entry for every frame; a closed callback drops it.
    void OnFrame(const uint8_t* buffer, size_t length);

    // Waits up to timeoutMs for the next converted frame. The image stays
    // valid until the callback is destroyed; the next grab replaces it.
    const uint8_t* Grab(uint32_t timeoutMs, GrabOutcome* outcome);
    // GrabFrame: the image, or null with its message written into `message`.
    const uint8_t* GrabFrame(char* message, uint32_t timeoutMs = kGrabTimeoutMs);

    void Open() { closed_.store(false); }
    // Marks closed, wakes a waiting grab, and returns once no frame is in delivery.
    void Close();
    bool IsClosed() const { return closed_.load(); }

private:
    void Convert(const uint8_t* buffer, size_t length);
    void Tap(const uint8_t* buffer, size_t length, bool converted);

    FrameConverter converter_;
    IPreviewPainter* painter_ = nullptr;
    IFrameTap* tap_ = nullptr;
    std::vector<uint8_t> gray_;
    std::vector<uint8_t> tapGray_;  // a frame nobody grabbed, converted for the tap
    platform::ManualResetEvent frameReady_;
    std::atomic<bool> requested_{false};
    std::atomic<bool> closed_{true};
    std::atomic<int> delivering_{0};
};

}  // namespace camera
