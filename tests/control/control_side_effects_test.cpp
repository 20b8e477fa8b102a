// What the control does beyond its answers: the HID frames the virtual
// microcontroller receives, the log file's bytes (code page 936), the
// options it keeps between calls and the records a host receives in
// two-step mode. This file is compiled with the GBK execution character set,
// so its Chinese literals are the bytes the control writes.
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "log/log_writer.h"
#include "platform/paths.h"
#include "tests/control/control_fixture.h"

namespace {

constexpr uint8_t kWhiteLight = 0x52;

std::vector<vmcu::ReceivedFrame> Frames() { return vmcu::Received(); }

// The white-light parameter frame: code at byte 12, value at byte 62.
void ExpectWhiteLight(const vmcu::ReceivedFrame& frame, uint8_t value, int line) {
    SCOPED_TRACE(testing::Message() << "from line " << line);
    EXPECT_EQ(frame.kind, vmcu::FrameKind::Parameter);
    ASSERT_EQ(frame.bytes.size(), 65u);
    EXPECT_EQ(frame.bytes[12], kWhiteLight);
    EXPECT_EQ(frame.bytes[13], 0x00);
    EXPECT_EQ(frame.bytes[14], 0x01);
    EXPECT_EQ(frame.bytes[62], value);
}

// One log line without its time stamp and line number: "LEVEL|message|source|function".
std::string Normalised(const std::string& line) {
    // "[YYYY-MM-DD HH:MM:SS] [LEVEL] message [Source(123):Function]"
    if (line.size() < 24 || line[0] != '[' || line.compare(20, 3, "] [") != 0) return "malformed: " + line;
    const size_t levelEnd = line.find("] ", 23);
    const size_t sourceStart = line.rfind(" [");
    const size_t open = line.rfind('(');
    const size_t close = line.rfind("):");
    if (levelEnd == std::string::npos || sourceStart == std::string::npos || open == std::string::npos ||
        close == std::string::npos || line.back() != ']' || open < sourceStart || close < open)
        return "malformed: " + line;
    for (size_t i = open + 1; i < close; ++i)
        if (line[i] < '0' || line[i] > '9') return "malformed: " + line;
    return line.substr(23, levelEnd - 23) + "|" + line.substr(levelEnd + 2, sourceStart - levelEnd - 2) + "|" +
           line.substr(sourceStart + 2, open - sourceStart - 2) + "|" + line.substr(close + 2, line.size() - close - 3);
}

std::vector<std::string> LogLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(Normalised(text.substr(start, end - start)));
    if (start != text.size()) lines.push_back("unterminated: " + text.substr(start));
    return lines;
}

}  // namespace

TEST_F(ControlTest, IrisInitSendsTheBrightnessAsOneParameterFrame) {
    ASSERT_EQ(host_.Long(L"IrisInit", L"{}"), 0);
    auto frames = Frames();
    ASSERT_EQ(frames.size(), 1u);
    ExpectWhiteLight(frames[0], 240, __LINE__);
    ASSERT_EQ(host_.Long(L"IrisClose"), 0);
    vmcu::Reset();
    ASSERT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"200\"}"), 0);
    frames = Frames();
    ASSERT_EQ(frames.size(), 1u);
    ExpectWhiteLight(frames[0], 200, __LINE__);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, RefusedParametersSendNothingAndOptionsAreKept) {
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":"), -101);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"255\"}"), -110);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{}"), -110);  // the 255 of the last call still holds
    // Values that are no decimal level would have turned the light off.
    for (const wchar_t* bad : {L"true", L"null", L"\"0x10\"", L"\"abc\"", L"\"\"", L"1.5"})
        EXPECT_EQ(host_.Long(L"IrisInit", (std::wstring(L"{\"white_brightness\":") + bad + L"}").c_str()), -110)
            << Narrow(bad);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"200\"} xyz"), -101);
    EXPECT_TRUE(Frames().empty());
    EXPECT_FALSE(ScriptedDevice().initialised);
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"white_brightness\":\"254\"}"), 0);
    const auto frames = Frames();
    ASSERT_EQ(frames.size(), 1u);
    ExpectWhiteLight(frames[0], 254, __LINE__);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, ReSetOnAClosedControlWaitsForAnotherControlsCapture) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCapture", L"{}"), 0);
    // A second control, never opened, on the same page.
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_Tavrik, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IDispatch* other = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&other)), S_OK);
    factory->Release();
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(other->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);  // ReSet
    EXPECT_EQ(V_I4(&result), -105);
    other->Release();
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 80});
    ASSERT_TRUE(WaitEvents(1));
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, TwoStepSuccessThenTimeoutIsOnePairWithTheTimeoutStatus) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCaptureStepTwo", L"{}"), 0);
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 80});
    ScriptedDevice().Queue({kOutcomeTimeout, 0, 0});
    ASSERT_TRUE(WaitEvents(1));
    host::CControlHost::PumpUntil([] { return false; }, 100);
    ASSERT_EQ(host_.Events().size(), 1u);
    EXPECT_EQ(EventResult(0), -2);
    const Json::Value pair = EventJson(0);
    ASSERT_TRUE(pair.isArray());
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[0]["flgResult"].asString(), "0");
    EXPECT_EQ(pair[1]["flgResult"].asString(), "-2");
    EXPECT_EQ(CaptureRunning.load(), 0);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, TwoStepStopEndsWithTheStopStatusAndLeavesNothingForTheNextPair) {
    ASSERT_EQ(Init(), 0);
    ASSERT_EQ(host_.Long(L"StartCaptureStepTwo", L"{}"), 0);
    EXPECT_EQ(host_.Long(L"StopCapture"), 0);  // the stop record waits for a partner: the host saw 0
    host::CControlHost::PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(host_.Events().empty());
    EXPECT_EQ(CaptureRunning.load(), 0);
    // A new two-step capture starts from an empty pair.
    ASSERT_EQ(host_.Long(L"StartCaptureStepTwo", L"{}"), 0);
    ScriptedDevice().Queue({kOutcomeSuccess, 70, 70});
    ScriptedDevice().Queue({kOutcomeSuccess, 90, 90});
    ASSERT_TRUE(WaitEvents(1));
    host::CControlHost::PumpUntil([] { return false; }, 100);
    ASSERT_EQ(host_.Events().size(), 1u);
    const Json::Value pair = EventJson(0);
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[0]["zy_xxzlpf"].asString(), "70");  // the new first record, not the stop
    EXPECT_EQ(pair[1]["zy_xxzlpf"].asString(), "90");
    EXPECT_EQ(EventResult(0), 0);
    EXPECT_EQ(host_.Long(L"IrisClose"), 0);
}

TEST_F(ControlTest, LogWiringWritesTheControlsLinesInCodePage936) {
    const std::string directory = platform::HostDirectory();
    const std::string path = directory + "/log.txt";
    std::remove(path.c_str());
    ScriptedDevice().initResult = -1;
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"log\":\"1\"}"), -1);
    CLogWriter& writer = LogWriter();
    ASSERT_TRUE(writer.Running());
    EXPECT_EQ(writer.Directory(), directory);
    EXPECT_EQ(writer.KeepCount(), 20u);
    EXPECT_EQ(writer.MaximumSizeMiB(), 10u);
    EXPECT_EQ(writer.MinimumLevel(), 1u);

    ScriptedDevice().initResult = 0;
    ASSERT_EQ(host_.Long(L"IrisInit", L"{\"log\":\"0\"}"), 0);  // the log started earlier keeps running
    ASSERT_EQ(host_.Long(L"StartCapture", L"{\"eyeType\":\"3\"}"), 0);
    ScriptedDevice().Queue({kOutcomeSuccess, 80, 50});
    ASSERT_TRUE(WaitEvents(1));
    ASSERT_TRUE(ScriptedDevice().CaptureDoneEvent()->Wait(5000));
    ASSERT_EQ(host_.Long(L"StartCaptureForce", L"{\"eyeType\":\"2\"}"), 0);
    ASSERT_EQ(host_.Long(L"StopCapture"), 0);
    ASSERT_TRUE(WaitEvents(2));
    ASSERT_EQ(host_.Long(L"StartCaptureStepTwo", L"{\"eyeType\":\"1\"}"), 0);
    ScriptedDevice().Queue({kOutcomeTimeout, 0, 0});
    ASSERT_TRUE(WaitEvents(3));
    ASSERT_EQ(host_.Long(L"IrisClose"), 0);  // its log option is "0": the log goes on
    EXPECT_TRUE(writer.Running());
    EXPECT_EQ(host_.Long(L"IrisInit", L"{\"log\":\"1\",\"white_brightness\":\"255\"}"), -110);
    EXPECT_EQ(host_.Long(L"IrisClose"), -106);  // stops the log before it finds the control closed
    EXPECT_FALSE(writer.Running());

    const std::vector<std::string> expected = {
        "INFO|初始化失败:-1|TavrikCtrl|CTavrikCtrl::IrisInit",
        "INFO|开始采集,眼类型:3|TavrikCtrl|CTavrikCtrl::StartCapture",
        "INFO|采集成功|TavrikCtrl|CallBackEnroll",
        "INFO|左眼图像质量(80),右眼图像质量(50)|TavrikCtrl|CallBackEnroll",
        "INFO|图像质量不合格,阈值(60)|TavrikCtrl|CallBackEnroll",
        "INFO|开始采集,眼类型:2|TavrikCtrl|CTavrikCtrl::StartCaptureForce",
        "INFO|停止采集|TavrikCtrl|CTavrikCtrl::StopCapture",
        "INFO|采集失败|TavrikCtrl|CallBackEnroll",
        "INFO|开始采集,眼类型:1|TavrikCtrl|CTavrikCtrl::StartCaptureStepTwo",
        "INFO|采集超时|TavrikCtrl|CallBackEnroll",
        "INFO|关闭设备(0)|TavrikCtrl|CTavrikCtrl::IrisClose",
    };
    EXPECT_EQ(LogLines(path), expected);
    EXPECT_EQ(std::string("初始化失败"), "\xB3\xF5\xCA\xBC\xBB\xAF\xCA\xA7\xB0\xDC");  // GBK, not UTF-8
    std::remove(path.c_str());
}
