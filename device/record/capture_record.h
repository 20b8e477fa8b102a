// The capture result record: the JSON text a host delivers (the control in
// OnCapture), its Base64 images, its capture id and the pairing of two-step
// results. Portable and host-neutral; each host delivers it its own way.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/record/compact_json.h"

constexpr int32_t kQualityThreshold = 60;  // a score passes at 60 and above

// Standard Base64 (RFC 4648, "=" padding, no line breaks); "" for no input.
std::string Base64Encode(const unsigned char* bytes, size_t length);

// A GUID in its usual fields.
struct CaptureGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// 32 lower-case hex digits: the three fields, then the eight bytes in order.
std::string FormatCaptureId(const CaptureGuid& guid);
// A new GUID from the system; false when none can be made.
bool NewCaptureGuid(CaptureGuid* guid);
// A new capture id, or "" when the system cannot make a GUID.
std::string MakeCaptureId();

// One finished capture attempt, as the device passes it to the result routine.
struct CaptureAttempt {
    const unsigned char* leftImage;
    const unsigned char* rightImage;
    int32_t imageLength;
    int32_t eyeType;
    int32_t leftScore;
    int32_t rightScore;
    int32_t outcome;
};

// The members of the record that do not come from the attempt.
struct RecordFields {
    long long elapsedSeconds = 0;
    std::string captureId;
    std::string serial;
    std::string model;
    std::string organisation;
    bool forceAccept = false;
};

// Fills *record for the attempt and returns the event status.
int32_t BuildCaptureRecord(const CaptureAttempt& attempt, const RecordFields& fields, Json::Value* record);


// Decides what a record delivers in the given capture mode. Returns true and
// sets *eventText when an event is due; false when the record waits for its
// partner (mode 2) or the mode delivers nothing.
bool CollectRecord(const Json::Value& record, int32_t outcome, int32_t captureMode, Json::Value* stepTwoResults,
                   std::string* eventText);
