// CHidOperate's four exchanges against the virtual microcontroller.
#include <string>
#include <vector>

#include "hid/info_block.h"
#include "log/log_writer.h"
#include "platform/clock.h"
#include "tests/hid/hid_channel_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> OnlyFrame() {
    const auto received = vmcu::Received();
    EXPECT_EQ(received.size(), 1u);
    return received.empty() ? std::vector<uint8_t>(65, 0xEE) : received.front().bytes;
}

}  // namespace

TEST_F(HidChannelTest, SendCommandWritesTheCommandFrameAndWaitsASecond) {
    EXPECT_EQ(CHidOperate::send_command(0x33), 1);
    std::vector<uint8_t> expected = {0x00, 0x55, 0xAA, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x33};
    expected.insert(expected.end(), 51, 0x00);
    expected.push_back(0x03);
    EXPECT_EQ(OnlyFrame(), expected);
    EXPECT_EQ(vmcu::Received().front().kind, vmcu::FrameKind::Command);
    ASSERT_EQ(vmcu::Reads().size(), 1u);
    EXPECT_EQ(vmcu::Reads().front().timeoutMs, 1000);
    EXPECT_EQ(vmcu::GetCounters().opens, 1);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, SendParamWritesTheParameterFrameAndWaitsASecond) {
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), 1);
    const std::vector<uint8_t> bytes = OnlyFrame();
    ASSERT_EQ(bytes.size(), 65u);
    EXPECT_EQ(bytes[12], 0x52);
    EXPECT_EQ(bytes[13], 0x00);
    EXPECT_EQ(bytes[14], 0x01);
    EXPECT_EQ(bytes[62], 0xF0);
    EXPECT_EQ(bytes[63], 0xA1);
    EXPECT_EQ(vmcu::Received().front().kind, vmcu::FrameKind::Parameter);
    EXPECT_EQ(vmcu::Received().front().value, 240);
    EXPECT_EQ(vmcu::Reads().front().timeoutMs, 1000);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, GetDeviceSnReadsTheDefaultDevice) {
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), 1);
    const std::vector<uint8_t> bytes = OnlyFrame();
    EXPECT_EQ(bytes[4], 0x01);
    EXPECT_EQ(bytes[12], 0x44);
    EXPECT_EQ(bytes[14], 0x00);
    EXPECT_EQ(bytes[63], 0x45);
    EXPECT_EQ(vmcu::Reads().front().timeoutMs, 1000);
    EXPECT_EQ(out.serial, "880312040517");
    EXPECT_EQ(out.modelType, 1);
    EXPECT_EQ(out.leftCurrent, 175);
    EXPECT_EQ(out.rightCurrent, 185);
    EXPECT_EQ(LeftDefaultExposure.load(), 170);
    EXPECT_EQ(RightDefaultExposure.load(), 180);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, GetDeviceSnEdgeBlockFromTheDevice) {
    vmcu::SetEeprom(TextBlock("A1B2C3" + std::string(34, '*') + "K7QA", {0x46, 0x50, 0x00, 0x3C}));
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), 1);
    EXPECT_EQ(out.serial, "A1B2C3");
    EXPECT_EQ(out.modelType, 1);
    EXPECT_EQ(LeftDefaultExposure.load(), 170);
    EXPECT_EQ(RightDefaultExposure.load(), 180);
    EXPECT_EQ(out.leftCurrent, 170);
    EXPECT_EQ(out.rightCurrent, 170);

    vmcu::SetEeprom(hidproto::Block{});
    EXPECT_EQ(out.Read(), 1);
    EXPECT_EQ(out.serial, "");
    EXPECT_EQ(out.modelType, 1);
    EXPECT_EQ(out.leftCurrent, 170);
    EXPECT_EQ(RightDefaultExposure.load(), 170);
}

TEST_F(HidChannelTest, K7QBOnTheDeviceLeavesDefaultsUntouched) {
    vmcu::SetEeprom(TextBlock("B00000000001" + std::string(28, '*') + "K7QB", {0x46, 0x50, 0x5A, 0x64}));
    LeftDefaultExposure = 205;
    RightDefaultExposure = 215;
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), 1);
    EXPECT_EQ(out.serial, "B00000000001");
    EXPECT_EQ(out.modelType, 2);
    EXPECT_EQ(out.leftCurrent, 111);
    EXPECT_EQ(out.rightCurrent, 122);
    EXPECT_EQ(LeftDefaultExposure.load(), 205);
    EXPECT_EQ(RightDefaultExposure.load(), 215);
}

TEST_F(HidChannelTest, SetDeviceSnStoresTheBlockOnTheDevice) {
    LeftDefaultExposure = 170;
    RightDefaultExposure = 180;
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 175, 185), 1);
    const auto received = vmcu::Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received.front().kind, vmcu::FrameKind::BlockWrite);  // the device accepted its checksum
    EXPECT_EQ(received.front().bytes[14], 0x0B);
    EXPECT_EQ(vmcu::Eeprom(), TextBlock("A1B2C3" + std::string(34, '*') + "K7QA", {70, 80, 75, 85}));
    EXPECT_EQ(vmcu::Reads().front().timeoutMs, 1000);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, ModelType5IsStoredAsK7Q0AndReadBackWithoutExposures) {
    LeftDefaultExposure = 170;
    RightDefaultExposure = 180;
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 5, 175, 185), 1);
    EXPECT_EQ(vmcu::Eeprom(), TextBlock("A1B2C3" + std::string(34, '*') + "K7Q0", {0x64, 0x64, 0x64, 0x64}));
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), 1);
    EXPECT_EQ(out.serial, "A1B2C3");
    EXPECT_EQ(out.modelType, 0);
    EXPECT_EQ(out.leftCurrent, 111);
    EXPECT_EQ(out.rightCurrent, 122);
    EXPECT_EQ(LeftDefaultExposure.load(), 170);  // set_device_sn never changes the defaults
    EXPECT_EQ(RightDefaultExposure.load(), 180);
}

TEST_F(HidChannelTest, ExposureOutOfRangeIsStoredAs200WithK7Q0) {
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 90, 185), 1);
    EXPECT_EQ(vmcu::Eeprom(), TextBlock("A1B2C3" + std::string(34, '*') + "K7Q0", {130, 130, 0x64, 85}));
}

TEST_F(HidChannelTest, SerialLengthIsCheckedBeforeAnythingIsSent) {
    EXPECT_EQ(CHidOperate::set_device_sn("", 1, 175, 185), -1);
    EXPECT_EQ(CHidOperate::set_device_sn(std::string(49, '7'), 1, 175, 185), -2);
    EXPECT_EQ(vmcu::GetCounters().openAttempts, 0);
    EXPECT_EQ(CHidOperate::set_device_sn(std::string(41, '7'), 1, 175, 185), 1);
    EXPECT_EQ(CHidOperate::set_device_sn(std::string(48, '8'), 1, 175, 185), 1);
    EXPECT_EQ(vmcu::Eeprom(), TextBlock(std::string(40, '8') + "K7QA", {130, 130, 75, 85}));
}

TEST_F(HidChannelTest, AbsentDeviceGives3001AtOnceEverywhere) {
    vmcu::UseFakeClock(false);
    vmcu::SetMode(vmcu::Mode::Absent);
    const uint32_t start = platform::TickCount();
    DeviceSnOutputs out;
    EXPECT_EQ(CHidOperate::send_command(0x33), -3001);
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), -3001);
    EXPECT_EQ(out.Read(), -3001);
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 175, 185), -3001);
    EXPECT_LT(platform::TicksSince(start), 1000u);
    EXPECT_EQ(vmcu::GetCounters().openAttempts, 4);
    EXPECT_EQ(vmcu::GetCounters().writes, 0);
    // Not fatal: model type 1 and 170 everywhere.
    EXPECT_EQ(out.serial, "");
    EXPECT_EQ(out.modelType, 1);
    EXPECT_EQ(out.leftCurrent, 170);
    EXPECT_EQ(LeftDefaultExposure.load(), 170);
}

TEST_F(HidChannelTest, SilentDeviceOutsideASessionCostsEachExchangeASecond) {
    vmcu::SetMode(vmcu::Mode::Silent);
    DeviceSnOutputs out;
    EXPECT_EQ(CHidOperate::send_command(0x3C), -3002);
    EXPECT_EQ(CHidOperate::send_param(120, 0x51), -3002);
    EXPECT_EQ(out.Read(), -3002);
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 175, 185), -3002);
    const auto reads = vmcu::Reads();
    ASSERT_EQ(reads.size(), 4u);
    for (const auto& read : reads) EXPECT_EQ(read.waitedMs, 1000u);
    EXPECT_EQ(out.serial, "");
    EXPECT_EQ(out.modelType, 1);
    EXPECT_EQ(out.rightCurrent, 170);
    EXPECT_EQ(vmcu::GetCounters().opens, 4);
    ExpectAllClosed();
}

// A session pays for a silent microcontroller once: later exchanges answer at
// once without touching the device, the log says so once, and the next
// session tries again.
TEST_F(HidChannelTest, SilentDeviceInASessionIsWaitedForOnceAndLoggedOnce) {
    testsupport::TempDir dir("hidsilent");
    LogWriter().StartLog(dir.str());
    vmcu::SetMode(vmcu::Mode::Silent);
    CHidOperate::begin_session();
    EXPECT_TRUE(CHidOperate::responsive());
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), -3002);
    EXPECT_FALSE(CHidOperate::responsive());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(CHidOperate::send_command(0x3C), -3002);
    EXPECT_EQ(CHidOperate::send_param(120, 0x51), -3002);
    EXPECT_EQ(vmcu::Reads().size(), 1u);
    EXPECT_EQ(vmcu::GetCounters().openAttempts, 1);
    CHidOperate::end_session();

    vmcu::SetMode(vmcu::Mode::Normal);
    CHidOperate::begin_session();
    EXPECT_EQ(CHidOperate::send_command(0x3C), 1);
    EXPECT_TRUE(CHidOperate::responsive());
    CHidOperate::end_session();
    ExpectAllClosed();
    LogWriter().StopLog();
    const std::string log = testsupport::ReadBinaryFile(dir / "log.txt");
    size_t lines = 0;
    for (size_t at = 0; (at = log.find("(-3002) [HidOperate(", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 1u) << log;
}

TEST_F(HidChannelTest, SilentDeviceRealTimeWaits) {
    vmcu::UseFakeClock(false);
    vmcu::SetMode(vmcu::Mode::Silent);
    const uint32_t start = platform::TickCount();
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), -3002);
    const uint32_t elapsed = platform::TicksSince(start);
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, 3000u);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, LateAnswerCountsOnlyWithinTheTimeOut) {
    vmcu::SetMode(vmcu::Mode::Late, 600);
    EXPECT_EQ(CHidOperate::send_command(0x35), 1);
    vmcu::SetMode(vmcu::Mode::Late, 1500);
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), -3002);
    const auto reads = vmcu::Reads();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].waitedMs, 600u);
    EXPECT_EQ(reads[1].waitedMs, 1000u);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, FailedWriteGives3006AndLeavesOutputsButSerial) {
    for (vmcu::Mode mode : {vmcu::Mode::FailWrites, vmcu::Mode::WriteNothing}) {
        vmcu::SetMode(mode);
        LeftDefaultExposure = 205;
        RightDefaultExposure = 215;
        DeviceSnOutputs out;
        EXPECT_EQ(out.Read(), -3006);
        EXPECT_EQ(out.serial, "");
        EXPECT_EQ(out.modelType, 9);
        EXPECT_EQ(out.leftCurrent, 111);
        EXPECT_EQ(out.rightCurrent, 122);
        EXPECT_EQ(LeftDefaultExposure.load(), 205);
        EXPECT_EQ(RightDefaultExposure.load(), 215);
        EXPECT_EQ(CHidOperate::send_command(0x33), -3006);
        EXPECT_EQ(CHidOperate::send_param(240, 0x52), -3006);
        EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 175, 185), -3006);
    }
    EXPECT_TRUE(vmcu::Reads().empty());
    EXPECT_EQ(vmcu::GetCounters().opens, 8);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, ReadErrorGives3003) {
    vmcu::SetMode(vmcu::Mode::FailReads);
    DeviceSnOutputs out;
    EXPECT_EQ(CHidOperate::send_command(0x33), -3003);
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), -3003);
    EXPECT_EQ(out.Read(), -3003);
    EXPECT_EQ(out.modelType, 1);
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 175, 185), -3003);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, ExceptionInsideAnyExchangeGives9000AndCloses) {
    vmcu::SetMode(vmcu::Mode::Throw);
    DeviceSnOutputs out;
    EXPECT_EQ(CHidOperate::send_command(0x33), -9000);
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), -9000);
    EXPECT_EQ(out.Read(), -9000);
    EXPECT_EQ(out.serial, "");
    EXPECT_EQ(out.modelType, 1);
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 175, 185), -9000);
    EXPECT_EQ(vmcu::GetCounters().opens, 4);
    ExpectAllClosed();
}

TEST_F(HidChannelTest, GetDeviceSnLogsTheFullBlockText) {
    testsupport::TempDir dir("hidlog");
    vmcu::SetEeprom(TextBlock("A1B2C3" + std::string(34, '*') + "K7QB", {0x46, 0x50, 0x5A, 0x64}));
    LogWriter().StartLog(dir.str());
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), 1);
    const std::string line = "[DEBUG] SN:A1B2C3" + std::string(34, '*') + "K7QB\x46\x50\x5A\x64" +
                             " [HidOperate(392):CHidOperate::get_device_sn]";
    const auto logged = [&] {
        return testsupport::ReadBinaryFile(dir / "log.txt").find(line) != std::string::npos;
    };
    EXPECT_TRUE(testsupport::WaitFor(logged)) << testsupport::ReadBinaryFile(dir / "log.txt");
    LogWriter().StopLog();
}
