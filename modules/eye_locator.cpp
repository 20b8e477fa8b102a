// The process-wide eye locator: one context, made at initialisation with the
// trained tables installed; detection works only in that context.
#include "modules/eye_locator.h"

#include "modules/eye_locator_model.h"
#include "modules/eye_locator_stages.h"

namespace {

eyeloc::Context* g_context = nullptr;

}  // namespace

namespace eyeloc {

Context* ActiveContext() { return g_context; }

}  // namespace eyeloc

int32_t EyeLocatorInit(int32_t width, int32_t height) {
    if (g_context != nullptr) return -1;
    const eyeloc::SizeRow* row = eyeloc::FindSize(width, height);
    if (row == nullptr) return -2;
    eyeloc::Context* c = eyeloc::CreateContext(*row);
    if (c == nullptr) return -2;
    if (eyeloc::InstallModel(c, eyeloc::TrainedModel()) != 0) {
        eyeloc::DestroyContext(c);
        return -2;
    }
    g_context = c;
    return 0;
}

int32_t EyeLocatorDetect(const uint8_t* frame, int32_t length, int32_t* result) {
    eyeloc::Context* c = g_context;
    if (c == nullptr) return -1;
    if (frame == nullptr || length <= 0) return -2;
    if (result == nullptr) return -68;
    if (static_cast<int64_t>(length) != static_cast<int64_t>(c->g.width) * c->g.height) return -69;
    for (int k = 0; k < 8; ++k) result[k] = 0;
    int32_t rc = eyeloc::ComputeFeatures(c, frame);
    if (rc == 0) rc = eyeloc::Classify(c);
    if (rc == 0) rc = eyeloc::Suppress(c);
    if (rc != 0) return rc;
    const int32_t eyes = eyeloc::Pick(c);
    if (eyes < 0) return eyes;
    return eyeloc::MapToFrame(c, eyes, result);
}

int32_t EyeLocatorCrop(const uint8_t* frame, int32_t frameWidth, int32_t frameHeight, const int32_t* rect,
                       uint8_t* window, int32_t windowWidth, int32_t windowHeight) {
    if (frame == nullptr || rect == nullptr || window == nullptr) return -71;
    const int32_t left = rect[0], top = rect[1], right = rect[2], bottom = rect[3];
    if (left < 0 || top < 0 || right < 0 || bottom < 0 || right < left || bottom < top) return -72;
    if (windowWidth <= 0 || windowHeight <= 0 || windowWidth > frameWidth || windowHeight > frameHeight) return -72;
    if (right - left >= windowWidth || bottom - top >= windowHeight) return -73;
    // Sums in 64 bits: coordinates near the top of the range must not wrap.
    int64_t x0 = ((static_cast<int64_t>(left) + right) >> 1) - windowWidth / 2;
    int64_t y0 = ((static_cast<int64_t>(top) + bottom) >> 1) - windowHeight / 2;
    x0 = x0 < 0 ? 0 : (x0 > frameWidth - windowWidth ? frameWidth - windowWidth : x0);
    y0 = y0 < 0 ? 0 : (y0 > frameHeight - windowHeight ? frameHeight - windowHeight : y0);
    for (int32_t y = 0; y < windowHeight; ++y) {
        const uint8_t* src = frame + (y0 + y) * frameWidth + x0;
        uint8_t* dst = window + static_cast<int64_t>(y) * windowWidth;
        for (int32_t x = 0; x < windowWidth; ++x) dst[x] = src[x];
    }
    return 0;
}

void EyeLocatorRelease() {
    eyeloc::DestroyContext(g_context);
    g_context = nullptr;
}
