// The virtual microcontroller itself: what it accepts, answers and keeps.
#include <hidapi.h>

#include "hid/hid_frame.h"
#include "tests/hid/hid_channel_fixture.h"
#include "tests/support/temp_dir.h"

using VirtualMcuTest = HidChannelTest;

namespace {

// Writes one report and reads the answer: the byte count hid_read_timeout returned.
int Exchange(const hidproto::Frame& frame, hidproto::Frame* reply) {
    hid_device* device = hid_open(0x0483, 0x5750, nullptr);
    if (device == nullptr) return -100;
    reply->fill(0);
    int result = hid_write(device, frame.data(), frame.size());
    if (result > 0) result = hid_read_timeout(device, reply->data(), reply->size(), 100);
    hid_close(device);
    return result;
}

}  // namespace

TEST_F(VirtualMcuTest, AnswersOnlyItsOwnVendorAndProduct) {
    EXPECT_EQ(hid_open(0x0483, 0x5751, nullptr), nullptr);
    EXPECT_EQ(hid_open(0x0484, 0x5750, nullptr), nullptr);
    hid_device* device = hid_open(0x0483, 0x5750, nullptr);
    ASSERT_NE(device, nullptr);
    hid_close(device);
    EXPECT_EQ(vmcu::GetCounters().openAttempts, 3);
    ExpectAllClosed();
}

TEST_F(VirtualMcuTest, IgnoresMalformedReports) {
    hidproto::Frame reply;
    hidproto::Frame badChecksum = hidproto::BuildParameterFrame(240, 0x52);
    badChecksum[63] ^= 0x01;
    hidproto::Frame badEnd = hidproto::BuildCommandFrame(0x33);
    badEnd[64] = 0x00;
    hidproto::Frame commandWithChecksum = hidproto::BuildCommandFrame(0x33);
    commandWithChecksum[63] = 0x12;
    hidproto::Frame badBlockCode = hidproto::BuildBlockFrame(hidproto::kBlockRead, hidproto::Block{});
    badBlockCode[12] = 0x45;
    badBlockCode[63] = hidproto::FrameChecksum(badBlockCode);
    for (const hidproto::Frame& frame : {badChecksum, badEnd, commandWithChecksum, badBlockCode}) {
        EXPECT_EQ(Exchange(frame, &reply), 0);
    }
    for (const vmcu::ReceivedFrame& received : vmcu::Received()) {
        EXPECT_EQ(received.kind, vmcu::FrameKind::Malformed);
    }
    EXPECT_EQ(vmcu::Received().size(), 4u);
    EXPECT_EQ(Exchange(hidproto::BuildCommandFrame(0x33), &reply), 64);
}

TEST_F(VirtualMcuTest, BlockWriteWithBadChecksumLeavesTheEeprom) {
    hidproto::Block block;
    block.fill('Z');
    hidproto::Frame frame = hidproto::BuildBlockFrame(hidproto::kBlockWrite, block);
    frame[63] ^= 0xFF;
    hidproto::Frame reply;
    EXPECT_EQ(Exchange(frame, &reply), 0);
    EXPECT_EQ(vmcu::Eeprom(), vmcu::DefaultBlock());
}

TEST_F(VirtualMcuTest, ReadReplyCarriesTheBlockOneByteEarlier) {
    hidproto::Frame reply;
    EXPECT_EQ(Exchange(hidproto::BuildBlockFrame(hidproto::kBlockRead, hidproto::Block{}), &reply), 64);
    const hidproto::Block block = vmcu::Eeprom();
    for (size_t i = 0; i < block.size(); ++i) EXPECT_EQ(reply[14 + i], block[i]) << i;
    EXPECT_EQ(reply[0], 0x55);
    EXPECT_EQ(reply[63], 0x03);
    EXPECT_EQ(reply[64], 0x00);  // nothing beyond the 64 bytes returned
}

TEST_F(VirtualMcuTest, EepromPersistsInItsFile) {
    testsupport::TempDir dir("vmcu");
    const std::string path = (dir / "eeprom.bin").string();
    ASSERT_TRUE(vmcu::SetEepromFile(path));
    EXPECT_EQ(testsupport::ReadBinaryFile(path).size(), 48u);
    EXPECT_EQ(CHidOperate::set_device_sn("A9B8C7", 3, 222, 233), 1);

    vmcu::Reset();  // a fresh device that loads the same file
    ASSERT_TRUE(vmcu::SetEepromFile(path));
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), 1);
    EXPECT_EQ(out.serial, "A9B8C7");
    EXPECT_EQ(out.modelType, 3);
    EXPECT_EQ(out.leftCurrent, 222);
    EXPECT_EQ(out.rightCurrent, 233);
}

TEST_F(VirtualMcuTest, RecordsCommandsInOrderWithTimes) {
    vmcu::SetMode(vmcu::Mode::Late, 40);
    EXPECT_EQ(CHidOperate::send_command(0x33), 1);
    EXPECT_EQ(CHidOperate::send_command(0x3C), 1);
    const auto received = vmcu::Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].code, 0x33);
    EXPECT_EQ(received[1].code, 0x3C);
    EXPECT_EQ(received[1].timeMs - received[0].timeMs, 40u);  // the first answer's delay on the fake clock
}

TEST_F(VirtualMcuTest, ConfiguredLikeFromTheEnvironment) {
    testsupport::TempDir dir("vmcu");
    const std::string eeprom = (dir / "eeprom.bin").string();
    const std::string trace = (dir / "trace.txt").string();
    hidproto::Block stored = vmcu::DefaultBlock();
    stored[0] = '9';
    testsupport::WriteBinaryFile(eeprom, std::string(stored.begin(), stored.end()));
    EXPECT_FALSE(vmcu::Configure("loud", nullptr, nullptr));
    ASSERT_TRUE(vmcu::Configure("late:20", eeprom.c_str(), trace.c_str()));
    DeviceSnOutputs out;
    EXPECT_EQ(out.Read(), 1);
    EXPECT_EQ(out.serial, "980312040517");
    EXPECT_EQ(vmcu::Reads().front().waitedMs, 20u);
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), 1);
    EXPECT_NE(testsupport::ReadBinaryFile(trace).find("parameter code=0x52 value=240"), std::string::npos);
    ASSERT_TRUE(vmcu::Configure("absent", nullptr, nullptr));
    EXPECT_EQ(CHidOperate::send_command(0x33), -3001);
}

TEST(VirtualMcuModeTest, ParsesEnvironmentWords) {
    vmcu::Mode mode = vmcu::Mode::Normal;
    uint32_t lateMs = 7;
    EXPECT_TRUE(vmcu::ParseMode("silent", &mode, &lateMs));
    EXPECT_EQ(mode, vmcu::Mode::Silent);
    EXPECT_EQ(lateMs, 0u);
    EXPECT_TRUE(vmcu::ParseMode("late:250", &mode, &lateMs));
    EXPECT_EQ(mode, vmcu::Mode::Late);
    EXPECT_EQ(lateMs, 250u);
    EXPECT_TRUE(vmcu::ParseMode("fail-write", &mode, &lateMs));
    EXPECT_EQ(mode, vmcu::Mode::FailWrites);
    EXPECT_FALSE(vmcu::ParseMode("late:", &mode, &lateMs));
    EXPECT_FALSE(vmcu::ParseMode("late:5x", &mode, &lateMs));
    EXPECT_FALSE(vmcu::ParseMode("quiet", &mode, &lateMs));
}
