#include "sim/camera/frame_pacer.h"

namespace k7qsim {

FramePacer::FramePacer(uint32_t startTick, int framesPerSecond, uint32_t maxLagMs)
    : start_(startTick), fps_(framesPerSecond > 0 ? framesPerSecond : 1), maxLagMs_(maxLagMs) {}

// Rounded down from the exact schedule, so the mean rate is exact (30 fps:
// 0, 33, 66, 100, ...) with no drift over long runs.
uint32_t FramePacer::DueOffsetMs(uint64_t frame) const {
    return static_cast<uint32_t>(frame * 1000u / static_cast<uint64_t>(fps_));
}

uint32_t FramePacer::DelayMs(uint32_t nowTick) const {
    const uint32_t elapsed = nowTick - start_;  // wraps like the tick
    const uint32_t due = DueOffsetMs(index_);
    return due > elapsed ? due - elapsed : 0;
}

void FramePacer::FrameSent(uint32_t nowTick) {
    ++sent_;
    ++index_;
    const uint32_t elapsed = nowTick - start_;
    const uint32_t due = DueOffsetMs(index_);
    if (elapsed > due && elapsed - due > maxLagMs_) {
        start_ = nowTick;  // the frame just sent is frame 0 of the new schedule
        index_ = 1;
    }
    // Keep the offsets small so the 32-bit tick arithmetic never overflows.
    if (index_ >= static_cast<uint64_t>(fps_) * 3600u) {
        start_ += DueOffsetMs(index_);
        index_ = 0;
    }
}

void FramePacer::Restart(uint32_t nowTick) {
    start_ = nowTick;
    index_ = 0;
}

}  // namespace k7qsim
