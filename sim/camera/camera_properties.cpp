#include "sim/camera/camera_properties.h"

namespace k7qsim {

void PropertyTable::Define(int id, const PropertyRange& range) {
    if (id < 0 || id >= kMaxProperties) return;
    std::lock_guard<std::mutex> guard(lock_);
    Entry& entry = entries_[id];
    entry.range = range;
    entry.value = range.defaultValue;
    entry.flags = (range.capsFlags & kPropertyFlagManual) ? kPropertyFlagManual : range.capsFlags;
}

const PropertyTable::Entry* PropertyTable::Find(int id) const {
    if (id < 0 || id >= kMaxProperties || !entries_[id].range.supported) return nullptr;
    return &entries_[id];
}

PropertyStatus PropertyTable::GetRange(int id, PropertyRange* range) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Entry* entry = Find(id);
    if (entry == nullptr) return PropertyStatus::Unsupported;
    *range = entry->range;
    return PropertyStatus::Ok;
}

PropertyStatus PropertyTable::Get(int id, long* value, long* flags) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Entry* entry = Find(id);
    if (entry == nullptr) return PropertyStatus::Unsupported;
    *value = entry->value;
    *flags = entry->flags;
    return PropertyStatus::Ok;
}

PropertyStatus PropertyTable::Set(int id, long value, long flags) {
    std::lock_guard<std::mutex> guard(lock_);
    const Entry* found = Find(id);
    if (found == nullptr) return PropertyStatus::Unsupported;
    Entry& entry = entries_[id];
    const PropertyRange& range = entry.range;
    const bool oneFlag = flags == kPropertyFlagAuto || flags == kPropertyFlagManual;
    if (!oneFlag || (flags & range.capsFlags) == 0) return PropertyStatus::BadFlags;
    if (value < range.minimum || value > range.maximum) return PropertyStatus::OutOfRange;
    if (range.step > 1 && (value - range.minimum) % range.step != 0) return PropertyStatus::OutOfRange;
    entry.value = value;
    entry.flags = flags;
    return PropertyStatus::Ok;
}

namespace {

PropertyRange Manual(long minimum, long maximum, long defaultValue) {
    PropertyRange range;
    range.supported = true;
    range.minimum = minimum;
    range.maximum = maximum;
    range.defaultValue = defaultValue;
    range.capsFlags = kPropertyFlagManual;
    return range;
}

PropertyRange AutoOrManual(long minimum, long maximum, long defaultValue) {
    PropertyRange range = Manual(minimum, maximum, defaultValue);
    range.capsFlags = kPropertyFlagAuto | kPropertyFlagManual;
    return range;
}

}  // namespace

// Ranges as a UVC webcam reports them; backlight compensation is wide enough
// for every exposure level the control steers (about 150 to 300).
CameraProperties::CameraProperties() {
    procAmp_.Define(0, Manual(-64, 64, 0));         // brightness
    procAmp_.Define(1, Manual(0, 64, 32));          // contrast
    procAmp_.Define(2, Manual(-40, 40, 0));         // hue
    procAmp_.Define(3, Manual(0, 128, 64));         // saturation
    procAmp_.Define(4, Manual(0, 6, 3));            // sharpness
    procAmp_.Define(5, Manual(72, 500, 100));       // gamma
    procAmp_.Define(7, AutoOrManual(2800, 6500, 4600));  // white balance
    procAmp_.Define(kBacklightCompensation, Manual(0, 400, 170));
    procAmp_.Define(kGain, Manual(0, 100, 0));
    cameraControl_.Define(kExposure, AutoOrManual(-13, -1, -6));
}

CameraControls CameraProperties::RenderControls() const {
    CameraControls controls;
    long value = 0, flags = 0;
    if (procAmp_.Get(kBacklightCompensation, &value, &flags) == PropertyStatus::Ok)
        controls.backlight = static_cast<int>(value);
    if (procAmp_.Get(kGain, &value, &flags) == PropertyStatus::Ok) controls.gain = static_cast<int>(value);
    return controls;
}

}  // namespace k7qsim
