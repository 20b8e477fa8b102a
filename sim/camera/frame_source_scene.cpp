#include "sim/camera/frame_source.h"

namespace k7qsim {

namespace {

class SceneFrameSource : public FrameSource {
public:
    explicit SceneFrameSource(uint64_t seed) : timeline_(seed) {}
    void Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* gray) override {
        timeline_.Render(eye, timeMs, controls, gray);
    }

private:
    SceneTimeline timeline_;
};

}  // namespace

std::unique_ptr<FrameSource> MakeDefaultFrameSource(uint64_t seed) {
    return std::unique_ptr<FrameSource>(new SceneFrameSource(seed));
}

}  // namespace k7qsim
