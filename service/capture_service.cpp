#include "service/capture_service.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "device/record/capture_record.h"
#include "log/log_writer.h"
#include "platform/paths.h"

namespace service {
namespace {

// The device reports to a plain routine: the one service of the process.
std::atomic<CaptureService*> Current{nullptr};

// The device ends a capture by itself after 20 seconds; a reply that has not
// come well after that means the device is stuck, and the request returns.
constexpr auto kReplyLimit = std::chrono::seconds(25);

// The capture thread disarms right after its report.
constexpr uint32_t kDisarmLimitMs = 2000;

constexpr const char* kAnalysisFile = "tavrik-analysis.bmp";

long long NowSeconds() { return static_cast<long long>(std::time(nullptr)); }

}  // namespace

CaptureService::CaptureService(IDevice& device) : device_(device) { Current = this; }

CaptureService::~CaptureService() {
    Stop();
    int32_t ignored = 0;
    Close(&ignored);
    Current = nullptr;
}

void CaptureService::ResultRoutine(const unsigned char* leftImage, const unsigned char* rightImage,
                                   int32_t imageLength, int32_t eyeType, int32_t leftScore, int32_t rightScore,
                                   int32_t outcome) {
    CaptureService* self = Current;
    if (!self) return;
    RecordFields fields;
    {
        std::lock_guard<std::mutex> guard(self->lock_);
        fields.elapsedSeconds = NowSeconds() - self->startSeconds_;
        fields.serial = FieldText(self->info_.serial);
        fields.model = FieldText(self->info_.modelCode);
        fields.organisation = FieldText(self->info_.organisationCode);
    }
    fields.captureId = MakeCaptureId();
    fields.forceAccept = ForceAccept.load() != 0;
    const CaptureAttempt attempt{leftImage, rightImage, imageLength, eyeType, leftScore, rightScore, outcome};
    Json::Value record;
    const int32_t status = BuildCaptureRecord(attempt, fields, &record);
    std::string text;
    {
        // Two-step: the first record waits for its partner, as the control's event does.
        std::lock_guard<std::mutex> guard(self->lock_);
        if (!CollectRecord(record, outcome, CaptureMode.load(), &self->stepTwo_, &text)) return;
    }
    self->Deliver(std::move(text), status);
}

void CaptureService::Deliver(std::string record, int32_t status) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!capturing_) return;  // a refused start's report: the request already has its answer
    reply_.record = std::move(record);
    reply_.status = status;
    hasReply_ = true;
    reported_.notify_all();
}

Result CaptureService::Open(const OpenRequest& request, int32_t* deviceStatus) {
    std::lock_guard<std::mutex> guard(lock_);
    if (open_) return Result::kAlreadyOpen;
    if (request.log) LogWriter().StartLog(platform::HostDirectory());
    const uint8_t level = static_cast<uint8_t>(std::min(request.whiteLevel, kMaximumWhiteLevel));
    *deviceStatus = calls_.Run([this, level] {
        // As the control opens it: the session first, so that a silent
        // microcontroller costs one time-out, and the white light's level.
        CHidOperate::begin_session();
        CHidOperate::send_param(level, kWhiteLightParam);
        return device_.DevInit(nullptr);
    });
    if (*deviceStatus != kDeviceOk) {
        if (request.log) LogWriter().StopLog();
        return Result::kDeviceError;
    }
    logging_ = request.log;
    open_ = true;
    if (calls_.Run([this] { return device_.DevGetInfo(&info_); }) != kDeviceOk) info_ = DeviceInfo{};
    return Result::kOk;
}

Result CaptureService::Close(int32_t* deviceStatus) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!open_) return Result::kNotOpen;
    if (capturing_) return Result::kBusy;
    *deviceStatus = calls_.Run([this] { return device_.DevClose(); });
    if (*deviceStatus != kDeviceOk) return Result::kDeviceError;
    if (logging_) LogWriter().StopLog();
    logging_ = false;
    open_ = false;
    return Result::kOk;
}

Result CaptureService::Capture(const CaptureRequest& request, CaptureReply* reply, int32_t* deviceStatus) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!open_) return Result::kNotOpen;
    if (capturing_) return Result::kBusy;
    capturing_ = true;
    hasReply_ = false;
    startSeconds_ = NowSeconds();
    ForceAccept = request.force ? 1 : 0;
    CaptureMode = request.twoStep ? 2 : 1;
    stepTwo_ = Json::Value(Json::arrayValue);
    // Started outside the lock: a refused start reports at once, on the device thread.
    guard.unlock();
    const int32_t eyeType = request.eyeType;
    *deviceStatus = calls_.Run([this, eyeType] { return device_.DevStartCapture(eyeType); });
    guard.lock();
    if (*deviceStatus != kDeviceOk) {
        capturing_ = false;
        return Result::kDeviceError;
    }
    const bool replied = reported_.wait_for(guard, kReplyLimit, [this] { return hasReply_; });
    // The device reports before it disarms: the request answers once the
    // capture is over, so a page's next capture is never refused as armed.
    guard.unlock();
    if (platform::ManualResetEvent* done = device_.CaptureDoneEvent()) done->Wait(kDisarmLimitMs);
    guard.lock();
    capturing_ = false;
    if (!replied) return Result::kTimedOut;
    *reply = std::move(reply_);
    return Result::kOk;
}

Result CaptureService::Stop() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!capturing_) return Result::kNoCapture;
    CaptureArmed = 0;  // the capture thread reports the stop to the waiting request
    return Result::kOk;
}

Result CaptureService::Analyse(const std::string& bitmap, int32_t* analysis) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!open_) return Result::kNotOpen;
        if (capturing_) return Result::kBusy;
    }
    std::lock_guard<std::mutex> fileGuard(analysisLock_);
    // A fixed name in the service's folder: nothing a request sends names a path.
    const std::string path = platform::HostDirectory() + kAnalysisFile;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return Result::kDeviceError;
    const bool written = std::fwrite(bitmap.data(), 1, bitmap.size(), file) == bitmap.size();
    std::fclose(file);
    *analysis = kDeviceOpenFailed;
    if (written) *analysis = calls_.Run([this, &path] { return device_.GetTemplate(path.c_str()); });
    std::remove(path.c_str());
    if (*analysis == kDeviceCaptureArmed) return Result::kBusy;
    return written ? Result::kOk : Result::kDeviceError;
}

DeviceState CaptureService::State() const {
    std::lock_guard<std::mutex> guard(lock_);
    DeviceState s;
    s.open = open_;
    s.capturing = capturing_;
    s.serial = FieldText(info_.serial);
    s.model = FieldText(info_.modelCode);
    s.organisation = FieldText(info_.organisationCode);
    return s;
}

}  // namespace service
