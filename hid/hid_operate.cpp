#include "hid/hid_operate.h"

#include <mutex>

#include "hid/hid_exchange.h"
#include "hid/info_block.h"
#include "log/log_writer.h"

using namespace hidproto;

std::atomic<int32_t> LeftDefaultExposure{230};
std::atomic<int32_t> RightDefaultExposure{230};

namespace {

// What the exchanges have learnt of the microcontroller (see the header).
class ChannelHealth {
public:
    void BeginSession() {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_sessionOpen) return;
        m_sessionOpen = true;
        m_unresponsive = m_reported = false;
    }
    void EndSession() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sessionOpen = m_unresponsive = m_reported = false;
    }
    bool Unresponsive() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_unresponsive;
    }
    void Note(int32_t result) {
        bool report = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (result == kResultOk) {
                if (!m_sessionOpen) m_reported = false;
                return;
            }
            if (result != kResultNoDevice && m_sessionOpen) m_unresponsive = true;
            report = !m_reported;
            m_reported = true;
        }
        if (report) Report(result);
    }

private:
    static void Report(int32_t result) {
        const char* text = result == kResultNoDevice ? "未找到单片机(%d)" : "单片机无应答(%d)";
        WriteLog(&LogWriter(), 2, "HidOperate", "CHidOperate::exchange", __LINE__, text, result);
        DebugTrace(text, result);
        DebugTrace("\n");
    }

    std::mutex m_lock;
    bool m_sessionOpen = false;
    bool m_unresponsive = false;
    bool m_reported = false;
};

ChannelHealth& Health() {
    static ChannelHealth health;
    return health;
}

// Every exchange: the unresponsive mark, and the exception guard (nothing
// may escape towards the control).
int32_t GuardedExchange(const Frame& request, int timeoutMs, Reply* reply) {
    if (Health().Unresponsive()) return kResultNoAnswer;
    int32_t result = kResultException;
    try {
        result = RunExchange(request, timeoutMs, reply);
    } catch (...) {
    }
    Health().Note(result);
    return result;
}

}  // namespace

void CHidOperate::begin_session() { Health().BeginSession(); }

void CHidOperate::end_session() { Health().EndSession(); }

bool CHidOperate::responsive() { return !Health().Unresponsive(); }

void CHidOperate::use_library() { hidproto::UseHidLibrary(); }

int32_t CHidOperate::send_command(uint8_t code) {
    Reply reply;
    return GuardedExchange(BuildCommandFrame(code), kAnswerTimeoutMs, &reply);
}

int32_t CHidOperate::send_param(uint8_t value, uint8_t code) {
    Reply reply;
    return GuardedExchange(BuildParameterFrame(value, code), kAnswerTimeoutMs, &reply);
}

int32_t CHidOperate::get_device_sn(std::string& serial, int32_t& modelType, int32_t& leftCurrent,
                                   int32_t& rightCurrent) {
    try {
        serial.clear();
        Block block{};
        Reply reply;
        const int32_t result = GuardedExchange(BuildBlockFrame(kBlockRead, block), kAnswerTimeoutMs, &reply);
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
        return GuardedExchange(BuildBlockFrame(kBlockWrite, block), kAnswerTimeoutMs, &reply);
    } catch (...) {
        return kResultException;
    }
}
