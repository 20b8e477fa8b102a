// The capture service's host of the device object: opens and closes it,
// runs one capture at a time for whoever asks and hands back the same JSON
// record the control fires in OnCapture. Portable; the HTTP side is in
// http_api.*, the device and its services come from the program.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include <json/json.h>

#include "device/device_contract.h"
#include "hid/hid_operate.h"
#include "service/device_thread.h"

namespace service {

// What a request to the service comes to; each has its HTTP status and
// error code in http_api.cpp.
enum class Result {
    kOk,
    kNotOpen,        // the device is not open
    kAlreadyOpen,
    kBusy,           // a capture is running
    kNoCapture,      // stop without a running capture
    kDeviceError,    // the device refused (its status in `deviceStatus`)
    kTimedOut,       // the device did not report within the service's own limit
};

// The control's IrisInit options.
struct OpenRequest {
    uint32_t whiteLevel = kDefaultWhiteLevel;  // 0 ... kMaximumWhiteLevel
    bool log = false;                          // the device's log file in the service's folder
};

struct CaptureRequest {
    int32_t eyeType = kEyeBoth;
    bool force = false;
    bool twoStep = false;  // two captures in a row, answered together (the control's StartCaptureStepTwo)
};

struct CaptureReply {
    int32_t status = 0;  // the event status the control would fire
    std::string record;  // compact JSON, as in OnCapture: one record, or two in an array for two steps
};

struct DeviceState {
    bool open = false, capturing = false;
    std::string model, serial, organisation;
};

class CaptureService {
public:
    // The device must have been made with ResultRoutine as its host routine.
    explicit CaptureService(IDevice& device);
    ~CaptureService();
    CaptureService(const CaptureService&) = delete;
    CaptureService& operator=(const CaptureService&) = delete;

    // The routine the device reports each finished capture to.
    static void ResultRoutine(const unsigned char* leftImage, const unsigned char* rightImage, int32_t imageLength,
                              int32_t eyeType, int32_t leftScore, int32_t rightScore, int32_t outcome);

    Result Open(const OpenRequest& request, int32_t* deviceStatus);
    Result Close(int32_t* deviceStatus);
    // Blocks until the device reports (it gives up after its 20 seconds).
    Result Capture(const CaptureRequest& request, CaptureReply* reply, int32_t* deviceStatus);
    Result Stop();
    // The control's ExtraceImage: the iris module on a stored eye bitmap (the
    // bytes of a BMP file), through a file of the service's own that only
    // this call writes. `analysis` receives the device's result (0: an iris).
    Result Analyse(const std::string& bitmap, int32_t* analysis);
    DeviceState State() const;

private:
    void Deliver(std::string record, int32_t status);

    IDevice& device_;
    DeviceThread calls_;  // every device call runs here
    std::mutex analysisLock_;  // one analysis file at a time
    mutable std::mutex lock_;
    std::condition_variable reported_;
    bool open_ = false, capturing_ = false, hasReply_ = false, logging_ = false;
    long long startSeconds_ = 0;
    CaptureReply reply_;
    Json::Value stepTwo_;  // the first record of a two-step capture
    DeviceInfo info_{};
};

}  // namespace service
