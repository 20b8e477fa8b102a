// CTavrikCtrl: the standby picture and the About box.
#include "com/module.h"
#include "control/tavrik_ctrl.h"
#include "control/tavrik_ids.h"

namespace {

constexpr int kStandbyWidth = 370;
constexpr int kStandbyHeight = 120;

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void CTavrikCtrl::OnDraw(HDC dc, const RECT& bounds) {
    if (!m_standby) return;
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ previous = SelectObject(source, m_standby);
    // The DC is the host's: its stretch mode is put back as found.
    const int hostMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, source, 0, 0,
               kStandbyWidth, kStandbyHeight, SRCCOPY);
    if (hostMode) SetStretchBltMode(dc, hostMode);
    SelectObject(source, previous);
    DeleteDC(source);
}

int32_t CTavrikCtrl::ReSet() {
    if (m_opened) return kCtrlAlreadyOpen;
    if (CaptureRunning) return kCtrlCaptureRunning;
    HWND window = Window();
    if (!window) return kCtrlOk;  // nothing on screen to repaint
    HDC dc = GetDC(window);
    if (dc) {
        RECT client;
        GetClientRect(window, &client);
        OnDraw(dc, client);
        ReleaseDC(window, dc);
    }
    return kCtrlOk;
}

void CTavrikCtrl::AboutBox() {
    DialogBoxParamA(com::ModuleInstance(), MAKEINTRESOURCEA(IDD_ABOUTBOX_TAVRIK), Window(), AboutProc, 0);
}
