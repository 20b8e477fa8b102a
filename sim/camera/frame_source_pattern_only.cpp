// Built when the scene renderer is not part of the build.
#include "sim/camera/frame_source.h"

namespace k7qsim {

std::unique_ptr<FrameSource> MakeDefaultFrameSource(uint64_t) {
    return std::unique_ptr<FrameSource>(new TestPatternSource());
}

}  // namespace k7qsim
