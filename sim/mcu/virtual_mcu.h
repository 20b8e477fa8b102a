// Test and demo control of the virtual K7Q microcontroller. The simulator
// implements the hidapi functions the HID channel calls (hid_init, hid_exit,
// hid_open, hid_write, hid_read_timeout, hid_close, hid_error), so a program
// that links it in place of hidapi talks to this device. Tests steer it
// in-process with the calls below; a separate process (the control under
// Wine) picks the mode and the EEPROM file from the environment:
//   K7Q_SIM_MODE    normal | absent | silent | fail-write | write-nothing | fail-read | late:<ms>
//   K7Q_SIM_EEPROM  file that holds the 48-byte block across runs
//   K7Q_SIM_TRACE   file to which one line per received report is appended
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hid/hid_frame.h"

namespace vmcu {

enum class Mode {
    Normal,        // answers every well-formed report at once
    Absent,        // hid_open finds nothing
    Silent,        // takes reports, never answers
    FailWrites,    // hid_write returns -1
    WriteNothing,  // hid_write returns 0
    FailReads,     // hid_read_timeout returns -1
    Late,          // answers after the configured delay
    Throw,         // hid_read_timeout throws, like a faulty driver layer
};

enum class FrameKind { Command, Parameter, BlockRead, BlockWrite, Malformed };

struct ReceivedFrame {
    uint64_t timeMs = 0;  // on the simulator clock
    FrameKind kind = FrameKind::Malformed;
    uint8_t code = 0;   // frame byte 12
    uint8_t value = 0;  // parameter frames: byte 62
    std::vector<uint8_t> bytes;  // the report as written
    bool libraryOpen = false;    // hid_init had been called more often than hid_exit
};

struct ReadRecord {
    uint64_t startMs = 0;
    int timeoutMs = 0;
    uint64_t waitedMs = 0;  // simulator time the read took
    int result = 0;
};

struct Counters {
    int inits = 0;  // since the process started (Reset keeps them)
    int exits = 0;
    int openAttempts = 0;
    int opens = 0;
    int closes = 0;
    int openHandles = 0;  // live handles right now
    int peakOpenHandles = 0;
    int writes = 0;
    int reads = 0;
};

// Normal mode, real clock, default block, no files; clears records and counters.
void Reset();
void SetMode(Mode mode, uint32_t lateMs = 0);
// On the fake clock a read that would wait returns at once and advances the
// simulator clock by the time it would have waited.
void UseFakeClock(bool fake);
uint64_t NowMs();

Counters GetCounters();
std::vector<ReceivedFrame> Received();
std::vector<ReadRecord> Reads();

hidproto::Block Eeprom();
void SetEeprom(const hidproto::Block& block);
// Loads the block from `path` when it holds one, else writes the current block
// there; every block write is then saved to it. An empty path stops persisting.
bool SetEepromFile(const std::string& path);
// A plausible device: 12-digit serial, "K7QA", exposures 170/180 and 175/185.
hidproto::Block DefaultBlock();

// What the environment variables set when the device is first used; null
// leaves a setting alone. False when the mode is not understood or the
// EEPROM file cannot be used.
bool Configure(const char* mode, const char* eepromFile, const char* traceFile);

// "late:250" and the other K7Q_SIM_MODE words.
bool ParseMode(const std::string& text, Mode* mode, uint32_t* lateMs);

}  // namespace vmcu
