#include "sim/camera/frame_producer.h"

#include "sim/camera/camera_format.h"

namespace k7qsim {

FrameProducer::FrameProducer(Eye eye, std::unique_ptr<FrameSource> source)
    : eye_(eye), source_(std::move(source)), gray_(kFrameBytes) {}

double FrameProducer::FrameTimeMs(uint32_t counter) { return counter * (1000.0 / kFramesPerSecond); }

uint32_t FrameProducer::Produce(const CameraControls& controls, uint8_t* yuy2) {
    const uint32_t counter = next_++;
    source_->Render(eye_, FrameTimeMs(counter), controls, gray_.data());
    PackGrayToYuy2(gray_.data(), kCameraWidth, kCameraHeight, yuy2);
    StampFrameCounter(counter, yuy2);
    return counter;
}

}  // namespace k7qsim
