#include "sim/mcu/mcu_device.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "hid/info_block.h"

namespace vmcu {
namespace {

// The records tests read are the recent ones: a long run (a soak of a day's
// use) keeps the last kKeptRecords, not every exchange it ever made.
constexpr size_t kKeptRecords = 4096;

template <class T>
void Keep(std::vector<T>& records, const T& record) {
    if (records.size() >= kKeptRecords) records.erase(records.begin(), records.begin() + kKeptRecords / 2);
    records.push_back(record);
}

using hidproto::Frame;

bool MarksValid(const Frame& frame) {
    return frame[0] == 0x00 && frame[1] == hidproto::kMark1 && frame[2] == hidproto::kMark2 && frame[3] == 0x00 &&
           frame[hidproto::kFrameSize - 1] == hidproto::kEndMark;
}

bool ChecksumValid(const Frame& frame) {
    return frame[hidproto::kChecksumOffset] == hidproto::FrameChecksum(frame);
}

FrameKind KindOf(const Frame& frame) {
    if (!MarksValid(frame)) return FrameKind::Malformed;
    const uint8_t operation = frame[hidproto::kOperationOffset];
    if (frame[4] == hidproto::kKindCommand) {
        if (operation == hidproto::kParameterFlag && frame[13] == 0x00 && ChecksumValid(frame)) {
            return FrameKind::Parameter;
        }
        if (operation == 0x00 && frame[hidproto::kChecksumOffset] == 0x00) return FrameKind::Command;
        return FrameKind::Malformed;
    }
    if (frame[4] != hidproto::kKindBlock || frame[hidproto::kCodeOffset] != hidproto::kBlockCode ||
        !ChecksumValid(frame)) {
        return FrameKind::Malformed;
    }
    if (operation == hidproto::kBlockRead) return FrameKind::BlockRead;
    if (operation == hidproto::kBlockWrite) return FrameKind::BlockWrite;
    return FrameKind::Malformed;
}

const char* KindName(FrameKind kind) {
    switch (kind) {
        case FrameKind::Command: return "command";
        case FrameKind::Parameter: return "parameter";
        case FrameKind::BlockRead: return "block-read";
        case FrameKind::BlockWrite: return "block-write";
        default: return "malformed";
    }
}

}  // namespace

McuDevice& McuDevice::Instance() {
    // Never destroyed: like the hardware it stands for, it outlives every
    // object of the process that still talks to it at teardown.
    static McuDevice* const device = new McuDevice;
    return *device;
}

McuDevice::McuDevice() : eeprom_(DefaultBlock()) {
    Configure(std::getenv("K7Q_SIM_MODE"), std::getenv("K7Q_SIM_EEPROM"), std::getenv("K7Q_SIM_TRACE"));
}

bool McuDevice::Configure(const char* mode, const char* eepromFile, const char* traceFile) {
    bool understood = true;
    if (mode != nullptr) {
        Mode parsed;
        uint32_t lateMs = 0;
        understood = ParseMode(mode, &parsed, &lateMs);
        if (understood) SetMode(parsed, lateMs);
    }
    if (eepromFile != nullptr) understood = SetEepromFile(eepromFile) && understood;
    if (traceFile != nullptr) {
        std::lock_guard<std::mutex> guard(lock_);
        traceFile_ = traceFile;
    }
    return understood;
}

int McuDevice::Init() {
    std::lock_guard<std::mutex> guard(lock_);
    ++counters_.inits;
    return 0;
}

int McuDevice::Exit() {
    std::lock_guard<std::mutex> guard(lock_);
    ++counters_.exits;
    return 0;
}

hid_device_* McuDevice::Open(unsigned short vendorId, unsigned short productId) {
    std::lock_guard<std::mutex> guard(lock_);
    ++counters_.openAttempts;
    if (mode_ == Mode::Absent || vendorId != hidproto::kVendorId || productId != hidproto::kProductId) {
        return nullptr;
    }
    ++counters_.opens;
    ++counters_.openHandles;
    counters_.peakOpenHandles = std::max(counters_.peakOpenHandles, counters_.openHandles);
    return new hid_device_;
}

void McuDevice::Close(hid_device_* device) {
    if (device == nullptr) return;
    std::lock_guard<std::mutex> guard(lock_);
    ++counters_.closes;
    --counters_.openHandles;
    delete device;
}

int McuDevice::Write(hid_device_* device, const unsigned char* data, size_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    ++counters_.writes;
    if (device == nullptr || data == nullptr || mode_ == Mode::FailWrites) return -1;
    if (mode_ == Mode::WriteNothing) return 0;
    ReceivedFrame frame = Classify(data, length);
    frame.libraryOpen = counters_.inits > counters_.exits;
    Keep(received_, frame);
    Trace(frame);
    // A malformed report is taken off the bus but ignored, as the firmware does.
    if (frame.kind != FrameKind::Malformed) {
        std::vector<uint8_t> reply = Answer(frame);
        if (mode_ != Mode::Silent) {
            const uint64_t delay = mode_ == Mode::Late ? lateMs_ : 0;
            device->replies.push_back({std::move(reply), NowLocked() + delay});
        }
    }
    return static_cast<int>(length);
}

int McuDevice::Read(hid_device_* device, unsigned char* data, size_t length, int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    ++counters_.reads;
    ReadRecord record;
    record.startMs = NowLocked();
    record.timeoutMs = timeoutMs;
    if (device == nullptr || mode_ == Mode::FailReads) {
        record.result = -1;
    } else if (mode_ == Mode::Throw) {
        Keep(reads_, record);
        throw std::runtime_error("virtual microcontroller: driver fault");
    } else {
        const uint64_t deadline = timeoutMs < 0 ? UINT64_MAX / 2 : record.startMs + static_cast<uint64_t>(timeoutMs);
        if (!device->replies.empty() && device->replies.front().readyAtMs <= deadline) {
            WaitUntil(lock, device->replies.front().readyAtMs);
            const std::vector<uint8_t> reply = std::move(device->replies.front().reply);
            device->replies.pop_front();
            const size_t count = std::min(length, reply.size());
            std::memcpy(data, reply.data(), count);
            record.result = static_cast<int>(count);
        } else {
            WaitUntil(lock, deadline);
            record.result = 0;
        }
    }
    record.waitedMs = NowLocked() - record.startMs;
    Keep(reads_, record);
    return record.result;
}

uint64_t McuDevice::NowLocked() const {
    if (fakeClock_) return fakeNowMs_;
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void McuDevice::WaitUntil(std::unique_lock<std::mutex>& lock, uint64_t untilMs) {
    if (fakeClock_) {
        fakeNowMs_ = std::max(fakeNowMs_, untilMs);
        return;
    }
    for (uint64_t now = NowLocked(); now < untilMs; now = NowLocked()) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(untilMs - now));
        lock.lock();
    }
}

ReceivedFrame McuDevice::Classify(const unsigned char* data, size_t length) const {
    ReceivedFrame received;
    received.timeMs = NowLocked();
    received.bytes.assign(data, data + length);
    if (length != hidproto::kFrameSize) return received;
    Frame frame;
    std::memcpy(frame.data(), data, frame.size());
    received.kind = KindOf(frame);
    received.code = frame[hidproto::kCodeOffset];
    if (received.kind == FrameKind::Parameter) received.value = frame[hidproto::kValueOffset];
    return received;
}

// The reply, without the report id: a read gets the block in reply bytes
// 14..61, everything else is acknowledged by echoing the request.
std::vector<uint8_t> McuDevice::Answer(const ReceivedFrame& received) {
    Frame reply;
    std::memcpy(reply.data(), received.bytes.data(), reply.size());
    if (received.kind == FrameKind::BlockWrite) {
        std::memcpy(eeprom_.data(), reply.data() + hidproto::kBlockOffset, eeprom_.size());
        SaveEeprom();
    } else if (received.kind == FrameKind::BlockRead) {
        std::memcpy(reply.data() + hidproto::kBlockOffset, eeprom_.data(), eeprom_.size());
        reply[hidproto::kChecksumOffset] = hidproto::FrameChecksum(reply);
    }
    return std::vector<uint8_t>(reply.begin() + 1, reply.end());
}

void McuDevice::SaveEeprom() const {
    if (eepromFile_.empty()) return;
    std::ofstream out(eepromFile_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(eeprom_.data()), static_cast<std::streamsize>(eeprom_.size()));
}

void McuDevice::Trace(const ReceivedFrame& frame) const {
    if (traceFile_.empty()) return;
    if (FILE* file = std::fopen(traceFile_.c_str(), "a")) {
        std::fprintf(file, "%llu ms %s code=0x%02X value=%u\n", static_cast<unsigned long long>(frame.timeMs),
                     KindName(frame.kind), frame.code, frame.value);
        std::fclose(file);
    }
}

void McuDevice::Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    mode_ = Mode::Normal;
    lateMs_ = 0;
    fakeClock_ = false;
    eeprom_ = DefaultBlock();
    eepromFile_.clear();
    traceFile_.clear();
    received_.clear();
    reads_.clear();
    const Counters kept = counters_;
    counters_ = Counters();
    counters_.inits = kept.inits;
    counters_.exits = kept.exits;
    counters_.openHandles = kept.openHandles;
}

void McuDevice::SetMode(Mode mode, uint32_t lateMs) {
    std::lock_guard<std::mutex> guard(lock_);
    mode_ = mode;
    lateMs_ = lateMs;
}

void McuDevice::UseFakeClock(bool fake) {
    std::lock_guard<std::mutex> guard(lock_);
    if (fake == fakeClock_) return;
    const uint64_t now = NowLocked();
    fakeClock_ = fake;
    fakeNowMs_ = now;
}

uint64_t McuDevice::NowMs() {
    std::lock_guard<std::mutex> guard(lock_);
    return NowLocked();
}

Counters McuDevice::GetCounters() {
    std::lock_guard<std::mutex> guard(lock_);
    return counters_;
}

std::vector<ReceivedFrame> McuDevice::Received() {
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

std::vector<ReadRecord> McuDevice::Reads() {
    std::lock_guard<std::mutex> guard(lock_);
    return reads_;
}

hidproto::Block McuDevice::Eeprom() {
    std::lock_guard<std::mutex> guard(lock_);
    return eeprom_;
}

void McuDevice::SetEeprom(const hidproto::Block& block) {
    std::lock_guard<std::mutex> guard(lock_);
    eeprom_ = block;
    SaveEeprom();
}

bool McuDevice::SetEepromFile(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    eepromFile_ = path;
    if (path.empty()) return true;
    hidproto::Block loaded;
    std::ifstream in(path, std::ios::binary);
    if (in.read(reinterpret_cast<char*>(loaded.data()), static_cast<std::streamsize>(loaded.size()))) {
        eeprom_ = loaded;
        return true;
    }
    in.close();
    SaveEeprom();
    return std::ifstream(path, std::ios::binary).good();
}

}  // namespace vmcu
