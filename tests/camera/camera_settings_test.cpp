// The settings rules against a recording property interface: which
// properties are written, in which order, with which flags, and every
// result code of ApplySettings, SetProcAmpValue, SetBacklight, GetBacklight.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "camera/camera_settings.h"

namespace camera {
namespace {

// A property table that records every write; ranges and failures per id.
class FakePropertySet : public IPropertySet {
public:
    struct Write {
        long id, value, flags;
        bool operator==(const Write& o) const { return id == o.id && value == o.value && flags == o.flags; }
    };
    bool GetRange(long id, PropertyRange* range) override {
        ++rangeReads[id];
        if (rangeFailures[id] > 0) {
            --rangeFailures[id];
            return false;
        }
        range->minimum = -10;
        range->maximum = maximum.count(id) ? maximum[id] : 500;
        if (minimum.count(id)) range->minimum = minimum[id];
        return true;
    }
    bool Get(long id, long* value, long* flags) override {
        if (failGet) return false;
        *value = values[id];
        *flags = 0;
        return true;
    }
    bool Set(long id, long value, long flags) override {
        if (failSet) return false;
        writes.push_back({id, value, flags});
        values[id] = value;
        return true;
    }
    std::map<long, int> rangeReads, rangeFailures;
    std::map<long, long> minimum, maximum, values;
    std::vector<Write> writes;
    bool failGet = false, failSet = false;
};

class FakeFilter : public ICaptureProperties {
public:
    IPropertySet* ProcAmp() override { return hasAmp ? &amp : nullptr; }
    IPropertySet* CameraControl() override { return hasControl ? &control : nullptr; }
    FakePropertySet amp, control;
    bool hasAmp = true, hasControl = true;
};

std::vector<uint32_t> sleeps;
void RecordSleep(uint32_t ms) { sleeps.push_back(ms); }

// The settings text as the device object builds it.
const char kDeviceSettings[] =
    "{\"camera_backlight\":\"170\",\"camera_brightness\":\"\",\"camera_contrast\":\"\","
    "\"camera_exposure_auto\":\"\",\"camera_exposure_manual_val\":\"\",\"camera_format\":\"yuv_0130\","
    "\"camera_gain\":\"\",\"camera_gamma\":\"\",\"camera_hue\":\"\",\"camera_id\":\"vmK7Q\","
    "\"camera_saturation\":\"\",\"camera_sharpness\":\"\"}";

using W = FakePropertySet::Write;

TEST(CameraSettingsTest, DeviceSettingsWriteOnlyBacklightAndSetTheFormat) {
    FakeFilter filter;
    std::string format = "old";
    EXPECT_EQ(ApplySettings(kDeviceSettings, &filter, &format, RecordSleep), 1);
    EXPECT_EQ(format, "yuv_0130");
    EXPECT_EQ(filter.amp.writes, (std::vector<W>{{8, 170, kFlagManual}}));
    EXPECT_TRUE(filter.control.writes.empty());
    EXPECT_TRUE(filter.control.rangeReads.empty());  // no exposure key set: the camera control is not asked
}

TEST(CameraSettingsTest, ExposureAutoOneWritesNothing) {
    FakeFilter filter;
    std::string format;
    EXPECT_EQ(ApplySettings("{\"camera_format\":\"rgb24\",\"camera_exposure_auto\":\"1\",\"camera_backlight\":\"170\","
                            "\"camera_exposure_manual_val\":\"-6\"}",
                            &filter, &format, RecordSleep),
              1);
    EXPECT_EQ(format, "rgb24");
    EXPECT_TRUE(filter.amp.writes.empty());
    EXPECT_TRUE(filter.control.writes.empty());
}

TEST(CameraSettingsTest, ManualExposureIsWrittenAfterTheAmplifierInOrder) {
    FakeFilter filter;
    std::string format;
    EXPECT_EQ(ApplySettings("{\"camera_exposure_auto\":\"0\",\"camera_exposure_manual_val\":\"-6\","
                            "\"camera_gain\":\"3\",\"camera_brightness\":\" +12x\",\"camera_whitebalance_auto\":\"40\","
                            "\"camera_backlight\":\"200\",\"camera_whitebalance_val\":\"77\"}",
                            &filter, &format, RecordSleep),
              1);
    // brightness (0) ... white balance (7), backlight (8), gain (9); white balance value unused.
    EXPECT_EQ(filter.amp.writes, (std::vector<W>{{0, 12, 2}, {7, 40, 2}, {8, 200, 2}, {9, 3, 2}}));
    EXPECT_EQ(filter.control.writes, (std::vector<W>{{kExposureProperty, -6, kFlagManual}}));
    EXPECT_EQ(filter.control.rangeReads[kExposureProperty], 1);
}

TEST(CameraSettingsTest, ManualExposureWithoutAutoReadsTheRangeOnly) {
    FakeFilter filter;
    std::string format;
    EXPECT_EQ(ApplySettings("{\"camera_format\":\"yuv_0130\",\"camera_exposure_manual_val\":\"-6\","
                            "\"camera_exposure_auto\":\"\"}",
                            &filter, &format, RecordSleep),
              1);
    EXPECT_EQ(filter.control.rangeReads[kExposureProperty], 1);
    EXPECT_TRUE(filter.control.writes.empty());
    EXPECT_TRUE(filter.amp.writes.empty());

    filter.hasControl = false;
    EXPECT_EQ(ApplySettings("{\"camera_exposure_manual_val\":\"-6\"}", &filter, &format, RecordSleep), -2024);
    filter.hasControl = true;
    filter.control.rangeFailures[kExposureProperty] = 1;
    EXPECT_EQ(ApplySettings("{\"camera_exposure_manual_val\":\"-6\"}", &filter, &format, RecordSleep), -2025);
    filter.control.failSet = true;
    EXPECT_EQ(ApplySettings("{\"camera_exposure_auto\":\"0\",\"camera_exposure_manual_val\":\"-6\"}", &filter, &format,
                            RecordSleep),
              -2027);
}

TEST(CameraSettingsTest, TextWithoutDigitsReadsZeroAndMayFallOutsideTheRange) {
    FakeFilter filter;
    std::string format;
    EXPECT_EQ(ApplySettings("{\"camera_brightness\":\"abc\"}", &filter, &format, RecordSleep), 1);
    EXPECT_EQ(filter.amp.writes, (std::vector<W>{{0, 0, 2}}));
    filter.amp.minimum[0] = 1;
    EXPECT_EQ(ApplySettings("{\"camera_brightness\":\"abc\"}", &filter, &format, RecordSleep), -2015);
    EXPECT_EQ(SettingNumber(""), NotSet);
    EXPECT_EQ(SettingNumber("  -42kg"), -42);
    EXPECT_EQ(SettingNumber("99999999999"), INT32_MAX);
}

TEST(CameraSettingsTest, EachAmplifierPropertyFailsWithItsOwnCode) {
    const std::vector<std::pair<const char*, int>> table = {
        {"camera_brightness", -2015}, {"camera_contrast", -2016},         {"camera_hue", -2017},
        {"camera_saturation", -2018}, {"camera_sharpness", -2019},        {"camera_gamma", -2020},
        {"camera_whitebalance_auto", -2021}, {"camera_backlight", -2022}, {"camera_gain", -2023}};
    for (const auto& entry : table) {
        SCOPED_TRACE(entry.first);
        FakeFilter filter;
        filter.amp.failSet = true;
        std::string format;
        const std::string text = std::string("{\"") + entry.first + "\":\"5\"}";
        EXPECT_EQ(ApplySettings(text, &filter, &format, RecordSleep), entry.second);
    }
}

TEST(CameraSettingsTest, TextFilterAndAmplifierFailures) {
    FakeFilter filter;
    std::string format = "kept";
    EXPECT_EQ(ApplySettings("", &filter, &format, RecordSleep), -2011);
    EXPECT_EQ(ApplySettings(kDeviceSettings, nullptr, &format, RecordSleep), -2012);
    EXPECT_EQ(ApplySettings("{\"camera_format\":", &filter, &format, RecordSleep), -2013);
    EXPECT_EQ(ApplySettings("[\"camera_format\"]", &filter, &format, RecordSleep), -2013);
    EXPECT_EQ(format, "kept");
    filter.hasAmp = false;
    EXPECT_EQ(ApplySettings(kDeviceSettings, &filter, &format, RecordSleep), -2014);
    // A missing format key empties the name (the graph build then fails with -2030).
    filter.hasAmp = true;
    EXPECT_EQ(ApplySettings("{\"camera_backlight\":\"170\"}", &filter, &format, RecordSleep), 1);
    EXPECT_EQ(format, "");
}

TEST(CameraSettingsTest, SetProcAmpValueRetriesTheRangeOnceAfter300Ms) {
    FakePropertySet amp;
    sleeps.clear();
    amp.rangeFailures[8] = 1;
    EXPECT_EQ(SetProcAmpValue(&amp, 8, 170, RecordSleep), 1);
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{300}));
    EXPECT_EQ(amp.rangeReads[8], 2);

    sleeps.clear();
    amp.rangeFailures[8] = 2;
    EXPECT_EQ(SetProcAmpValue(&amp, 8, 170, RecordSleep), -13);
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{300}));

    EXPECT_EQ(SetProcAmpValue(&amp, 8, NotSet, RecordSleep), 1);
    EXPECT_EQ(SetProcAmpValue(&amp, 8, 501, RecordSleep), -2029);
    EXPECT_EQ(SetProcAmpValue(&amp, 8, -11, RecordSleep), -2029);
    amp.failGet = true;
    EXPECT_EQ(SetProcAmpValue(&amp, 8, 100, RecordSleep), -2028);
    amp.failGet = false;
    amp.failSet = true;
    EXPECT_EQ(SetProcAmpValue(&amp, 8, 100, RecordSleep), -2028);
}

TEST(CameraSettingsTest, BacklightRoundTripAndRefusals) {
    FakeFilter filter;
    filter.amp.maximum[8] = 300;
    EXPECT_EQ(SetBacklight(&filter, 230, RecordSleep), 0);
    int32_t value = 0;
    EXPECT_EQ(GetBacklight(&filter, &value), 0);
    EXPECT_EQ(value, 230);
    EXPECT_EQ(SetBacklight(&filter, 301, RecordSleep), -2);
    EXPECT_EQ(GetBacklight(&filter, &value), 0);
    EXPECT_EQ(value, 230);  // unchanged by the refused write
    EXPECT_EQ(SetBacklight(&filter, NotSet, RecordSleep), 0);
    EXPECT_EQ(filter.amp.writes.size(), 1u);
    value = NotSet;
    EXPECT_EQ(GetBacklight(&filter, &value), 0);
    EXPECT_EQ(value, NotSet);
    filter.amp.failGet = true;
    value = 0;
    EXPECT_EQ(GetBacklight(&filter, &value), -2);
    filter.hasAmp = false;
    EXPECT_EQ(SetBacklight(&filter, 230, RecordSleep), -1);
    EXPECT_EQ(GetBacklight(&filter, &value), -1);
}

}  // namespace
}  // namespace camera
