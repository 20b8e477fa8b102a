// The HID channel to the device's microcontroller: every operation is one
// free-standing exchange (open, write one 65-byte report, read one report,
// close). Results: 1 success, -3001 no device, -3002 no answer in time,
// -3003 read error, -3006 write failed, -9000 an exception inside the exchange.
//
// A session runs from opening the device to closing it. Within a session,
// the first exchange the microcontroller leaves unanswered (or that fails
// after the open) marks the channel unresponsive: later exchanges of that
// session answer -3002 at once instead of each waiting out its time-out, so
// a silent microcontroller costs the host's window one time-out, not one per
// call, and captures go on with the cameras alone. The first failure of a
// session (and outside sessions, the first after a success) is written to the
// log and the debug trace.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class CHidOperate {
public:
    // Takes the HID library into use before an object whose destructor
    // exchanges is made: the library then outlives that object.
    static void use_library();
    // Opens a session (idempotent while one is open) and closes it; closing
    // forgets the unresponsive mark, so the next session tries again.
    static void begin_session();
    static void end_session();
    // False once the channel is marked unresponsive in the open session.
    static bool responsive();
    // One-byte command that follows the capture's progress.
    static int32_t send_command(uint8_t code);
    // One-byte level sent as a parameter (for example the white light, code 82).
    static int32_t send_param(uint8_t value, uint8_t code);
    // Reads the 48-byte information block: serial, model type, stored exposures.
    static int32_t get_device_sn(std::string& serial, int32_t& modelType, int32_t& leftCurrent, int32_t& rightCurrent);
    // Writes the information block back; -1 empty serial, -2 serial longer than 48 characters.
    static int32_t set_device_sn(const std::string& serial, int32_t modelType, int32_t leftCurrent,
                                 int32_t rightCurrent);
};

// The white light's level, sent as a parameter before the device opens.
constexpr uint8_t kWhiteLightParam = 0x52;
constexpr uint32_t kMaximumWhiteLevel = 254;
constexpr uint32_t kDefaultWhiteLevel = 240;

// Default exposure of each camera: 230 at load, then the information block's values.
extern std::atomic<int32_t> LeftDefaultExposure;
extern std::atomic<int32_t> RightDefaultExposure;
