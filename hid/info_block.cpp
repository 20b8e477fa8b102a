#include "hid/info_block.h"

#include <cstring>

namespace hidproto {
namespace {

constexpr int32_t kExposureMax = 355;
constexpr int32_t kReplacementValue = 200;
const char* const kModelCodes[] = {"K7Q0", "K7QA", "K7QB", "K7QC"};

int32_t StoredValue(const Block& block, size_t index) { return block[index] + kExposureBase; }

// "K7QA" and "K7QC": all four values from the block; an unset value spoils its pair.
void TakeExposures(const Block& block, int32_t fallback, InfoValues* values) {
    values->leftCurrent = StoredValue(block, 46);
    values->rightCurrent = StoredValue(block, 47);
    values->leftDefault = StoredValue(block, 44);
    values->rightDefault = StoredValue(block, 45);
    if (values->leftCurrent == kExposureBase || values->rightCurrent == kExposureBase) {
        values->leftCurrent = values->rightCurrent = fallback;
    }
    if (values->leftDefault == kExposureBase || values->rightDefault == kExposureBase) {
        values->leftDefault = values->rightDefault = fallback;
    }
}

void SetAll(int32_t value, InfoValues* values) {
    values->leftCurrent = values->rightCurrent = values->leftDefault = values->rightDefault = value;
}

bool InRange(int32_t value) { return value >= kExposureBase && value <= kExposureMax; }

}  // namespace

std::string BlockText(const Block& block) {
    const char* text = reinterpret_cast<const char*>(block.data());
    size_t length = 0;
    while (length < kBlockSize && text[length] != '\0') ++length;
    return std::string(text, length);
}

void ApplyInfoBlock(const Block& block, InfoValues* values) {
    const std::string full = BlockText(block);
    const size_t firstStar = full.find('*');
    if (firstStar != std::string::npos && firstStar >= 1) {
        values->serial = full.substr(0, firstStar);
    } else {
        values->serial = full;
        values->modelType = 1;
        SetAll(170, values);
    }
    const size_t lastStar = full.rfind('*');
    if (lastStar == std::string::npos || lastStar < 1) return;
    if (full.find("K7Q0") != std::string::npos) {
        values->modelType = 0;
    } else if (full.find("K7QA") != std::string::npos) {
        values->modelType = 1;
        TakeExposures(block, 170, values);
    } else if (full.find("K7QB") != std::string::npos) {
        values->modelType = 2;
    } else if (full.find("K7QC") != std::string::npos) {
        values->modelType = 3;
        TakeExposures(block, 230, values);
    } else {
        values->modelType = 1;
        SetAll(170, values);
    }
}

int32_t BuildInfoBlock(const InfoValues& values, Block* block) {
    if (values.serial.empty()) return -1;
    if (values.serial.size() > kSerialMaxLength) return -2;
    InfoValues stored = values;
    int32_t* const exposures[] = {&stored.leftDefault, &stored.rightDefault, &stored.leftCurrent,
                                  &stored.rightCurrent};
    if (stored.modelType < 0 || stored.modelType > 3) {
        stored.modelType = 0;
        for (int32_t* value : exposures) *value = kReplacementValue;
    } else {
        for (int32_t* value : exposures) {
            if (InRange(*value)) continue;
            *value = kReplacementValue;
            stored.modelType = 0;
        }
    }
    block->fill('*');
    std::memcpy(block->data(), stored.serial.data(), stored.serial.size());
    std::memcpy(block->data() + kModelCodeOffset, kModelCodes[stored.modelType], 4);
    for (size_t i = 0; i < 4; ++i) block->at(44 + i) = static_cast<uint8_t>(*exposures[i] - kExposureBase);
    return 1;
}

}  // namespace hidproto
