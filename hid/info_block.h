// The device's 48-byte information block: serial text padded with '*', a
// four-character model code and four exposure values stored minus 100.
#pragma once

#include <cstdint>
#include <string>

#include "hid/hid_frame.h"

namespace hidproto {

constexpr size_t kSerialMaxLength = 48;
constexpr size_t kModelCodeOffset = 40;
constexpr int32_t kExposureBase = 100;  // a stored byte of 0 (100) counts as unset

// What the block yields. Values a model code does not cover keep what the caller put in.
struct InfoValues {
    std::string serial;
    int32_t modelType = 1;
    int32_t leftCurrent = 0;
    int32_t rightCurrent = 0;
    int32_t leftDefault = 0;
    int32_t rightDefault = 0;
};

// The block as a zero-terminated text of at most 48 characters.
std::string BlockText(const Block& block);

// Reads serial, model type and exposures out of a block into `values`.
void ApplyInfoBlock(const Block& block, InfoValues* values);

// Builds the block to store; 1, or -1 for an empty serial, -2 for one longer than 48 characters.
// Out-of-range values become 200 and turn the model type to 0 ("K7Q0").
int32_t BuildInfoBlock(const InfoValues& values, Block* block);

}  // namespace hidproto
