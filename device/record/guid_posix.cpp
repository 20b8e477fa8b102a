// GUIDs for capture ids from the system's random source.
#include <cstdio>

#include "device/record/capture_record.h"

bool NewCaptureGuid(CaptureGuid* guid) {
    unsigned char bytes[16];
    FILE* source = std::fopen("/dev/urandom", "rb");
    if (!source) return false;
    const bool ok = std::fread(bytes, 1, sizeof bytes, source) == sizeof bytes;
    std::fclose(source);
    if (!ok) return false;
    bytes[6] = (bytes[6] & 0x0F) | 0x40;  // version 4
    bytes[8] = (bytes[8] & 0x3F) | 0x80;
    guid->data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    guid->data2 = uint16_t((bytes[4] << 8) | bytes[5]);
    guid->data3 = uint16_t((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) guid->data4[i] = bytes[8 + i];
    return true;
}
