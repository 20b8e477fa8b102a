// Makes one camera's stream: frame n is the source's picture at n frame
// periods, packed as YUY2 and stamped with its counter n. Buffers are
// allocated once.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/camera/frame_source.h"

namespace k7qsim {

class FrameProducer {
public:
    FrameProducer(Eye eye, std::unique_ptr<FrameSource> source);

    // Writes the next frame (kYuy2FrameBytes bytes) into `yuy2` and returns
    // its counter.
    uint32_t Produce(const CameraControls& controls, uint8_t* yuy2);

    uint32_t NextCounter() const { return next_; }
    static double FrameTimeMs(uint32_t counter);

private:
    Eye eye_;
    std::unique_ptr<FrameSource> source_;
    std::vector<uint8_t> gray_;
    uint32_t next_ = 0;
};

}  // namespace k7qsim
