// CDeviceK7Q: construction, opening and closing, the cameras and the device
// information. The capture workflow is in capture_thread.cpp, the eye
// analysis in eye_analysis.cpp, prompts and device events in prompts.cpp and
// graph_events.cpp.
#include "device/device_k7q.h"

#include <cstdio>
#include <cstring>

#include "device/com_apartment.h"
#include "hid/hid_operate.h"
#include "log/log_writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"

std::atomic<int32_t> CaptureThreadExit{0};
std::atomic<int32_t> EventWatchRun{0};
std::atomic<uint32_t> EventWatchGeneration{0};
std::atomic<int32_t> DeviceLost{0};
std::atomic<int32_t> LeftHighCount{0}, LeftLowCount{0}, RightHighCount{0}, RightLowCount{0};
std::mutex ModuleLock;

namespace {

constexpr uint8_t kCommandArmed = 51;
constexpr uint8_t kCommandLightOff = 61;
constexpr uint8_t kCommandClosed = 52;
constexpr uint8_t kParamLight = 81;
constexpr uint8_t kParamWhite = 82;
constexpr uint8_t kWhiteLevel = 240;
constexpr uint32_t kCaptureThreadWaitMs = 5000;
constexpr uint32_t kEventThreadWaitMs = 3000;
// How long DevInit gives a capture thread let go by an earlier close.
constexpr uint32_t kStragglerWaitMs = 1000;

// Copies text into a zero-padded field, always leaving its terminator.
void CopyField(char* field, size_t size, const std::string& text) {
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
}

std::unique_ptr<uint8_t[]> Buffer(size_t bytes) { return std::unique_ptr<uint8_t[]>(new uint8_t[bytes]); }

}  // namespace

CDeviceK7Q::CDeviceK7Q(DeviceServices services)
    : m_services(std::move(services)),
      m_leftWork(Buffer(kWorkBytes)),
      m_rightWork(Buffer(kWorkBytes)),
      m_leftView(Buffer(kViewBytes)),
      m_rightView(Buffer(kViewBytes)),
      m_leftFrame(Buffer(kFrameBytes)),
      m_rightFrame(Buffer(kFrameBytes)),
      m_leftBitmap(Buffer(BitmapFileSize)),
      m_rightBitmap(Buffer(BitmapFileSize)),
      m_irisScratch(Buffer(kIrisOutBytes)),
      m_filterScratch(Buffer(kWorkBytes)),
      m_leftResult(Buffer(BitmapFileSize)),
      m_rightResult(Buffer(BitmapFileSize)),
      m_eventEnded(std::make_shared<platform::ManualResetEvent>(true)),
      m_pass(new PassState()) {
    BuildCameraSettings();
}

CDeviceK7Q::~CDeviceK7Q() {
    DevClose();
    // Threads let go by DevClose still use the buffers: they end now that
    // CaptureThreadExit is set and EventWatchRun cleared.
    m_captureEnded.Wait(platform::kWaitForever);
    m_eventEnded->Wait(kEventThreadWaitMs);
    m_leftCamera.reset();
    m_rightCamera.reset();
    if (m_services.locator) m_services.locator->Release();
    if (m_services.prompts) m_services.prompts->StopAll();
}

void CDeviceK7Q::BuildCameraSettings() {
    static const char* const kEmptyKeys[] = {
        "camera_brightness", "camera_contrast", "camera_hue", "camera_saturation", "camera_sharpness",
        "camera_gamma", "camera_gain", "camera_exposure_auto", "camera_exposure_manual_val"};
    m_cameraSettingsJson = Json::Value(Json::objectValue);
    m_cameraSettingsJson["camera_format"] = "yuv_0130";
    m_cameraSettingsJson["camera_id"] = "vmK7Q";
    for (const char* key : kEmptyKeys) m_cameraSettingsJson[key] = "";
    m_cameraSettingsJson["camera_backlight"] = "170";
    Json::FastWriter writer;
    m_cameraSettings = writer.write(m_cameraSettingsJson);
    if (!m_cameraSettings.empty() && m_cameraSettings.back() == '\n') m_cameraSettings.pop_back();
    m_leftExposure = m_rightExposure = 230;
}

bool CDeviceK7Q::HasStragglers() { return !m_captureEnded.IsSet() || !m_eventEnded->IsSet(); }

// Only the capture thread shares the buffers and cameras; an event thread
// still showing its warning touches neither.
bool CDeviceK7Q::EndStragglers(uint32_t timeoutMs) {
    return m_captureEnded.Wait(timeoutMs);
}

int32_t CDeviceK7Q::DevInit(NativeWindow window) {
    if (m_initialised) return kDeviceOpenFailed;
    m_window = window;
    CHidOperate::begin_session();
    CHidOperate::get_device_sn(m_serial, m_modelType, m_leftExposure, m_rightExposure);
    WriteLog(&LogWriter(), 1, "DeviceK7Q", "CDeviceK7Q::DevInit", 247, "SN:%s,%d,%d,%d,%d,%d", m_serial.c_str(),
             m_modelType, LeftDefaultExposure.load(), RightDefaultExposure.load(), m_leftExposure,
             m_rightExposure);
    m_lightLevel = m_modelType == 3 ? 50 : 120;
    m_comInitialised = device_com::InitialiseForThread();
    // A lost device is closed first (DevClose without its COM step: this
    // call has just initialised COM for the cameras it opens next).
    if (DeviceLost) CloseSequence();
    // A thread let go by an earlier close must be gone before new ones share
    // the buffers with it.
    if (!EndStragglers(kStragglerWaitMs)) {
        WriteLog(&LogWriter(), 1, "DeviceK7Q", "CDeviceK7Q::DevInit", __LINE__, "previous threads still running");
        return UndoComAndFail(kDeviceOpenFailed);
    }
    if (OpenCameras() != kCameraOk) return UndoComAndFail(kDeviceOpenFailed);
    if (m_services.irisModule) m_iris = m_services.irisModule();
    if (m_services.locator) m_services.locator->Init(960, 720);
    if (!m_iris.f1 || m_iris.f1("", 0, 0) != 1) return UndoComAndFail(kDeviceModuleRefused);
    if (m_iris.f0) {
        char version[20] = {};
        m_iris.f0(version, sizeof version);
        version[sizeof version - 1] = 0;
        DebugTrace("version:%s\n", version);
    }
    if (m_iris.f3) {
        m_iris.f3(0, 2, 50, 50, 60, 60, 50);
        m_iris.f3(1, 2, 60, 65, 70, 60, 50);
    }
    m_initialised = 1;
    PrepareTempDir();
    StartThreads();
    return kDeviceOk;
}

int32_t CDeviceK7Q::UndoComAndFail(int32_t status) {
    CHidOperate::end_session();
    if (m_comInitialised) device_com::UninitialiseForThread();
    m_comInitialised = false;
    return status;
}

void CDeviceK7Q::PrepareTempDir() {
    std::string host = platform::HostDirectory();
    if (!host.empty() && host.back() == platform::PathSeparator()) host.pop_back();
    m_tempDir = host + platform::PathSeparator() + "TEMP";
    if (m_tempDir.size() > 1023) m_tempDir.resize(1023);
    if (!platform::PathExists(m_tempDir)) platform::MakeDirectory(m_tempDir);
}

void CDeviceK7Q::StartThreads() {
    CaptureArmed = 0;
    m_doneEvent.Set();  // nothing is armed: as the first idle cycle will say
    CaptureThreadExit = 0;
    m_captureEnded.Reset();
    if (!m_captureThread.Start([this] {
            CaptureThreadProc(this);
            m_captureEnded.Set();
        }))
        m_captureEnded.Set();
    m_eventGeneration = ++EventWatchGeneration;
    EventWatchRun = 1;
    m_eventEnded = std::make_shared<platform::ManualResetEvent>(false);
    std::shared_ptr<platform::ManualResetEvent> ended = m_eventEnded;
    if (!m_eventThread.Start([this, ended] {
            GraphEventThreadProc(this);
            ended->Set();
        }))
        ended->Set();
}

int32_t CDeviceK7Q::OpenCameras() {
    CHidOperate::send_param(static_cast<uint8_t>(m_lightLevel), kParamLight);
    CHidOperate::send_param(kWhiteLevel, kParamWhite);
    int32_t rc = OpenLeftCamera();
    if (rc == kCameraOk) rc = OpenRightCamera();
    if (rc != kCameraOk) {
        CloseSequence();
        platform::SleepMs(100);
        CHidOperate::send_param(static_cast<uint8_t>(m_lightLevel), kParamLight);
        CHidOperate::send_param(kWhiteLevel, kParamWhite);
        rc = OpenLeftCamera();
        if (rc == kCameraOk) rc = OpenRightCamera();
    }
    CHidOperate::send_command(kCommandArmed);
    DeviceLost = 0;
    return rc;
}

int32_t CDeviceK7Q::OpenLeftCamera() {
    return OpenEyeCamera(m_leftCamera, kLeftCameraName, kLeftCameraKey, LeftDefaultExposure, m_services.leftFrames);
}

int32_t CDeviceK7Q::OpenRightCamera() {
    return OpenEyeCamera(m_rightCamera, kRightCameraName, kRightCameraKey, RightDefaultExposure,
                         m_services.rightFrames);
}

int32_t CDeviceK7Q::OpenEyeCamera(std::unique_ptr<IEyeCamera>& camera, const char* name, const char* key,
                                  int32_t defaultExposure, IFrameTap* tap) {
    camera.reset();
    if (!m_services.createCamera) return kDeviceOpenFailed;
    camera = m_services.createCamera();
    if (!camera) return kDeviceOpenFailed;
    camera->SetCameraName(name);
    camera->SetFrameTap(tap);
    const int32_t rc = camera->OpenCamera(key, m_cameraSettings.c_str(), m_window);
    if (rc == kCameraOk)
        camera->SetBacklight(defaultExposure);
    else
        camera->CloseCamera();
    return rc;
}

int32_t CDeviceK7Q::CloseCameras(bool destroy) {
    for (std::unique_ptr<IEyeCamera>* camera : {&m_leftCamera, &m_rightCamera}) {
        if (*camera) (*camera)->CloseCamera();
        if (destroy) camera->reset();
    }
    CHidOperate::send_command(kCommandLightOff);
    return CHidOperate::send_command(kCommandClosed);
}

// Steps 1-6 of DevClose: the threads, the cameras, the module.
void CDeviceK7Q::CloseSequence() {
    // A capture thread that has ended before it was asked to was cut short by
    // the process's end, perhaps inside the cameras or the module: their
    // locks may be held for good, so only the microcontroller is told.
    const bool processEnding = m_captureThread.Holds() && m_captureThread.Ended();
    m_resultCallback = nullptr;
    EventWatchRun = 0;
    if (m_captureThread.Holds()) {
        CaptureThreadExit = 1;
        CaptureArmed = 0;
        m_wake.Set();
        // At the process's end the thread is already gone, cut short before
        // its last step: nothing to wait for.
        if (m_captureThread.Ended()) m_captureEnded.Set();
        if (ResultBeingHandled) {
            // Closed from the result handler: the capture thread is inside its
            // send to us and ends once the handler returns.
            m_captureThread.Release();
        } else {
            // A capture thread inside its synchronous result send to this very
            // thread's window gets through while we wait.
            if (m_services.waitOnControlThread) m_services.waitOnControlThread(m_captureEnded, kCaptureThreadWaitMs);
            if (m_captureThread.Join(kCaptureThreadWaitMs)) m_captureEnded.Set();
        }
        if (!m_captureEnded.IsSet())
            WriteLog(&LogWriter(), 1, "DeviceK7Q", "CDeviceK7Q::DevClose", __LINE__, "capture thread let go");
    }
    // A let-go capture thread may still use its camera objects: they are
    // closed now and destroyed once it has ended (next DevInit, destruction).
    if (processEnding) {
        CHidOperate::send_command(kCommandLightOff);
        CHidOperate::send_command(kCommandClosed);
    } else {
        CloseCameras(/*destroy=*/m_captureEnded.IsSet());
        if (m_iris.f2) m_iris.f2();
    }
    m_initialised = 0;
    DeviceLost = 0;
    if (m_eventThread.Holds()) {
        if (m_eventThread.Ended()) m_eventEnded->Set();
        if (m_services.waitOnControlThread) m_services.waitOnControlThread(*m_eventEnded, kEventThreadWaitMs);
        if (m_eventThread.Join(kEventThreadWaitMs)) m_eventEnded->Set();
    }
}

int32_t CDeviceK7Q::DevClose() {
    CloseSequence();
    CHidOperate::end_session();
    if (m_comInitialised) device_com::UninitialiseForThread();
    m_comInitialised = false;
    return kDeviceOk;
}

int32_t CDeviceK7Q::DevGetInfo(DeviceInfo* info) {
    if (!info) return kDeviceOpenFailed;
    std::memset(info, 0, sizeof *info);
    int32_t modelType = 0, leftCurrent = 0, rightCurrent = 0;
    if (CHidOperate::get_device_sn(m_serial, modelType, leftCurrent, rightCurrent) != 1) m_serial = "unkown serial";
    CopyField(info->serial, sizeof info->serial, m_serial);
    CopyField(info->name, sizeof info->name, "望远镜虹膜注册设备");
    CopyField(info->modelCode, sizeof info->modelCode, "05");
    CopyField(info->organisationCode, sizeof info->organisationCode, "120000000000000034");
    return kDeviceOk;
}
