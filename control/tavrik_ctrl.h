// CTavrikCtrl: the control object a host embeds. It parses the host's JSON
// parameters, checks its state, forwards the work to the single device object
// and turns the device's results into OnCapture events on its window thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "control/com/ole_control.h"
#include "control/record/control_state.h"
#include "device/device_contract.h"

// Carries a capture result from the capture thread to the control's window
// (wParam = the event status, lParam = 0); the text is in ResultText.
constexpr UINT WM_CAPTURE_RESULT = WM_USER + 1000;

// Control statuses of the dispatch methods.
enum ControlStatus : int32_t {
    kCtrlOk = 0,
    kCtrlBadJson = -101,
    kCtrlCloseFailed = -104,
    kCtrlCaptureRunning = -105,
    kCtrlNotOpenClose = -106,
    kCtrlNotOpen = -107,
    kCtrlNoCapture = -108,
    kCtrlAlreadyOpen = -109,
    kCtrlBadBrightness = -110,
    kCtrlInternalFault = -999,  // an exception inside the control, caught at the dispatch boundary
};
// IrisInit on a control while another control holds the device: as the
// device object answers a second opening.
constexpr int32_t kCtrlDeviceHeld = kDeviceOpenFailed;

class CTavrikCtrl : public com::COleControl, public IResultTarget {
public:
    CTavrikCtrl();

    // The dispatch methods.
    void AboutBox();
    int32_t IrisInit(const std::string& strInParam);
    int32_t IrisClose();
    int32_t StartCapture(const std::string& eyeType);
    int32_t StopCapture();
    int32_t ReSet();
    std::string GetDeivceSn();
    int32_t StartCaptureStepTwo(const std::string& eyeType);
    int32_t StartCaptureForce(const std::string& eyeType);
    int32_t ExtraceImage(const std::string& sFilePath);

    // True while a control holds the device object open: its worker threads
    // then run code of this module.
    static bool DeviceOpen() { return Holder.load() != nullptr; }

    // IResultTarget
    std::string OrganisationCode() const override;
    NativeWindow ResultWindow() const override;

protected:
    ~CTavrikCtrl() override;
    HRESULT InvokeMethod(DISPID dispid, DISPPARAMS* params, VARIANT* result, UINT* argError) override;
    void OnDraw(HDC dc, const RECT& bounds) override;
    void OnFinalRelease() override;
    bool PageAllowed(const std::string& url) override;

private:
    struct StartKind {
        const char* function;
        int32_t mode;
        int32_t force;
    };
    HRESULT DispatchMethod(DISPID dispid, DISPPARAMS* params, VARIANT* result, UINT* argError);
    int32_t Start(const StartKind& kind, const std::string& eyeType);
    void OnCaptureResult(int32_t status);
    static LRESULT CALLBACK ResultWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateResultWindow();
    void DestroyResultWindow();

    // Closes the device this control opened (IrisClose's steps after the log).
    int32_t CloseDevice();
    // Another control holds the device: this one may not drive it.
    bool DeviceHeldByAnother() const;

    // The control whose IrisInit opened the device, until it closes it or is
    // released: only it drives the device and receives its results.
    static std::atomic<CTavrikCtrl*> Holder;

    HBITMAP m_standby = nullptr;   // bitmap 201 as a DIB section
    HWND m_resultWindow = nullptr;  // message-only: receives WM_CAPTURE_RESULT for the control's life
    std::string m_logOption = "0";
    int32_t m_eyeType = kEyeBoth;
    std::string m_brightness = "240";
    int32_t m_opened = 0;
    std::string m_hostDirectory;
    DeviceInfo m_deviceInfo = {};
};

// Creates a control (the control class factory's creation function).
HRESULT CreateTavrikCtrl(REFIID iid, void** object);
