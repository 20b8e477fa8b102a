#include "hid/hid_frame.h"

namespace hidproto {
namespace {

Frame FrameHead(uint8_t kind) {
    Frame frame{};  // report id 0, every unlisted byte 0
    frame[1] = kMark1;
    frame[2] = kMark2;
    frame[3] = 0x00;
    frame[4] = kind;
    frame[kFrameSize - 1] = kEndMark;
    return frame;
}

}  // namespace

uint8_t FrameChecksum(const Frame& frame) {
    uint8_t sum = 0;
    for (size_t i = 0; i < kChecksumOffset; ++i) sum ^= frame[i];
    return static_cast<uint8_t>(~sum);
}

Frame BuildCommandFrame(uint8_t code) {
    Frame frame = FrameHead(kKindCommand);
    frame[kCodeOffset] = code;
    return frame;  // command frames carry no checksum: byte 63 stays 0
}

Frame BuildParameterFrame(uint8_t value, uint8_t code) {
    Frame frame = FrameHead(kKindCommand);
    frame[kCodeOffset] = code;
    frame[13] = 0x00;
    frame[kOperationOffset] = kParameterFlag;
    frame[kValueOffset] = value;
    frame[kChecksumOffset] = FrameChecksum(frame);
    return frame;
}

Frame BuildBlockFrame(uint8_t operation, const Block& block) {
    Frame frame = FrameHead(kKindBlock);
    frame[kCodeOffset] = kBlockCode;
    frame[kOperationOffset] = operation;
    if (operation == kBlockWrite) {
        for (size_t i = 0; i < kBlockSize; ++i) frame[kBlockOffset + i] = block[i];
    }
    frame[kChecksumOffset] = FrameChecksum(frame);
    return frame;
}

}  // namespace hidproto
