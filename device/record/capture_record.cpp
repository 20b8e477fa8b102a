#include "device/record/capture_record.h"

#include <cstdio>
#include <cstring>

#include "device/device_contract.h"
#include "log/log_writer.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void Log(int32_t line, const char* format, int a = 0, int b = 0) {
    WriteLog(&LogWriter(), 2, "TavrikCtrl", "CallBackEnroll", line, format, a, b);
}

std::string Decimal(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", value);
    return text;
}

std::string Encode(const unsigned char* image, int32_t length) {
    if (!image || length <= 0) return std::string();
    return Base64Encode(image, static_cast<size_t>(length));
}

// Success: the images the eye type names, and the quality check. Returns the status.
int32_t FillSuccess(const CaptureAttempt& a, bool forceAccept, Json::Value& record) {
    Log(__LINE__, "采集成功");
    Log(__LINE__, "左眼图像质量(%d),右眼图像质量(%d)", a.leftScore, a.rightScore);
    bool passes;
    std::string left, right;
    switch (a.eyeType) {
    case kEyeBoth:
        left = Encode(a.leftImage, a.imageLength);
        right = Encode(a.rightImage, a.imageLength);
        passes = a.leftScore >= kQualityThreshold && a.rightScore >= kQualityThreshold;
        break;
    case kEyeRight:
        right = Encode(a.rightImage, a.imageLength);
        passes = a.rightScore >= kQualityThreshold;
        break;
    case kEyeLeft:
        left = Encode(a.leftImage, a.imageLength);
        passes = a.leftScore >= kQualityThreshold;
        break;
    default:
        record["hmzp_zy"] = "";
        record["hmzp_yy"] = "";
        return 0;
    }
    record["hmzp_zy"] = left;
    record["hmzp_yy"] = right;
    if (passes || forceAccept) {
        record["flgResult"] = "0";
        return 0;
    }
    Log(__LINE__, "图像质量不合格,阈值(%d)", kQualityThreshold);
    record["flgResult"] = "-1";
    return -1;
}

// Pairs of output characters for every 12-bit group: two table reads per 3 bytes.
const char* PairTable() {
    static const std::string table = [] {
        std::string t(4096 * 2, '\0');
        for (int i = 0; i < 4096; ++i) {
            t[2 * i] = kAlphabet[i >> 6];
            t[2 * i + 1] = kAlphabet[i & 63];
        }
        return t;
    }();
    return table.data();
}

}  // namespace

std::string Base64Encode(const unsigned char* bytes, size_t length) {
    std::string out;
    if (!bytes || length == 0) return out;
    out.resize((length + 2) / 3 * 4);
    const char* pairs = PairTable();
    char* p = &out[0];
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        std::memcpy(p, pairs + 2 * (v >> 12), 2);
        std::memcpy(p + 2, pairs + 2 * (v & 0xFFF), 2);
        p += 4;
    }
    const size_t rest = length - i;
    if (rest > 0) {
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (rest == 2) v |= uint32_t(bytes[i + 1]) << 8;
        *p++ = kAlphabet[v >> 18];
        *p++ = kAlphabet[(v >> 12) & 63];
        *p++ = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        *p++ = '=';
    }
    return out;
}

std::string FormatCaptureId(const CaptureGuid& g) {
    char text[128] = {};
    std::snprintf(text, sizeof text, "%08x%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x", static_cast<unsigned>(g.data1),
                  g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
                  g.data4[7]);
    return text;
}

std::string MakeCaptureId() {
    CaptureGuid guid;
    if (!NewCaptureGuid(&guid)) return std::string();
    return FormatCaptureId(guid);
}

int32_t BuildCaptureRecord(const CaptureAttempt& a, const RecordFields& f, Json::Value* out) {
    Json::Value record(Json::objectValue);
    int32_t status;
    if (a.outcome == kOutcomeSuccess) {
        status = FillSuccess(a, f.forceAccept, record);
    } else if (a.outcome == kOutcomeTimeout) {
        Log(__LINE__, "采集超时");
        record["flgResult"] = "-2";
        record["hmzp_zy"] = "";
        record["hmzp_yy"] = "";
        status = -2;
    } else {
        Log(__LINE__, "采集失败");
        record["flgResult"] = Decimal(a.outcome);
        record["hmzp_zy"] = "";
        record["hmzp_yy"] = "";
        status = a.outcome;
    }
    record["ir_id"] = f.captureId;
    record["cjtphs"] = Decimal(f.elapsedSeconds);
    record["sbxh"] = f.model;
    record["sbbh"] = f.serial;
    record["zy_xxzlpf"] = Decimal(a.leftScore);
    record["yy_xxzlpf"] = Decimal(a.rightScore);
    record["sbcsdm"] = f.organisation;
    *out = std::move(record);
    return status;
}

bool CollectRecord(const Json::Value& record, int32_t outcome, int32_t captureMode, Json::Value* stepTwo,
                   std::string* eventText) {
    if (captureMode == 1) {
        *eventText = WriteCompact(record);
        return true;
    }
    if (captureMode != 2) return false;
    if (!stepTwo->isArray()) *stepTwo = Json::Value(Json::arrayValue);
    stepTwo->append(record);
    if (stepTwo->size() == 2) {
        *eventText = WriteCompact(*stepTwo);
        return true;
    }
    if (outcome != kOutcomeTimeout) return false;
    *stepTwo = Json::Value(Json::arrayValue);
    stepTwo->append(record);
    stepTwo->append(record);
    *eventText = WriteCompact(*stepTwo);
    return true;
}
