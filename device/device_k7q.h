// CDeviceK7Q: the single device object of the process. It owns the two eye
// cameras, every image buffer of the capture pipeline (allocated once, at
// construction), the capture thread and the graph event thread, and it is the
// only caller of the iris algorithm module and the eye locator.
#pragma once

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/candidates.h"
#include "device/device_contract.h"
#include "device/device_services.h"
#include "device/eye_records.h"
#include "platform/event.h"
#include "platform/thread.h"

// Process-wide state of the device side (single writers, polled).
extern std::atomic<int32_t> CaptureThreadExit;  // the capture thread must end
extern std::atomic<int32_t> EventWatchRun;      // the graph event thread keeps running
// Counts the graph event threads started: a thread let go by DevClose that is
// still in its loop when the next DevInit sets EventWatchRun again ends instead
// of reading the new cameras' events beside the new thread.
extern std::atomic<uint32_t> EventWatchGeneration;
extern std::atomic<int32_t> DeviceLost;         // the next DevInit closes first
extern std::atomic<int32_t> LeftHighCount, LeftLowCount, RightHighCount, RightLowCount;
// Serialises every call into f4 and into the eye locator.
extern std::mutex ModuleLock;

constexpr int32_t kFrameBytes = 960 * 720;
constexpr int32_t kIrisOutBytes = 360 * 360;
constexpr int32_t kAnalysisTextBytes = 512;
// A capture ends by time-out when more whole seconds than this have passed.
constexpr uint32_t kCaptureSeconds = 20;

// Per-eye names of the device object's fields, so that one routine serves
// both eyes.
struct EyeSlot {
    const char* name;  // "left" / "right" in traces
    uint8_t* work;
    uint8_t* view;
    uint8_t* frame;
    uint8_t* bitmap;
    std::unique_ptr<IEyeCamera>* camera;
    int32_t* score;
    int32_t* exposure;
    int32_t* exposureHold;
    const char* parseFunction;
    int blurLogLine;
    int templateLogLine;
};

// The capture thread's working records, renewed every capture cycle.
struct PassState {
    char text[kAnalysisTextBytes];
    IrisDetection detection;
    IrisCircle circle;
    CandidateList leftList, rightList;
};

class CDeviceK7Q : public IDevice {
public:
    explicit CDeviceK7Q(DeviceServices services);
    ~CDeviceK7Q() override;
    CDeviceK7Q(const CDeviceK7Q&) = delete;
    CDeviceK7Q& operator=(const CDeviceK7Q&) = delete;

    int32_t DevInit(NativeWindow window) override;
    int32_t DevClose() override;
    int32_t DevStartCapture(EyeType eyeType) override;
    int32_t DevGetInfo(DeviceInfo* info) override;
    int32_t GetTemplate(const char* bitmapPath) override;
    platform::ManualResetEvent* CaptureDoneEvent() override { return &m_doneEvent; }

    // Observation points for tests and tools.
    int32_t Initialised() const { return m_initialised; }
    int32_t CaptureState() const { return m_captureState; }
    const std::string& CameraSettings() const { return m_cameraSettings; }
    const std::string& TempDir() const { return m_tempDir; }
    int32_t LightLevel() const { return m_lightLevel; }
    int32_t LeftExposure() const { return m_leftExposure; }
    int32_t RightExposure() const { return m_rightExposure; }
    void SetVoiceEnabled(int32_t on) { m_voiceEnabled = on; }
    // True while a capture or event thread let go by DevClose still runs.
    bool HasStragglers();

    // Capture workflow (capture_thread.cpp).
    static int32_t CaptureThreadProc(CDeviceK7Q* device);
    void CaptureBothEyes(PassState& s);
    void CaptureLeftEye(PassState& s);
    void CaptureRightEye(PassState& s);
    static void ClearCandidates(CandidateList& left, CandidateList& right);

    // Eye analysis (eye_analysis.cpp).
    int32_t LocateEye(const uint8_t* frame, EyeRect* rect, uint8_t* work);
    int32_t DetectIris(uint8_t* image, char* text, uint8_t* irisOut, IrisDetection* detection, IrisCircle* circle,
                       const EyeRect* roi);
    void ParseLeftImage(PassState& s, CandidateList& list, const EyeRect& rect);
    void ParseRightImage(PassState& s, CandidateList& list, const EyeRect& rect);

    // Prompts and device events (prompts.cpp, graph_events.cpp).
    void PromptForDetection(int32_t result);
    void PromptForPosition(int32_t left, int32_t right);
    void PlayPrompt(int32_t id);
    static int32_t GraphEventThreadProc(CDeviceK7Q* device);

private:
    void BuildCameraSettings();
    int32_t OpenCameras();
    int32_t OpenLeftCamera();
    int32_t OpenRightCamera();
    int32_t OpenEyeCamera(std::unique_ptr<IEyeCamera>& camera, const char* name, const char* key,
                          int32_t defaultExposure, IFrameTap* tap);
    int32_t CloseCameras(bool destroy = true);
    void CloseSequence();
    int32_t UndoComAndFail(int32_t status);
    void PrepareTempDir();
    void StartThreads();
    bool EndStragglers(uint32_t timeoutMs);
    void ParseEyeImage(const EyeSlot& eye, PassState& s, CandidateList& list, const EyeRect& rect);
    void AnalyseEye(const EyeSlot& eye, PassState& s, CandidateList& list, const EyeRect& rect);
    void FinishCapture(PassState& s, bool left, bool right);
    void CaptureCycle(PassState& s);
    void Report(int32_t outcome);
    uint32_t Ticks() const;
    void PauseUnlessClosing(uint32_t ms);
    bool GrabInto(std::unique_ptr<IEyeCamera>& camera, uint8_t* frame);
    bool GrabBoth();
    void LossHandling();
    EyeSlot LeftSlot();
    EyeSlot RightSlot();

    DeviceServices m_services;
    platform::Thread m_captureThread;
    platform::ManualResetEvent m_doneEvent{false};
    // Wakes the idle capture thread at once when a capture is armed or the
    // device closes (the idle cycle blocks on it for up to 50 ms).
    platform::ManualResetEvent m_wake{false};
    // Makes arming and the idle cycle's setting of the done event exclusive.
    std::mutex m_armLock;
    NativeWindow m_window = nullptr;
    std::atomic<int32_t> m_initialised{0};
    std::string m_cameraSettings;
    Json::Value m_cameraSettingsJson;
    std::string m_serial = "762019030091";
    int32_t m_modelType = 1;
    int32_t m_lightLevel = 120;
    std::unique_ptr<uint8_t[]> m_leftWork, m_rightWork;
    std::unique_ptr<uint8_t[]> m_leftView, m_rightView;
    std::unique_ptr<uint8_t[]> m_leftFrame, m_rightFrame;
    std::unique_ptr<uint8_t[]> m_leftBitmap, m_rightBitmap;
    std::unique_ptr<IEyeCamera> m_leftCamera, m_rightCamera;
    std::unique_ptr<uint8_t[]> m_irisScratch;
    std::unique_ptr<uint8_t[]> m_filterScratch;
    std::unique_ptr<uint8_t[]> m_leftResult, m_rightResult;
    int32_t m_resultLength = BitmapFileSize;
    int32_t m_leftScore = 0, m_rightScore = 0;
    int32_t m_leftExposure = 230, m_rightExposure = 230;
    int32_t m_leftExposureHold = 0, m_rightExposureHold = 0;
    std::atomic<int32_t> m_eyeType{kEyeBoth};
    std::atomic<ResultRoutine> m_resultCallback{nullptr};
    std::atomic<int32_t> m_captureState{0};
    std::atomic<int32_t> m_voiceEnabled{1};
    std::atomic<int32_t> m_promptCount{0};
    std::string m_tempDir;
    platform::Thread m_eventThread;
    // Set by each thread as its last step: a thread let go by DevClose is
    // still waited for before the buffers go or new threads start.
    platform::ManualResetEvent m_captureEnded{true};
    // The event thread may still sit in the warning box after the object is
    // gone: it owns a share of its end signal.
    std::shared_ptr<platform::ManualResetEvent> m_eventEnded;
    uint32_t m_eventGeneration = 0;  // EventWatchGeneration of this object's event thread
    bool EventWatchCurrent() const { return EventWatchRun == 1 && EventWatchGeneration == m_eventGeneration; }
    IrisEntries m_iris;
    bool m_comInitialised = false;
    // The capture thread's records (its stack in spirit; kept with the
    // object so that a let-go thread never outlives them).
    std::unique_ptr<PassState> m_pass;
};
