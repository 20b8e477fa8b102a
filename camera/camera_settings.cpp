#include "camera/camera_settings.h"

#include <json/json.h>

#include <cctype>
#include <cstdint>

#include "camera/camera_codes.h"
#include "platform/clock.h"

namespace camera {
namespace {

constexpr uint32_t kRangeRetryMs = 300;

// The amplifier properties in the order they are written, with their failure codes.
struct AmpSetting {
    const char* key;
    long id;
    int32_t failure;
};
constexpr AmpSetting kAmpOrder[] = {
    {"camera_brightness", 0, -2015}, {"camera_contrast", 1, -2016},          {"camera_hue", 2, -2017},
    {"camera_saturation", 3, -2018}, {"camera_sharpness", 4, -2019},         {"camera_gamma", 5, -2020},
    {"camera_whitebalance_auto", 7, -2021}, {"camera_backlight", 8, -2022}, {"camera_gain", 9, -2023},
};

// A member's text: strings as they are, numbers and booleans as JsonCpp
// writes them, anything else (absent, null, arrays, objects) empty.
std::string MemberText(const Json::Value& root, const char* key) {
    const Json::Value& value = root[key];
    if (value.isString() || value.isNumeric() || value.isBool()) return value.asString();
    return std::string();
}

int32_t Setting(const Json::Value& root, const char* key) { return SettingNumber(MemberText(root, key)); }

}  // namespace

void DefaultSleep(uint32_t ms) { platform::SleepMs(ms); }

int32_t SettingNumber(const std::string& text) {
    if (text.empty()) return NotSet;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) value = INT64_C(1) + INT32_MAX;  // saturates, no overflow
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t SetProcAmpValue(IPropertySet* amp, long id, int32_t value, SleepFunction sleep) {
    if (value == NotSet) return kOpened;
    if (!amp) return kEmptyKey;
    PropertyRange range;
    if (!amp->GetRange(id, &range)) {
        sleep(kRangeRetryMs);  // a camera that answers late gets one second chance
        if (!amp->GetRange(id, &range)) return kEmptyKey;
    }
    long current = 0, flags = 0;
    if (!amp->Get(id, &current, &flags)) return kPropertyAccessFailed;
    if (value > range.maximum || value < range.minimum) return kPropertyOutOfRange;
    return amp->Set(id, value, kFlagManual) ? kOpened : kPropertyAccessFailed;
}

int32_t ApplySettings(const std::string& settingsText, ICaptureProperties* filter, std::string* formatName,
                      SleepFunction sleep) {
    if (settingsText.empty()) return kEmptySettings;
    if (!filter) return kSettingsNoFilter;
    Json::Value root;
    Json::Reader reader;
    // Anything but an object has no members to read.
    if (!reader.parse(settingsText, root, false) || !root.isObject()) return kSettingsNotJson;
    if (formatName) *formatName = MemberText(root, "camera_format");
    const int32_t exposureAuto = Setting(root, "camera_exposure_auto");
    const int32_t exposureManual = Setting(root, "camera_exposure_manual_val");
    if (exposureAuto == 1) return kOpened;

    IPropertySet* amp = filter->ProcAmp();
    if (!amp) return kNoProcAmp;
    for (const AmpSetting& setting : kAmpOrder) {
        if (SetProcAmpValue(amp, setting.id, Setting(root, setting.key), sleep) != kOpened) return setting.failure;
    }
    if (exposureAuto == NotSet && exposureManual == NotSet) return kOpened;

    IPropertySet* control = filter->CameraControl();
    if (!control) return kNoCameraControl;
    PropertyRange range;
    if (!control->GetRange(kExposureProperty, &range)) return kExposureRangeFailed;
    if (exposureAuto == NotSet || exposureManual == NotSet) return kOpened;
    return control->Set(kExposureProperty, exposureManual, kFlagManual) ? kOpened : kExposureWriteFailed;
}

int32_t SetBacklight(ICaptureProperties* filter, int32_t value, SleepFunction sleep) {
    IPropertySet* amp = filter ? filter->ProcAmp() : nullptr;
    if (!amp) return -1;
    if (value == NotSet) return 0;
    return SetProcAmpValue(amp, kBacklightProperty, value, sleep) == kOpened ? 0 : -2;
}

int32_t GetBacklight(ICaptureProperties* filter, int32_t* value) {
    IPropertySet* amp = filter ? filter->ProcAmp() : nullptr;
    if (!amp) return -1;
    if (!value) return -2;
    if (*value == NotSet) return 0;
    long current = 0, flags = 0;
    if (!amp->Get(kBacklightProperty, &current, &flags)) return -2;
    *value = static_cast<int32_t>(current);
    return 0;
}

}  // namespace camera
