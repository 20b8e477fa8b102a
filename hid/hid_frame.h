// The 65-byte output reports of the microcontroller protocol: command,
// parameter and information-block frames, and their checksum. No device
// access here, so the virtual microcontroller checks frames with the same code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hidproto {

constexpr uint16_t kVendorId = 0x0483;
constexpr uint16_t kProductId = 0x5750;

constexpr size_t kFrameSize = 65;  // report id + 64 bytes
constexpr size_t kBlockSize = 48;
constexpr size_t kBlockOffset = 15;    // frame bytes 15..62 carry the block
constexpr size_t kChecksumOffset = 63;
constexpr size_t kValueOffset = 62;    // parameter frames: the level
constexpr size_t kCodeOffset = 12;
constexpr size_t kOperationOffset = 14;

constexpr uint8_t kMark1 = 0x55;
constexpr uint8_t kMark2 = 0xAA;
constexpr uint8_t kEndMark = 0x03;
constexpr uint8_t kKindBlock = 0x01;    // frame byte 4
constexpr uint8_t kKindCommand = 0x02;  // also parameter frames
constexpr uint8_t kBlockCode = 0x44;
constexpr uint8_t kBlockRead = 0x00;
constexpr uint8_t kBlockWrite = 0x0B;
constexpr uint8_t kParameterFlag = 0x01;  // byte 14 of a parameter frame

// How long an exchange waits for the answer. A microcontroller answers in
// milliseconds; the host's window thread must never wait much longer than
// a second for one that does not.
constexpr int kAnswerTimeoutMs = 1000;

using Frame = std::array<uint8_t, kFrameSize>;
using Block = std::array<uint8_t, kBlockSize>;

// NOT of the XOR of frame bytes 0 to 62.
uint8_t FrameChecksum(const Frame& frame);

Frame BuildCommandFrame(uint8_t code);
Frame BuildParameterFrame(uint8_t value, uint8_t code);
Frame BuildBlockFrame(uint8_t operation, const Block& block);

}  // namespace hidproto
