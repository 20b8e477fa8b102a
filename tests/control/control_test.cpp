// The control in a real OLE container under Wine, driven through IDispatch,
// with a scripted device reporting from its own capture thread.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <objsafe.h>
#include <olectl.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "device/record/capture_record.h"
#include "control/record/control_state.h"
#include "control/tavrik_ctrl.h"
#include "control/tavrik_ids.h"
#include "control/tavrik_module.h"
#include "host/container/control_host.h"
#include "tests/control/control_fixture.h"
#include "tests/control/scripted_device.h"

namespace {

TEST_F(ControlTest, StatusCodesFollowTheCheckOrder) {
    EXPECT_EQ(host_.Long(L"IrisInit", L""), -101);
    EXPECT_EQ(host_.Long(L"IrisInit", L"[\"log\"]"), -101);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"log\":[1]}"), -101);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"255\"}"), -110);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"-1\"}"), -110);
    EXPECT_EQ(host_.Long(L"StartCapture", L"{\"eyeType\":\"3\"}"), -107);
    EXPECT_EQ(host_.Long(L"StartCaptureStepTwo", L"{}"), -107);
    EXPECT_EQ(host_.Long(L"StartCaptureForce", L"{}"), -107);
    EXPECT_EQ(host_.Long(L"StopCapture"), -107);
    EXPECT_EQ(host_.Long(L"IrisClose"), -106);
    EXPECT_EQ(host_.Long(L"ExtraceImage", L"C:\\eye.bmp"), -6);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"abc\"}"), -110);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"0\"}"), 0);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{}"), -109);
    EXPECT_EQ(host_.Long(L"ReSet"), -109);
    EXPECT_EQ(host_.Long(L"StopCapture"), -108);
    EXPECT_EQ(host_.Long(L"StartCapture", L"{\"eyeType\":"), -101);
    // Only the three eye types arm a capture; anything else could only time out.
    for (const wchar_t* bad : {L"\"\"", L"true", L"null", L"\"-0\"", L"\"0x10\"", L"\"4\"", L"\"2x\""})
        EXPECT_EQ(host_.Long(L"StartCapture", (std::wstring(L"{\"eyeType\":") + bad + L"}").c_str()), -101)
            << Narrow(bad);
    EXPECT_EQ(host_.Long(L"StartCaptureForce", L"{} xyz"), -101);
    EXPECT_EQ(ScriptedDevice().startCalls, 0);
    EXPECT_EQ(host_.Long(L"StartCapture", L"{\"eyeType\":\"2\"}"), 0);
    EXPECT_EQ(ScriptedDevice().startedEyeType, 2);
    EXPECT_EQ(host_.Long(L"StartCapture", L"{}"), -105);
    EXPECT_EQ(host_.Long(L"ReSet"), -109);  // the open device is checked first
    ScriptedDevice().reportStop = false;
    EXPECT_EQ(host_.Long(L"StopCapture"), 0);
    EXPECT_EQ(host_.Long(L"StartCaptureForce", L"{}"), 0);
    EXPECT_EQ(ScriptedDevice().startedEyeType, 3);
    EXPECT_EQ(ForceAccept.load(), 1);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
    EXPECT_EQ(host_.Long(L"IrisClose"), -106);
    EXPECT_EQ(host_.Long(L"ReSet"), 0);
}

TEST_F(ControlTest, HostileParametersAnswerAStatus) {
    const std::wstring brackets(1100, L'[');
    EXPECT_EQ(host_.Long(L"IrisInit", brackets.c_str()), -101);
    EXPECT_EQ(host_.Long(L"IrisInit", (L"{\"log\":" + brackets).c_str()), -101);
    ASSERT_EQ(Init(), 0);
    EXPECT_EQ(host_.Long(L"StartCapture", (L"{\"eyeType\":" + brackets).c_str()), -101);
    EXPECT_EQ(ScriptedDevice().startCalls, 0);
    // An exception from deep inside a method ends at the dispatch boundary as a status.
    ScriptedDevice().templateThrows = true;
    EXPECT_EQ(host_.Long(L"ExtraceImage", L"C:\\eye.bmp"), -999);
    ScriptedDevice().templateThrows = false;
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, SerialIsReadAlsoWhenTheResultIsDiscarded) {
    EXPECT_EQ(host_.Call(6, {}, nullptr), S_OK);
    EXPECT_EQ(ScriptedDevice().infoCalls, 1);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(host_.Call(6, {}, &result), S_OK);
    EXPECT_EQ(ScriptedDevice().infoCalls, 2);
    EXPECT_EQ(Narrow(host::VariantText(result)), "unkown serial");
    VariantClear(&result);
}

TEST_F(ControlTest, DeviceStatusesPassThroughUnchanged) {
    ScriptedDevice().initResult = -2;
    EXPECT_EQ(Init(), -2);
    EXPECT_EQ(host_.Long(L"IrisClose"), -106);  // still closed
    ScriptedDevice().initResult = 0;
    EXPECT_EQ(Init(), 0);
    EXPECT_EQ(ScriptedDevice().initWindow, host_.ControlWindow());  // previews go to the control's window
    ScriptedDevice().templateResult = -19;
    EXPECT_EQ(host_.Long(L"ExtraceImage", L"C:\\eye.bmp"), -19);
    ScriptedDevice().closeResult = -3;
    EXPECT_EQ(host_.Long(L"IrisClose"), -104);
    ScriptedDevice().closeResult = 0;
    EXPECT_EQ(host_.Long(L"IrisInit", L"{}"), -109);  // a failed close leaves it open
}

TEST_F(ControlTest, MethodsResolveByNameAndByDispid) {
    const std::pair<const wchar_t*, DISPID> names[] = {
        {L"AboutBox", -552}, {L"IrisInit", 1}, {L"IrisClose", 2}, {L"StartCapture", 3},
        {L"StopCapture", 4}, {L"ReSet", 5}, {L"GetDeivceSn", 6}, {L"StartCaptureStepTwo", 7},
        {L"StartCaptureForce", 8}, {L"ExtraceImage", 9}, {L"irisinit", 1}};
    for (const auto& n : names) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(n.first);
        EXPECT_EQ(host_.Dispatch()->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, n.second);
    }
    DISPID id = 0;
    LPOLESTR wrong = const_cast<LPOLESTR>(L"GetDeviceSn");
    EXPECT_EQ(host_.Dispatch()->GetIDsOfNames(IID_NULL, &wrong, 1, 0, &id), DISP_E_UNKNOWNNAME);

    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(host_.Call(1, {host::TextArg(L"")}, &result), S_OK);
    EXPECT_EQ(V_I4(&result), -101);
    EXPECT_EQ(host_.Call(1, {host::LongArg(7)}, &result), S_OK);  // "7" is JSON, but not an object
    EXPECT_EQ(V_I4(&result), -101);
    EXPECT_EQ(host_.Call(1, {}, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(host_.Call(42, {}, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(host_.Call(6, {}, &result), S_OK);
    EXPECT_EQ(Narrow(host::VariantText(result)), "unkown serial");
    VariantClear(&result);
}

TEST_F(ControlTest, SuccessArrivesOnTheWindowThreadWithTheRecord) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCapture", L"{\"eyeType\":3}"), 0);
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 90});
    ASSERT_TRUE(WaitEvents(1));
    const host::ReceivedEvent& event = host_.Events()[0];
    EXPECT_EQ(event.dispid, 1);
    EXPECT_EQ(event.threadId, GetCurrentThreadId());
    EXPECT_EQ(EventResult(0), 0);
    const Json::Value record = EventJson(0);
    EXPECT_EQ(record["flgResult"].asString(), "0");
    EXPECT_EQ(record["hmzp_zy"].asString(), Base64Encode(ScriptedDevice().left.data(), BitmapFileSize));
    EXPECT_EQ(record["hmzp_yy"].asString().size(), 411040u);
    EXPECT_EQ(record["sbbh"].asString(), "K7Q-TEST-0042");
    EXPECT_EQ(record["sbxh"].asString(), "05");
    EXPECT_EQ(record["sbcsdm"].asString(), "120000000000000034");
    EXPECT_EQ(record["zy_xxzlpf"].asString(), "80");
    EXPECT_EQ(CaptureRunning.load(), 0);
    ASSERT_TRUE(ScriptedDevice().CaptureDoneEvent()->Wait(5000));
    EXPECT_EQ(host_.Long(L"StartCapture", L"{}"), 0);  // the event ended the capture
}

TEST_F(ControlTest, TimeoutAndFailureCarryTheirStatus) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCapture", L"{}"), 0);
    ScriptedDevice().Queue({kOutcomeTimeout, 0, 0});
    ASSERT_TRUE(WaitEvents(1));
    EXPECT_EQ(EventResult(0), -2);
    EXPECT_EQ(EventJson(0)["flgResult"].asString(), "-2");
    ASSERT_TRUE(ScriptedDevice().CaptureDoneEvent()->Wait(5000));
    ASSERT_EQ(host_.Long(L"StartCapture", L"{}"), 0);
    ScriptedDevice().Queue({kOutcomeFailure, 0, 0});
    ASSERT_TRUE(WaitEvents(2));
    EXPECT_EQ(EventResult(1), 4);
    EXPECT_EQ(EventJson(1)["hmzp_zy"].asString(), "");
}

TEST_F(ControlTest, TwoStepPairIsOneEvent) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCaptureStepTwo", L"{}"), 0);
    ScriptedDevice().Queue({kOutcomeSuccess, 70, 70});
    ScriptedDevice().Queue({kOutcomeSuccess, 50, 70});
    ASSERT_TRUE(WaitEvents(1));
    host::CControlHost::PumpUntil([] { return false; }, 100);
    ASSERT_EQ(host_.Events().size(), 1u);
    EXPECT_EQ(EventResult(0), -1);  // the second record's status
    const Json::Value pair = EventJson(0);
    ASSERT_TRUE(pair.isArray());
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[0]["flgResult"].asString(), "0");
    EXPECT_EQ(pair[1]["flgResult"].asString(), "-1");
}

TEST_F(ControlTest, RefusedStartFiresItsRecordInsideTheCall) {
    ASSERT_EQ(Init(), 0);
    CaptureArmed = 1;  // a capture the device still has armed
    EXPECT_EQ(host_.Long(L"StartCapture", L"{}"), -5);
    ASSERT_EQ(host_.Events().size(), 1u);  // no pumping needed
    EXPECT_EQ(EventResult(0), -1);
    EXPECT_EQ(EventJson(0)["flgResult"].asString(), "-1");
    EXPECT_EQ(CaptureRunning.load(), 0);
    CaptureArmed = 0;
}

TEST_F(ControlTest, StopDeliversTheStopRecordWithoutDeadlock) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCapture", L"{}"), 0);
    {
        Watchdog watchdog(20000);
        EXPECT_EQ(host_.Long(L"StopCapture"), 0);
    }
    ASSERT_EQ(host_.Events().size(), 1u);  // delivered while StopCapture waited
    EXPECT_EQ(EventResult(0), 2);
    EXPECT_EQ(host_.Events()[0].threadId, GetCurrentThreadId());
    EXPECT_EQ(host_.Long(L"StopCapture"), -108);
}

TEST_F(ControlTest, StopFromTheEventHandlerReturns) {
    ASSERT_EQ(Init(), 0);
    long stopStatus = 1;
    host_.onEvent = [&](const host::ReceivedEvent&) { stopStatus = host_.Long(L"StopCapture"); };
    ASSERT_EQ(host_.Long(L"StartCapture", L"{}"), 0);
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 80});
    {
        Watchdog watchdog(20000);
        ASSERT_TRUE(WaitEvents(1));
    }
    EXPECT_EQ(stopStatus, 0);
    EXPECT_TRUE(ScriptedDevice().CaptureDoneEvent()->Wait(5000));
}

TEST_F(ControlTest, CaptureStartedInPlaceEndsWithItsEventAfterDeactivation) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCapture", L"{}"), 0);
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(host_.Control()->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    inPlace->Release();
    EXPECT_EQ(host_.ControlWindow(), nullptr);  // the visible window is gone
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 80});
    ASSERT_TRUE(WaitEvents(1));
    host::CControlHost::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(host_.Events().size(), 1u);
    EXPECT_EQ(EventResult(0), 0);
    EXPECT_EQ(host_.Events()[0].threadId, GetCurrentThreadId());
    EXPECT_EQ(CaptureRunning.load(), 0);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, DestroyedControlReceivesNothingAfterwards) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCapture", L"{}"), 0);
    const size_t before = host_.Events().size();
    host_.Release();  // the control goes while its capture runs
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 80});
    EXPECT_TRUE(ScriptedDevice().CaptureDoneEvent()->Wait(5000));
    host::CControlHost::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(host_.Events().size(), before);
    EXPECT_EQ(ScriptedDevice().reports, 1);
    EXPECT_EQ(CaptureRunning.load(), 0);
    EXPECT_EQ(PeekActiveControl(), nullptr);
}

// Pixels of the standby picture as the module holds it.
COLORREF PicturePixel(int x, int y) {
    HBITMAP picture = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_STANDBY), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture);
    const COLORREF pixel = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(picture);
    return pixel;
}

TEST_F(ControlTest, StandbyPictureIsPaintedAndRestoredByReSet) {
    HWND window = host_.ControlWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsChild(host_.Frame(), window));
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(client.right, 370);
    ASSERT_EQ(client.bottom, 120);
    UpdateWindow(window);
    const POINT probes[] = {{5, 5}, {60, 60}, {55, 55}, {150, 40}, {300, 110}};
    HDC dc = GetDC(window);
    for (const POINT& p : probes) EXPECT_EQ(GetPixel(dc, p.x, p.y), PicturePixel(p.x, p.y)) << p.x << "," << p.y;
    RECT all = {0, 0, 370, 120};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));  // a stale preview frame
    EXPECT_EQ(GetPixel(dc, 60, 60), RGB(255, 255, 255));
    EXPECT_EQ(host_.Long(L"ReSet"), 0);
    for (const POINT& p : probes) EXPECT_EQ(GetPixel(dc, p.x, p.y), PicturePixel(p.x, p.y)) << p.x << "," << p.y;
    ReleaseDC(window, dc);
}

// Whether `drawn` is one of the picture's pixels around (x, y): sampling
// may land one pixel either side of the exact scaled position.
bool NearPicturePixel(COLORREF drawn, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (PicturePixel(x + dx, y + dy) == drawn) return true;
    return false;
}

TEST_F(ControlTest, StandbyPictureStretchesToAnyBoundsAndLeavesTheHostModeAlone) {
    IViewObject* view = nullptr;
    ASSERT_EQ(host_.Control()->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
    // Twice as wide and half as high as the picture: another aspect.
    constexpr int kWidth = 740, kHeight = 60;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, kWidth, kHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all = {0, 0, kWidth, kHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetStretchBltMode(dc, HALFTONE);
    const RECTL bounds = {0, 0, kWidth, kHeight};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(GetStretchBltMode(dc), HALFTONE);
    const POINT source[] = {{60, 60}, {45, 60}, {5, 4}, {150, 40}, {300, 110}, {368, 118}};
    for (const POINT& p : source) {
        const COLORREF drawn = GetPixel(dc, p.x * 2, p.y / 2);
        EXPECT_TRUE(NearPicturePixel(drawn, p.x, p.y)) << p.x << "," << p.y << " drew " << std::hex << drawn;
    }
    EXPECT_NE(GetPixel(dc, kWidth - 1, kHeight - 1), RGB(255, 255, 255));  // the whole area is covered
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    view->Release();
}

TEST_F(ControlTest, StandbyPictureFillsAWindowOfAnotherSize) {
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(host_.Control()->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    const RECT position = {0, 0, 185, 150};  // half as wide, higher: another aspect
    EXPECT_EQ(inPlace->SetObjectRects(&position, &position), S_OK);
    inPlace->Release();
    HWND window = host_.ControlWindow();
    ASSERT_NE(window, nullptr);
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(client.right, 185);
    ASSERT_EQ(client.bottom, 150);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    const POINT source[] = {{60, 60}, {150, 40}, {300, 112}, {6, 8}, {368, 118}};
    for (const POINT& p : source) {
        const COLORREF drawn = GetPixel(dc, p.x * 185 / 370, p.y * 150 / 120);
        EXPECT_TRUE(NearPicturePixel(drawn, p.x, p.y)) << p.x << "," << p.y << " drew " << std::hex << drawn;
    }
    ReleaseDC(window, dc);
}

TEST_F(ControlTest, ReSetOnAnOpenControlPaintsNothing) {
    ASSERT_EQ(Init(), 0);
    HWND window = host_.ControlWindow();
    ASSERT_NE(window, nullptr);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    RECT all = {0, 0, 370, 120};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));  // a preview frame
    EXPECT_EQ(host_.Long(L"ReSet"), -109);
    EXPECT_EQ(GetPixel(dc, 60, 60), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 300, 110), RGB(255, 255, 255));
    ReleaseDC(window, dc);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, VerbListNamesThePropertiesVerb) {
    IOleObject* object = nullptr;
    ASSERT_EQ(host_.Control()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
    IEnumOLEVERB* verbs = nullptr;
    ASSERT_EQ(object->EnumVerbs(&verbs), S_OK);
    ASSERT_NE(verbs, nullptr);
    OLEVERB verb[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(verbs->Next(2, verb, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(verb[0].lVerb, OLEIVERB_PROPERTIES);
    EXPECT_EQ(Narrow(verb[0].lpszVerbName), "&Properties...");
    EXPECT_TRUE(verb[0].grfAttribs & OLEVERBATTRIB_ONCONTAINERMENU);
    CoTaskMemFree(verb[0].lpszVerbName);
    EXPECT_EQ(verbs->Reset(), S_OK);
    IEnumOLEVERB* copy = nullptr;
    ASSERT_EQ(verbs->Clone(&copy), S_OK);
    EXPECT_EQ(copy->Next(1, verb, nullptr), S_OK);
    CoTaskMemFree(verb[0].lpszVerbName);
    copy->Release();
    verbs->Release();
    RECT where = {0, 0, 370, 120};
    EXPECT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, host_.Frame(), &where), S_OK);
    object->Release();
}

TEST_F(ControlTest, AboutBoxOpensAndCloses) {
    std::vector<std::wstring> texts;
    EXPECT_TRUE(ShowAndCloseAboutBox(&texts));
}

TEST_F(ControlTest, PersistsOnlyItsVersionAndNamesItsPageAndEvents) {
    IPersistStreamInit* persist = nullptr;
    ASSERT_EQ(host_.Control()->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
    STATSTG stat;
    stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 4u);
    stream->Release();
    persist->Release();

    IProvideClassInfo2* info = nullptr;
    ASSERT_EQ(host_.Control()->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)), S_OK);
    GUID source;
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(source == DIID__DTavrikEvents);
    info->Release();

    ISpecifyPropertyPages* pages = nullptr;
    ASSERT_EQ(host_.Control()->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)), S_OK);
    CAUUID list;
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_TRUE(list.pElems[0] == CLSID_TavrikPropPage);
    CoTaskMemFree(list.pElems);
    pages->Release();

    IPropertyPage* page = nullptr;
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_TavrikPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();
    PROPPAGEINFO pageInfo = {};
    pageInfo.cb = sizeof pageInfo;
    ASSERT_EQ(page->GetPageInfo(&pageInfo), S_OK);
    EXPECT_EQ(Narrow(pageInfo.pszTitle), "General");
    EXPECT_GT(pageInfo.size.cx, 250);
    CoTaskMemFree(pageInfo.pszTitle);
    RECT where = {0, 0, pageInfo.size.cx, pageInfo.size.cy};
    EXPECT_EQ(page->Activate(host_.Frame(), &where, FALSE), S_OK);
    EXPECT_EQ(page->Deactivate(), S_OK);
    page->Release();
}

}  // namespace

namespace {

// Re-embeds a fresh control in the shared frame, the site naming `page`.
IObjectSafety* EmbedOnPage(host::CControlHost& host, const wchar_t* page) {
    host.Release();
    host.PoseAsPage(page);
    IClassFactory* factory = nullptr;
    if (DllGetClassObject(CLSID_Tavrik, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) return nullptr;
    IUnknown* control = nullptr;
    factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control));
    factory->Release();
    if (!control) return nullptr;
    host.Embed(control, DIID__DTavrikEvents, {370, 120}, true);
    IObjectSafety* safety = nullptr;
    control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety));
    control->Release();
    return safety;
}

}  // namespace

// A browser asks before a page may script or initialise the control: only
// pages of the sites an administrator allowed are told yes.
TEST_F(ControlTest, SafeForScriptingOnlyOnPagesOfAllowedSites) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tavrik", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const wchar_t list[] = L"https://enrol.example; http://intranet:8080";
    RegSetValueExW(key, L"AllowedSites", 0, REG_SZ, reinterpret_cast<const BYTE*>(list), sizeof list);
    constexpr DWORD kBoth = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    const struct {
        const wchar_t* page;
        bool safe;
    } pages[] = {{L"https://enrol.example/capture.html", true}, {L"http://intranet:8080/", true},
                 {L"https://evil.example/capture.html", false}, {L"http://enrol.example/", false},
                 {L"https://enrol.example@evil.example/", false}, {L"", false}};
    for (const auto& p : pages) {
        SCOPED_TRACE(Narrow(p.page));
        IObjectSafety* safety = EmbedOnPage(host_, p.page);
        ASSERT_NE(safety, nullptr);
        DWORD supported = 0, enabled = 0;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(supported, kBoth);
        const HRESULT expected = p.safe ? S_OK : E_FAIL;
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                    INTERFACESAFE_FOR_UNTRUSTED_CALLER),
                  expected);
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                                    INTERFACESAFE_FOR_UNTRUSTED_DATA),
                  expected);
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(enabled, p.safe ? INTERFACESAFE_FOR_UNTRUSTED_CALLER : 0u);
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0), S_OK);
        safety->Release();
        // A container that does not ask (a desktop form) drives the control as before.
        EXPECT_EQ(host_.Long(L"IrisClose"), -106);
    }
    RegDeleteValueW(key, L"AllowedSites");
    RegCloseKey(key);
    // With no list, no page is allowed.
    IObjectSafety* safety = EmbedOnPage(host_, L"https://enrol.example/");
    ASSERT_NE(safety, nullptr);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                INTERFACESAFE_FOR_UNTRUSTED_CALLER),
              E_FAIL);
    safety->Release();
    host_.PoseAsPage(L"");
}
