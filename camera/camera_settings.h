// The camera settings: the JSON settings text applied to a capture filter's
// image properties, and the backlight compensation that carries the device's
// exposure level. Written against a small property interface so that the
// DirectShow filter (camera/win/) and the scene camera (sim/) share it.
#pragma once

#include <cstdint>
#include <string>

#include "camera/camera_seam.h"  // NotSet

namespace camera {

using ::NotSet;

// DirectShow's flag values and the property ids used here.
constexpr long kFlagManual = 0x2;
constexpr long kBacklightProperty = 8;  // VideoProcAmp_BacklightCompensation
constexpr long kExposureProperty = 4;   // CameraControl_Exposure

struct PropertyRange {
    long minimum = 0, maximum = 0, step = 0, defaultValue = 0, caps = 0;
};

// One property interface of a capture filter (IAMVideoProcAmp or IAMCameraControl).
class IPropertySet {
public:
    virtual ~IPropertySet() = default;
    virtual bool GetRange(long id, PropertyRange* range) = 0;
    virtual bool Get(long id, long* value, long* flags) = 0;
    virtual bool Set(long id, long value, long flags) = 0;
};

// The capture filter's two property interfaces; null when it has none.
class ICaptureProperties {
public:
    virtual ~ICaptureProperties() = default;
    virtual IPropertySet* ProcAmp() = 0;
    virtual IPropertySet* CameraControl() = 0;
};

// Waits between the two range reads of SetProcAmpValue (300 ms); replaceable in tests.
using SleepFunction = void (*)(uint32_t ms);
void DefaultSleep(uint32_t ms);

// 1 written or NotSet; -13 range unreadable twice, -2028 read or write failed, -2029 out of range.
int32_t SetProcAmpValue(IPropertySet* amp, long id, int32_t value, SleepFunction sleep = DefaultSleep);

// Applies `settingsText` to `filter` (null: the camera has no capture filter)
// and stores its "camera_format" in `formatName`. 1 or -2011 ... -2027.
int32_t ApplySettings(const std::string& settingsText, ICaptureProperties* filter, std::string* formatName,
                      SleepFunction sleep = DefaultSleep);

// 0 written (or NotSet), -1 no amplifier, -2 write failed (also out of range).
int32_t SetBacklight(ICaptureProperties* filter, int32_t value, SleepFunction sleep = DefaultSleep);
// 0 read into `value` (unchanged when it holds NotSet), -1 no amplifier, -2 read failed.
int32_t GetBacklight(ICaptureProperties* filter, int32_t* value);

// A setting's text as a number: "" is NotSet, anything else reads as atoi reads it.
int32_t SettingNumber(const std::string& text);

}  // namespace camera
