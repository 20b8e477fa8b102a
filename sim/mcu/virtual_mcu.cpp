#include "sim/mcu/virtual_mcu.h"

#include <cstdlib>

#include "hid/info_block.h"
#include "sim/mcu/mcu_device.h"

namespace vmcu {

void Reset() { McuDevice::Instance().Reset(); }
void SetMode(Mode mode, uint32_t lateMs) { McuDevice::Instance().SetMode(mode, lateMs); }
void UseFakeClock(bool fake) { McuDevice::Instance().UseFakeClock(fake); }
uint64_t NowMs() { return McuDevice::Instance().NowMs(); }
Counters GetCounters() { return McuDevice::Instance().GetCounters(); }
std::vector<ReceivedFrame> Received() { return McuDevice::Instance().Received(); }
std::vector<ReadRecord> Reads() { return McuDevice::Instance().Reads(); }
hidproto::Block Eeprom() { return McuDevice::Instance().Eeprom(); }
void SetEeprom(const hidproto::Block& block) { McuDevice::Instance().SetEeprom(block); }
bool SetEepromFile(const std::string& path) { return McuDevice::Instance().SetEepromFile(path); }
bool Configure(const char* mode, const char* eepromFile, const char* traceFile) {
    return McuDevice::Instance().Configure(mode, eepromFile, traceFile);
}

hidproto::Block DefaultBlock() {
    hidproto::InfoValues values;
    values.serial = "880312040517";
    values.modelType = 1;
    values.leftDefault = 170;
    values.rightDefault = 180;
    values.leftCurrent = 175;
    values.rightCurrent = 185;
    hidproto::Block block{};
    hidproto::BuildInfoBlock(values, &block);
    return block;
}

bool ParseMode(const std::string& text, Mode* mode, uint32_t* lateMs) {
    static const struct {
        const char* word;
        Mode mode;
    } kWords[] = {{"normal", Mode::Normal},        {"absent", Mode::Absent},        {"silent", Mode::Silent},
                  {"fail-write", Mode::FailWrites}, {"write-nothing", Mode::WriteNothing},
                  {"fail-read", Mode::FailReads},   {"throw", Mode::Throw}};
    *lateMs = 0;
    for (const auto& entry : kWords) {
        if (text == entry.word) {
            *mode = entry.mode;
            return true;
        }
    }
    const std::string latePrefix = "late:";
    if (text.compare(0, latePrefix.size(), latePrefix) != 0 || text.size() == latePrefix.size()) return false;
    char* end = nullptr;
    const unsigned long delay = std::strtoul(text.c_str() + latePrefix.size(), &end, 10);
    if (*end != '\0') return false;
    *mode = Mode::Late;
    *lateMs = static_cast<uint32_t>(delay);
    return true;
}

}  // namespace vmcu
