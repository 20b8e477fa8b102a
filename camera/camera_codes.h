// The result codes of the eye cameras' open, build and settings steps.
#pragma once

#include <cstdint>

namespace camera {

constexpr int32_t kOpened = 1;              // OpenCamera, ApplySettings, SetProcAmpValue succeeded
constexpr int32_t kGraphRunning = 0;        // BuildGraph: graph built and running
constexpr int32_t kNoDeviceKey = 2002;      // OpenCamera without a key (positive)
constexpr int32_t kEmptyKey = -13;          // FindDeviceIndex; also SetProcAmpValue: range unreadable twice
constexpr int32_t kNoFirstFrame = -30;
constexpr int32_t kNotFound = -2003;
constexpr int32_t kNoFilterGraph = -2004;   // also FindDeviceIndex: no system device enumerator
constexpr int32_t kNoGraphBuilder = -2005;
constexpr int32_t kNoSampleGrabber = -2006;
constexpr int32_t kNoMediaControl = -2007;
constexpr int32_t kNoVideoWindow = -2008;
constexpr int32_t kAddCaptureFailed = -2009;
constexpr int32_t kNoCaptureFilter = -2010;
constexpr int32_t kEmptySettings = -2011;
constexpr int32_t kSettingsNoFilter = -2012;
constexpr int32_t kSettingsNotJson = -2013;
constexpr int32_t kNoProcAmp = -2014;
constexpr int32_t kNoCameraControl = -2024;
constexpr int32_t kExposureRangeFailed = -2025;
constexpr int32_t kExposureWriteFailed = -2027;
constexpr int32_t kPropertyAccessFailed = -2028;
constexpr int32_t kPropertyOutOfRange = -2029;
constexpr int32_t kUnknownFormat = -2030;
constexpr int32_t kGrabberRefusedType = -2032;
constexpr int32_t kAddGrabberFailed = -2033;
constexpr int32_t kRenderFailed = -2034;
constexpr int32_t kNoConnectedType = -2035;
constexpr int32_t kWrongFrameSize = -2036;
constexpr int32_t kBufferingFailed = -2037;
constexpr int32_t kOneShotFailed = -2038;
constexpr int32_t kCallbackFailed = -2039;
constexpr int32_t kRunFailed = -2040;
constexpr int32_t kNoDeviceCategory = -2041;
constexpr int32_t kAlreadyOpen = -2042;

// The debug trace line when the camera refuses to run because another program
// holds it (ANSI code page 936, as every text meant for people).
const char* BusyTraceLine();

}  // namespace camera
