// CTavrikCtrl: the dispatch methods and their checks, in the order the
// statuses are decided.
#include "control/tavrik_ctrl.h"

#include <ctime>

#include "com/class_factory.h"
#include "com/module.h"
#include "com/registry.h"
#include "control/record/site_allow_list.h"
#include "device/record/json_params.h"
#include "control/tavrik_ids.h"
#include "hid/hid_operate.h"
#include "log/log_writer.h"
#include "platform/event.h"
#include "platform/paths.h"

namespace {

const wchar_t kAllowedSitesKey[] = L"SOFTWARE\\Tavrik";
const wchar_t kAllowedSitesValue[] = L"AllowedSites";
// How long a start waits for a capture loop that has just reported its result.
constexpr uint32_t kSettleMs = 500;

const com::ControlClassInfo kControlClass = {
    &CLSID_Tavrik, &DIID__DTavrik, &DIID__DTavrikEvents, &CLSID_TavrikPropPage,
    kTavrikMiscStatus, "TavrikCtrlWindow", {370, 120}};

#define CTRL_LOG(function, ...) WriteLog(&LogWriter(), 2, "TavrikCtrl", function, __LINE__, __VA_ARGS__)

// The process's device, which reports to the controls' result routine.
IDevice* Device() { return GetDevice(CallBackEnroll); }

}  // namespace

std::atomic<CTavrikCtrl*> CTavrikCtrl::Holder{nullptr};

CTavrikCtrl::CTavrikCtrl() : COleControl(kControlClass) {
    m_standby = static_cast<HBITMAP>(
        LoadImageA(com::ModuleInstance(), MAKEINTRESOURCEA(IDB_STANDBY), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    m_hostDirectory = platform::HostDirectory();
    CreateResultWindow();
}

CTavrikCtrl::~CTavrikCtrl() {
    DestroyResultWindow();
    if (m_standby) DeleteObject(m_standby);
}

void CTavrikCtrl::OnFinalRelease() {
    // Results from now on are dropped instead of being sent to a dead window.
    WithdrawActiveControl(this);
    DestroyResultWindow();
    // A page that reloads or navigates away releases its control without
    // IrisClose: the device is closed as IrisClose would, so that the next
    // control can open it and the device's threads do not outlive the page.
    if (m_opened) CloseDevice();
    CTavrikCtrl* self = this;
    Holder.compare_exchange_strong(self, nullptr);  // also when the device refused to close
}

// The sites an administrator allows (the installer's ALLOWEDSITES): origins
// separated by ';', for example "https://enrol.example;http://intranet:8080".
bool CTavrikCtrl::PageAllowed(const std::string& url) {
    std::string list;
    for (wchar_t c : com::ReadMachineString(kAllowedSitesKey, kAllowedSitesValue))
        list += c < 0x80 ? static_cast<char>(c) : '?';  // origins are ASCII (IDN hosts in their xn-- form)
    const bool allowed = SiteAllowed(list, url);
    if (!allowed) CTRL_LOG("CTavrikCtrl::PageAllowed", "page not allowed: %s", url.c_str());
    return allowed;
}

bool CTavrikCtrl::DeviceHeldByAnother() const {
    CTavrikCtrl* holder = Holder.load();
    return holder != nullptr && holder != this;
}

std::string CTavrikCtrl::OrganisationCode() const {
    return FieldText(m_deviceInfo.organisationCode);
}

NativeWindow CTavrikCtrl::ResultWindow() const { return m_resultWindow; }

int32_t CTavrikCtrl::IrisInit(const std::string& strInParam) {
    if (m_opened) return kCtrlAlreadyOpen;
    Json::Value document;
    std::string log = m_logOption, brightness = m_brightness;
    if (!ParseParamObject(strInParam, &document) || !ReadTextOption(document, "log", &log) ||
        !ReadTextOption(document, "white_brightness", &brightness))
        return kCtrlBadJson;
    m_logOption = log;
    m_brightness = brightness;
    if (m_logOption == "1") LogWriter().StartLog(m_hostDirectory);
    // Only a decimal level is a level: "true", "" or "0x10" would turn the light off.
    int32_t level = 0;
    if (!DecimalText(m_brightness, &level) || static_cast<uint32_t>(level) > kMaximumWhiteLevel)
        return kCtrlBadBrightness;
    if (DeviceHeldByAnother()) {
        CTRL_LOG("CTavrikCtrl::IrisInit", "初始化失败:%d", kCtrlDeviceHeld);
        return kCtrlDeviceHeld;
    }
    // The session starts here, so that a silent microcontroller costs this
    // call one time-out and not one per exchange.
    CHidOperate::begin_session();
    CHidOperate::send_param(static_cast<uint8_t>(level), kWhiteLightParam);
    SetActiveControl(this);
    const int32_t rc = Device()->DevInit(EnsureWindow());
    if (rc != 0) {
        WithdrawActiveControl(this);
        CHidOperate::end_session();
        CTRL_LOG("CTavrikCtrl::IrisInit", "初始化失败:%d", rc);
        return rc;
    }
    m_opened = 1;
    Holder = this;
    if (Device()->DevGetInfo(&m_deviceInfo) == 0) {
        DeviceSerialText = FieldText(m_deviceInfo.serial);
        DeviceModelText = FieldText(m_deviceInfo.modelCode);
    }
    return kCtrlOk;
}

int32_t CTavrikCtrl::IrisClose() {
    if (m_logOption == "1") LogWriter().StopLog();
    if (!m_opened) return kCtrlNotOpenClose;
    return CloseDevice();
}

int32_t CTavrikCtrl::CloseDevice() {
    const int32_t rc = Device()->DevClose();
    CTRL_LOG("CTavrikCtrl::IrisClose", "关闭设备(%d)", rc);
    if (rc != 0) return kCtrlCloseFailed;
    m_opened = 0;
    Holder = nullptr;
    CaptureRunning = 0;
    return kCtrlOk;
}

int32_t CTavrikCtrl::Start(const StartKind& kind, const std::string& eyeType) {
    if (!m_opened) return kCtrlNotOpen;
    if (CaptureRunning) return kCtrlCaptureRunning;
    // Just after an OnCapture the capture loop is still disarming: a start
    // then waits a moment for it instead of being refused (and of switching
    // the ending capture to this start's mode).
    platform::ManualResetEvent* done = Device()->CaptureDoneEvent();
    if (done && CaptureArmed && !ResultBeingHandled) done->WaitLettingSentMessagesIn(kSettleMs);
    ForceAccept = kind.force;
    m_eyeType = kEyeBoth;
    Json::Value document;
    std::string eyeText;
    if (!ParseParamObject(eyeType, &document) || !ReadTextOption(document, "eyeType", &eyeText)) return kCtrlBadJson;
    // Only the three documented eye types: any other value would arm a
    // capture that analyses nothing and can only time out.
    if (document.isMember("eyeType") && (!DecimalText(eyeText, &m_eyeType) || m_eyeType < kEyeRight ||
                                         m_eyeType > kEyeBoth)) {
        m_eyeType = kEyeBoth;
        return kCtrlBadJson;
    }
    CTRL_LOG(kind.function, "开始采集,眼类型:%d", m_eyeType);
    CaptureMode = kind.mode;
    if (kind.mode == 2) StepTwoResults = Json::Value(Json::arrayValue);
    const int32_t rc = Device()->DevStartCapture(m_eyeType);
    if (rc == 0) {
        CaptureStartTime = RecordNow();
        CaptureRunning = 1;
    }
    return rc;
}

int32_t CTavrikCtrl::StartCapture(const std::string& eyeType) {
    return Start({"CTavrikCtrl::StartCapture", 1, 0}, eyeType);
}

int32_t CTavrikCtrl::StartCaptureStepTwo(const std::string& eyeType) {
    return Start({"CTavrikCtrl::StartCaptureStepTwo", 2, 0}, eyeType);
}

int32_t CTavrikCtrl::StartCaptureForce(const std::string& eyeType) {
    return Start({"CTavrikCtrl::StartCaptureForce", 1, 1}, eyeType);
}

int32_t CTavrikCtrl::StopCapture() {
    if (!m_opened) return kCtrlNotOpen;
    if (!CaptureRunning) return kCtrlNoCapture;
    CTRL_LOG("CTavrikCtrl::StopCapture", "停止采集");
    platform::ManualResetEvent* done = Device()->CaptureDoneEvent();
    if (done && CaptureArmed) {
        CaptureArmed = 0;
        // Called from the OnCapture handler, the capture thread is inside its
        // send and sets the event only after the handler has returned.
        if (!ResultBeingHandled) done->WaitLettingSentMessagesIn(platform::kWaitForever);
    }
    CaptureRunning = 0;
    return kCtrlOk;
}

std::string CTavrikCtrl::GetDeivceSn() {
    Device()->DevGetInfo(&m_deviceInfo);
    return FieldText(m_deviceInfo.serial);
}

int32_t CTavrikCtrl::ExtraceImage(const std::string& sFilePath) {
    if (DeviceHeldByAnother()) return kCtrlNotOpen;
    return Device()->GetTemplate(sFilePath.c_str());
}

HRESULT CreateTavrikCtrl(REFIID iid, void** object) { return com::CreateObject<CTavrikCtrl>(iid, object); }
