#include "camera/frame_callback.h"

#include "platform/clock.h"

namespace camera {

FrameCallback::~FrameCallback() { Close(); }

void FrameCallback::OnFrame(const uint8_t* buffer, size_t length) {
    delivering_.fetch_add(1);
    if (buffer && !IsClosed()) Convert(buffer, length);
    delivering_.fetch_sub(1);
}

void FrameCallback::Convert(const uint8_t* buffer, size_t length) {
    const size_t pixels = static_cast<size_t>(Width()) * Height();
    if (gray_.size() != pixels) gray_.assign(pixels, 0);
    const bool converted = requested_.load() && converter_.ConvertGray(buffer, length, gray_.data());
    const uint8_t* preview =
        converter_.Preview(buffer, length, painter_ != nullptr, converted ? gray_.data() : nullptr);
    if (converted) {
        requested_.store(false);  // after the last byte of the gray image
        frameReady_.Set();
    }
    if (painter_ && preview) painter_->PaintPreview(preview, Width(), Height());
    if (tap_) Tap(buffer, length, converted);
}

// A grabbed frame's gray image is only read from here on (the grabber copies
// it; the next one is written by this thread); any other frame is converted
// into the tap's own image.
void FrameCallback::Tap(const uint8_t* buffer, size_t length, bool converted) {
    if (converted) {
        tap_->OnFrame(gray_.data(), Width(), Height());
        return;
    }
    if (tapGray_.size() != gray_.size()) tapGray_.assign(gray_.size(), 0);
    if (converter_.ConvertGray(buffer, length, tapGray_.data())) tap_->OnFrame(tapGray_.data(), Width(), Height());
}

// A frame is handed over only once the request reads cleared: the streaming
// thread clears it after the last byte is written. A wake whose request is
// still set comes from an earlier delivery's late signal; the wait goes on.
const uint8_t* FrameCallback::Grab(uint32_t timeoutMs, GrabOutcome* outcome) {
    const uint32_t start = platform::TickCount();
    frameReady_.Reset();
    requested_.store(true);
    // A close sets the flag before it signals: one that came before the reset
    // shows here, one after it leaves the event set.
    if (IsClosed()) {
        *outcome = GrabOutcome::Closed;
        return nullptr;
    }
    for (;;) {
        const uint32_t spent = platform::TicksSince(start);
        const bool signalled = frameReady_.Wait(spent < timeoutMs ? timeoutMs - spent : 0);
        if (IsClosed()) {
            *outcome = GrabOutcome::Closed;
            return nullptr;
        }
        if (!requested_.load()) {
            *outcome = GrabOutcome::Frame;
            return gray_.data();
        }
        if (!signalled) {
            *outcome = GrabOutcome::Timeout;
            return nullptr;
        }
        frameReady_.Reset();
    }
}

const uint8_t* FrameCallback::GrabFrame(char* message, uint32_t timeoutMs) {
    GrabOutcome outcome = GrabOutcome::Frame;
    const uint8_t* frame = Grab(timeoutMs, &outcome);
    if (!frame && message) {
        const char* text = GrabMessage(outcome);
        size_t i = 0;
        for (; text[i] && i + 1 < 100; ++i) message[i] = text[i];
        message[i] = '\0';
    }
    return frame;
}

void FrameCallback::Close() {
    closed_.store(true);
    frameReady_.Set();
    while (delivering_.load() != 0) platform::SleepMs(1);
}

}  // namespace camera
