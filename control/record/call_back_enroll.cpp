// The control's result routine: the device object calls it once per
// finished attempt, and it hands the record to the control's window.
#include <ctime>
#include <mutex>

#include "control/record/control_state.h"
#include "device/record/capture_record.h"

std::atomic<int32_t> CaptureRunning{0};
std::atomic<long long> CaptureStartTime{0};
std::string DeviceSerialText;
std::string DeviceModelText = "VmK7Q";
std::string ResultText;
Json::Value StepTwoResults(Json::arrayValue);

namespace {

long long SystemSeconds() { return static_cast<long long>(std::time(nullptr)); }
std::atomic<SecondsClock> RecordClock{SystemSeconds};

std::mutex& ActiveLock() {
    static std::mutex lock;
    return lock;
}
IResultTarget* ActiveControl = nullptr;

}  // namespace

void SetRecordClock(SecondsClock clock) { RecordClock = clock ? clock : SystemSeconds; }

long long RecordNow() { return RecordClock.load()(); }

void SetActiveControl(IResultTarget* control) {
    std::lock_guard<std::mutex> lock(ActiveLock());
    ActiveControl = control;
}

void WithdrawActiveControl(IResultTarget* control) {
    std::lock_guard<std::mutex> lock(ActiveLock());
    if (ActiveControl == control) ActiveControl = nullptr;
}

IResultTarget* PeekActiveControl() {
    std::lock_guard<std::mutex> lock(ActiveLock());
    return ActiveControl;
}

void CallBackEnroll(const unsigned char* leftImage, const unsigned char* rightImage, int32_t imageLength,
                    int32_t eyeType, int32_t leftScore, int32_t rightScore, int32_t outcome) {
    RecordFields fields;
    fields.elapsedSeconds = RecordNow() - CaptureStartTime.load();
    fields.captureId = MakeCaptureId();
    fields.serial = DeviceSerialText;
    fields.model = DeviceModelText;
    fields.forceAccept = ForceAccept.load() != 0;
    NativeWindow window = nullptr;
    {
        // The window is taken under the lock; a control withdrawn after this
        // point has destroyed its window, and the send to it then fails.
        std::lock_guard<std::mutex> lock(ActiveLock());
        if (ActiveControl) {
            fields.organisation = ActiveControl->OrganisationCode();
            window = ActiveControl->ResultWindow();
        }
    }
    const CaptureAttempt attempt{leftImage, rightImage, imageLength, eyeType, leftScore, rightScore, outcome};
    Json::Value record;
    const int32_t status = BuildCaptureRecord(attempt, fields, &record);
    std::string text;
    if (!CollectRecord(record, outcome, CaptureMode.load(), &StepTwoResults, &text)) return;
    ResultText = std::move(text);
    // A result nobody can receive any more still ends the capture it reports.
    if (!window || !SendCaptureResult(window, status)) CaptureRunning = 0;
}
