// The simulated microcontroller behind the hidapi functions of hidapi_sim.cpp.
// One process-wide instance; every call is safe from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "sim/mcu/virtual_mcu.h"

// hidapi's opaque handle type: one per successful hid_open.
struct hid_device_ {
    struct Pending {
        std::vector<uint8_t> reply;  // without the report id
        uint64_t readyAtMs;
    };
    std::deque<Pending> replies;
};

namespace vmcu {

class McuDevice {
public:
    static McuDevice& Instance();

    int Init();
    int Exit();
    hid_device_* Open(unsigned short vendorId, unsigned short productId);
    void Close(hid_device_* device);
    int Write(hid_device_* device, const unsigned char* data, size_t length);
    int Read(hid_device_* device, unsigned char* data, size_t length, int timeoutMs);

    void Reset();
    void SetMode(Mode mode, uint32_t lateMs);
    void UseFakeClock(bool fake);
    uint64_t NowMs();
    Counters GetCounters();
    std::vector<ReceivedFrame> Received();
    std::vector<ReadRecord> Reads();
    hidproto::Block Eeprom();
    void SetEeprom(const hidproto::Block& block);
    bool SetEepromFile(const std::string& path);
    bool Configure(const char* mode, const char* eepromFile, const char* traceFile);

private:
    McuDevice();
    uint64_t NowLocked() const;
    // Waits (or advances the fake clock) until `untilMs`; may release `lock` meanwhile.
    void WaitUntil(std::unique_lock<std::mutex>& lock, uint64_t untilMs);
    ReceivedFrame Classify(const unsigned char* data, size_t length) const;
    std::vector<uint8_t> Answer(const ReceivedFrame& frame);
    void SaveEeprom() const;
    void Trace(const ReceivedFrame& frame) const;

    std::mutex lock_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    Mode mode_ = Mode::Normal;
    uint32_t lateMs_ = 0;
    bool fakeClock_ = false;
    uint64_t fakeNowMs_ = 0;
    hidproto::Block eeprom_;
    std::string eepromFile_;
    std::string traceFile_;
    Counters counters_;
    std::vector<ReceivedFrame> received_;
    std::vector<ReadRecord> reads_;
};

}  // namespace vmcu
