#include "hid/hid_operate.h"

#include "hid/hid_exchange.h"
#include "hid/info_block.h"
#include "log/log_writer.h"

using namespace hidproto;

std::atomic<int32_t> LeftDefaultExposure{230};
std::atomic<int32_t> RightDefaultExposure{230};

namespace {

// The exception guard of every exchange: nothing may escape towards the control.
int32_t GuardedExchange(const Frame& request, int timeoutMs, Reply* reply) {
    try {
        return RunExchange(request, timeoutMs, reply);
    } catch (...) {
        return kResultException;
    }
}

}  // namespace

void CHidOperate::use_library() { hidproto::UseHidLibrary(); }

int32_t CHidOperate::send_command(uint8_t code) {
    Reply reply;
    return GuardedExchange(BuildCommandFrame(code), kCommandTimeoutMs, &reply);
}

int32_t CHidOperate::send_param(uint8_t value, uint8_t code) {
    Reply reply;
    return GuardedExchange(BuildParameterFrame(value, code), kParameterTimeoutMs, &reply);
}

int32_t CHidOperate::get_device_sn(std::string& serial, int32_t& modelType, int32_t& leftCurrent,
                                   int32_t& rightCurrent) {
    try {
        serial.clear();
        Block block{};
        Reply reply;
        const int32_t result = GuardedExchange(BuildBlockFrame(kBlockRead, block), kCommandTimeoutMs, &reply);
        if (result == kResultWriteFailed) return result;
        if (result == kResultOk) {
            for (size_t i = 0; i < kBlockSize; ++i) block[i] = reply[kBlockOffset - 1 + i];
        }
        // A missing or silent device leaves the block zero: model type 1, exposures 170.
        WriteLog(&LogWriter(), 1, "HidOperate", "CHidOperate::get_device_sn", 392, "SN:%s",
                 BlockText(block).c_str());
        InfoValues values;
        values.modelType = modelType;
        values.leftCurrent = leftCurrent;
        values.rightCurrent = rightCurrent;
        values.leftDefault = LeftDefaultExposure.load();
        values.rightDefault = RightDefaultExposure.load();
        ApplyInfoBlock(block, &values);
        serial = values.serial;
        modelType = values.modelType;
        leftCurrent = values.leftCurrent;
        rightCurrent = values.rightCurrent;
        LeftDefaultExposure = values.leftDefault;
        RightDefaultExposure = values.rightDefault;
        return result;
    } catch (...) {
        return kResultException;
    }
}

int32_t CHidOperate::set_device_sn(const std::string& serial, int32_t modelType, int32_t leftCurrent,
                                   int32_t rightCurrent) {
    try {
        InfoValues values;
        values.serial = serial;
        values.modelType = modelType;
        values.leftCurrent = leftCurrent;
        values.rightCurrent = rightCurrent;
        values.leftDefault = LeftDefaultExposure.load();
        values.rightDefault = RightDefaultExposure.load();
        Block block{};
        const int32_t built = BuildInfoBlock(values, &block);
        if (built != kResultOk) return built;
        Reply reply;
        return GuardedExchange(BuildBlockFrame(kBlockWrite, block), kCommandTimeoutMs, &reply);
    } catch (...) {
        return kResultException;
    }
}
