// The device's view of the built-in eye locator and of the module binding.
#include "device/device_services.h"
#include "modules/eye_locator.h"

namespace {

class BuiltInLocator : public IEyeLocator {
public:
    int32_t Init(int32_t width, int32_t height) override { return EyeLocatorInit(width, height); }
    int32_t Detect(const uint8_t* frame, int32_t length, int32_t* result) override {
        return EyeLocatorDetect(frame, length, result);
    }
    int32_t Crop(const uint8_t* frame, int32_t frameWidth, int32_t frameHeight, const int32_t* rect,
                 uint8_t* window, int32_t windowWidth, int32_t windowHeight) override {
        return EyeLocatorCrop(frame, frameWidth, frameHeight, rect, window, windowWidth, windowHeight);
    }
    void Release() override { EyeLocatorRelease(); }
};

}  // namespace

IEyeLocator& BuiltInEyeLocator() {
    // Never destroyed: the process's device object, torn down after the
    // function-local statics, still releases the locator.
    static BuiltInLocator* const locator = new BuiltInLocator;
    return *locator;
}

IrisEntries EntriesOf(const CVmCaLib& binding) {
    return IrisEntries{binding.f0, binding.f1, binding.f2, binding.f3, binding.f4};
}
