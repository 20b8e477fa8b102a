// The three frame kinds and the information block, without a device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/hid_frame.h"
#include "hid/info_block.h"

using namespace hidproto;

namespace {

std::vector<uint8_t> Bytes(const Frame& frame) { return std::vector<uint8_t>(frame.begin(), frame.end()); }

Block TextBlock(const std::string& text, std::vector<uint8_t> tail = {}) {
    Block block{};
    for (size_t i = 0; i < text.size() && i < kBlockSize; ++i) block[i] = static_cast<uint8_t>(text[i]);
    for (size_t i = 0; i < tail.size(); ++i) block[kBlockSize - tail.size() + i] = tail[i];
    return block;
}

InfoValues Preset() {
    InfoValues values;
    values.modelType = 9;
    values.leftCurrent = 111;
    values.rightCurrent = 122;
    values.leftDefault = 201;
    values.rightDefault = 202;
    return values;
}

}  // namespace

TEST(HidFrameTest, CommandFrameForCode0x33IsExact) {
    std::vector<uint8_t> expected = {0x00, 0x55, 0xAA, 0x00, 0x02};
    expected.insert(expected.end(), 7, 0x00);
    expected.push_back(0x33);
    expected.insert(expected.end(), 51, 0x00);
    expected.push_back(0x03);
    ASSERT_EQ(expected.size(), 65u);
    EXPECT_EQ(Bytes(BuildCommandFrame(0x33)), expected);
}

TEST(HidFrameTest, ParameterFrameCarriesValueAndChecksum) {
    const Frame frame = BuildParameterFrame(240, 0x52);
    std::vector<uint8_t> expected(65, 0x00);
    expected[1] = 0x55;
    expected[2] = 0xAA;
    expected[4] = 0x02;
    expected[12] = 0x52;
    expected[14] = 0x01;
    expected[62] = 0xF0;
    expected[63] = 0xA1;
    expected[64] = 0x03;
    EXPECT_EQ(Bytes(frame), expected);
}

TEST(HidFrameTest, BlockFramesPlaceTheBlockAndChecksum) {
    const Frame read = BuildBlockFrame(kBlockRead, TextBlock("ignored on a read"));
    EXPECT_EQ(read[4], 0x01);
    EXPECT_EQ(read[12], 0x44);
    EXPECT_EQ(read[14], 0x00);
    for (size_t i = 15; i <= 62; ++i) EXPECT_EQ(read[i], 0) << i;
    EXPECT_EQ(read[63], 0x45);
    EXPECT_EQ(read[64], 0x03);

    Block block;
    for (size_t i = 0; i < kBlockSize; ++i) block[i] = static_cast<uint8_t>(i + 1);
    const Frame write = BuildBlockFrame(kBlockWrite, block);
    EXPECT_EQ(write[14], 0x0B);
    for (size_t i = 0; i < kBlockSize; ++i) EXPECT_EQ(write[15 + i], i + 1) << i;
    // XOR of 1..48 is 48 (0x30); with the frame's own bytes: 0x55^0xAA^0x01^0x44^0x0B = 0xB1.
    EXPECT_EQ(write[63], static_cast<uint8_t>(~(0xB1 ^ 0x30)));
}

TEST(InfoBlockTest, SerialWithK7QAAndOneUnsetCurrent) {
    InfoValues values = Preset();
    ApplyInfoBlock(TextBlock("A1B2C3" + std::string(34, '*') + "K7QA", {0x46, 0x50, 0x00, 0x3C}), &values);
    EXPECT_EQ(values.serial, "A1B2C3");
    EXPECT_EQ(values.modelType, 1);
    EXPECT_EQ(values.leftDefault, 170);
    EXPECT_EQ(values.rightDefault, 180);
    EXPECT_EQ(values.leftCurrent, 170);
    EXPECT_EQ(values.rightCurrent, 170);
}

TEST(InfoBlockTest, AllZeroBlockGivesModelOneAnd170) {
    InfoValues values = Preset();
    ApplyInfoBlock(Block{}, &values);
    EXPECT_EQ(values.serial, "");
    EXPECT_EQ(values.modelType, 1);
    EXPECT_EQ(values.leftCurrent, 170);
    EXPECT_EQ(values.rightCurrent, 170);
    EXPECT_EQ(values.leftDefault, 170);
    EXPECT_EQ(values.rightDefault, 170);
}

TEST(InfoBlockTest, TextWithoutStarKeepsWholeTextEvenWithModelCode) {
    const std::string text = "1234567890123456789012345678901234567890K7QC";
    InfoValues values = Preset();
    ApplyInfoBlock(TextBlock(text, {0x46, 0x50, 0x5A, 0x64}), &values);
    EXPECT_EQ(values.serial, text + "\x46\x50\x5A\x64");
    EXPECT_EQ(values.modelType, 1);
    EXPECT_EQ(values.leftCurrent, 170);
    EXPECT_EQ(values.rightDefault, 170);
}

TEST(InfoBlockTest, K7QBAndK7Q0LeaveExposuresUntouched) {
    for (const char* code : {"K7QB", "K7Q0"}) {
        InfoValues values = Preset();
        ApplyInfoBlock(TextBlock("SN01" + std::string(36, '*') + code, {0x46, 0x50, 0x5A, 0x64}), &values);
        EXPECT_EQ(values.serial, "SN01");
        EXPECT_EQ(values.modelType, std::string(code) == "K7QB" ? 2 : 0);
        EXPECT_EQ(values.leftCurrent, 111);
        EXPECT_EQ(values.rightCurrent, 122);
        EXPECT_EQ(values.leftDefault, 201);
        EXPECT_EQ(values.rightDefault, 202);
    }
}

TEST(InfoBlockTest, K7QCFallsBackTo230PerPair) {
    InfoValues values = Preset();
    ApplyInfoBlock(TextBlock("SN02" + std::string(36, '*') + "K7QC", {0x00, 0x50, 0x5A, 0x64}), &values);
    EXPECT_EQ(values.modelType, 3);
    EXPECT_EQ(values.leftDefault, 230);
    EXPECT_EQ(values.rightDefault, 230);
    EXPECT_EQ(values.leftCurrent, 190);
    EXPECT_EQ(values.rightCurrent, 200);
}

TEST(InfoBlockTest, UnknownModelCodeGivesModelOneAnd170) {
    InfoValues values = Preset();
    ApplyInfoBlock(TextBlock("SN03" + std::string(36, '*') + "XQ7A", {0x46, 0x50, 0x5A, 0x64}), &values);
    EXPECT_EQ(values.serial, "SN03");
    EXPECT_EQ(values.modelType, 1);
    EXPECT_EQ(values.leftCurrent, 170);
    EXPECT_EQ(values.leftDefault, 170);
}

TEST(InfoBlockTest, BuildPadsSerialAndStoresValuesMinus100) {
    InfoValues values;
    values.serial = "A1B2C3";
    values.modelType = 3;
    values.leftDefault = 170;
    values.rightDefault = 180;
    values.leftCurrent = 355;
    values.rightCurrent = 100;
    Block block{};
    ASSERT_EQ(BuildInfoBlock(values, &block), 1);
    EXPECT_EQ(BlockText(block).substr(0, 44), "A1B2C3" + std::string(34, '*') + "K7QC");
    EXPECT_EQ(block[44], 70);
    EXPECT_EQ(block[45], 80);
    EXPECT_EQ(block[46], 255);
    EXPECT_EQ(block[47], 0);
}

TEST(InfoBlockTest, BuildReplacesOutOfRangeValuesAndModel) {
    InfoValues values;
    values.serial = "S";
    values.modelType = 5;
    values.leftDefault = values.rightDefault = values.leftCurrent = values.rightCurrent = 150;
    Block block{};
    ASSERT_EQ(BuildInfoBlock(values, &block), 1);
    EXPECT_EQ(std::string(block.begin() + 40, block.begin() + 44), "K7Q0");
    for (size_t i = 44; i < 48; ++i) EXPECT_EQ(block[i], 0x64) << i;

    values.modelType = 1;
    values.leftCurrent = 90;
    values.rightCurrent = 356;
    ASSERT_EQ(BuildInfoBlock(values, &block), 1);
    EXPECT_EQ(std::string(block.begin() + 40, block.begin() + 44), "K7Q0");
    EXPECT_EQ(block[44], 50);
    EXPECT_EQ(block[45], 50);
    EXPECT_EQ(block[46], 0x64);
    EXPECT_EQ(block[47], 0x64);
}

TEST(InfoBlockTest, BuildChecksSerialLength) {
    InfoValues values;
    values.leftDefault = values.rightDefault = values.leftCurrent = values.rightCurrent = 150;
    Block block{};
    values.serial = "";
    EXPECT_EQ(BuildInfoBlock(values, &block), -1);
    values.serial = std::string(49, 'X');
    EXPECT_EQ(BuildInfoBlock(values, &block), -2);
    for (size_t length : {41u, 48u}) {
        values.serial = std::string(length, 'X');
        ASSERT_EQ(BuildInfoBlock(values, &block), 1) << length;
        EXPECT_EQ(std::string(block.begin(), block.begin() + 44), std::string(40, 'X') + "K7QA") << length;
        EXPECT_EQ(block[47], 50) << length;
    }
}
