// Paces a camera's frames at a fixed rate on the wrapping millisecond tick.
// Frame n is due n periods after the start; a producer that falls far behind
// (a loaded machine) is rebased instead of bursting to catch up, so frames
// keep a steady spacing and the counter stays consecutive.
#pragma once

#include <cstdint>

namespace k7qsim {

class FramePacer {
public:
    FramePacer(uint32_t startTick, int framesPerSecond, uint32_t maxLagMs = 100);

    // Milliseconds to wait at `nowTick` before the next frame is due (0: now).
    uint32_t DelayMs(uint32_t nowTick) const;
    // The next frame went out at `nowTick`.
    void FrameSent(uint32_t nowTick);
    // Starts a fresh schedule (after a stop, a stall) at `nowTick`.
    void Restart(uint32_t nowTick);

    uint64_t FramesSent() const { return sent_; }

private:
    uint32_t DueOffsetMs(uint64_t frame) const;

    uint32_t start_;
    int fps_;
    uint32_t maxLagMs_;
    uint64_t index_ = 0;  // frames since start_
    uint64_t sent_ = 0;
};

}  // namespace k7qsim
