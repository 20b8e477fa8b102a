// The capture result record byte for byte, Base64, capture ids, the two-step
// pairing and the JSON parameters.
#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <vector>

#include "device/record/capture_record.h"
#include "control/record/control_state.h"
#include "device/record/json_params.h"
#include "control/record/site_allow_list.h"

namespace {

const unsigned char kLeft[] = {'a', 'b', 'c'};    // "YWJj"
const unsigned char kRight[] = {0xFB, 0xFF, 0x3F};  // "+/8/"

RecordFields Fields() {
    RecordFields f;
    f.elapsedSeconds = 5;
    f.captureId = "0123456789abcdef0123456789abcdef";
    f.serial = "SN1";
    f.model = "05";
    f.organisation = "120000000000000034";
    return f;
}

std::string Tail(const std::string& eyes, const std::string& leftScore, const std::string& rightScore) {
    return eyes + "\"ir_id\":\"0123456789abcdef0123456789abcdef\",\"sbbh\":\"SN1\",\"sbcsdm\":\"120000000000000034\"," +
           "\"sbxh\":\"05\",\"yy_xxzlpf\":\"" + rightScore + "\",\"zy_xxzlpf\":\"" + leftScore + "\"}";
}

std::string Record(const CaptureAttempt& a, const RecordFields& f, int32_t* status) {
    Json::Value record;
    *status = BuildCaptureRecord(a, f, &record);
    return WriteCompact(record);
}

}  // namespace

TEST(Base64Test, EncodesRfcVectorsAndPadding) {
    auto enc = [](const char* s) { return Base64Encode(reinterpret_cast<const unsigned char*>(s), strlen(s)); };
    EXPECT_EQ(enc(""), "");
    EXPECT_EQ(enc("f"), "Zg==");
    EXPECT_EQ(enc("fo"), "Zm8=");
    EXPECT_EQ(enc("foo"), "Zm9v");
    EXPECT_EQ(enc("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode(kRight, 3), "+/8/");
    EXPECT_EQ(Base64Encode(nullptr, 4), "");
}

TEST(Base64Test, EyeBitmapGives411040CharactersEndingInPadding) {
    std::vector<unsigned char> image(BitmapFileSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 7);
    const std::string text = Base64Encode(image.data(), image.size());
    ASSERT_EQ(text.size(), 411040u);
    EXPECT_EQ(text.substr(text.size() - 2), "==");
    EXPECT_EQ(text.substr(0, 8), "AAcOFRwj");  // bytes 0,7,14,21,28,35
}

TEST(CaptureIdTest, FormatsFieldsThenBytesInLowerCase) {
    const CaptureGuid g{0x01AB23CDu, 0xEF45, 0x0A6B, {0xC7, 0x8D, 0x00, 0x9E, 0xF1, 0x02, 0x34, 0x56}};
    EXPECT_EQ(FormatCaptureId(g), "01ab23cdef450a6bc78d009ef1023456");
}

TEST(CaptureIdTest, NewIdsAreDistinct32HexDigits) {
    const std::string a = MakeCaptureId(), b = MakeCaptureId();
    ASSERT_EQ(a.size(), 32u);
    for (char c : a) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f')) << a;
    EXPECT_NE(a, b);
}

TEST(CaptureRecordTest, BothEyesWithOneLowScoreFailsTheCheck) {
    int32_t status = 0;
    const CaptureAttempt a{kLeft, kRight, 3, 3, 60, 59, kOutcomeSuccess};
    EXPECT_EQ(Record(a, Fields(), &status),
              "{\"cjtphs\":\"5\",\"flgResult\":\"-1\"," +
                  Tail("\"hmzp_yy\":\"+/8/\",\"hmzp_zy\":\"YWJj\",", "60", "59"));
    EXPECT_EQ(status, -1);
    RecordFields forced = Fields();
    forced.forceAccept = true;
    EXPECT_EQ(Record(a, forced, &status),
              "{\"cjtphs\":\"5\",\"flgResult\":\"0\"," + Tail("\"hmzp_yy\":\"+/8/\",\"hmzp_zy\":\"YWJj\",", "60", "59"));
    EXPECT_EQ(status, 0);
}

TEST(CaptureRecordTest, OneEyeEncodesAndChecksOnlyThatEye) {
    int32_t status = 0;
    const CaptureAttempt right{kLeft, kRight, 3, 1, 0, 60, kOutcomeSuccess};
    EXPECT_EQ(Record(right, Fields(), &status),
              "{\"cjtphs\":\"5\",\"flgResult\":\"0\"," + Tail("\"hmzp_yy\":\"+/8/\",\"hmzp_zy\":\"\",", "0", "60"));
    EXPECT_EQ(status, 0);
    const CaptureAttempt left{kLeft, kRight, 3, 2, 59, 99, kOutcomeSuccess};
    EXPECT_EQ(Record(left, Fields(), &status),
              "{\"cjtphs\":\"5\",\"flgResult\":\"-1\"," + Tail("\"hmzp_yy\":\"\",\"hmzp_zy\":\"YWJj\",", "59", "99"));
    EXPECT_EQ(status, -1);
}

TEST(CaptureRecordTest, OtherEyeTypeHasNoFlagAndNoImages) {
    int32_t status = 5;
    const CaptureAttempt a{kLeft, kRight, 3, 7, 10, 20, kOutcomeSuccess};
    EXPECT_EQ(Record(a, Fields(), &status), "{\"cjtphs\":\"5\"," + Tail("\"hmzp_yy\":\"\",\"hmzp_zy\":\"\",", "10", "20"));
    EXPECT_EQ(status, 0);
}

TEST(CaptureRecordTest, TimeoutAndFailuresCarryTheirOutcome) {
    int32_t status = 0;
    const std::string noImages = "\"hmzp_yy\":\"\",\"hmzp_zy\":\"\",";
    EXPECT_EQ(Record({nullptr, nullptr, 0, -1, 0, 0, kOutcomeTimeout}, Fields(), &status),
              "{\"cjtphs\":\"5\",\"flgResult\":\"-2\"," + Tail(noImages, "0", "0"));
    EXPECT_EQ(status, -2);
    for (int32_t outcome : {2, 4, -1}) {
        EXPECT_EQ(Record({nullptr, nullptr, 0, -1, 0, 0, outcome}, Fields(), &status),
                  "{\"cjtphs\":\"5\",\"flgResult\":\"" + std::to_string(outcome) + "\"," + Tail(noImages, "0", "0"));
        EXPECT_EQ(status, outcome);
    }
}

TEST(CaptureRecordTest, TextIsEscapedOnlyWhereJsonNeedsIt) {
    RecordFields f = Fields();
    f.serial = "a\"b\\c\n\t\x01/";
    int32_t status = 0;
    const std::string text = Record({nullptr, nullptr, 0, -1, 0, 0, 2}, f, &status);
    EXPECT_NE(text.find("\"sbbh\":\"a\\\"b\\\\c\\n\\t\\u0001/\""), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST(CaptureRecordTest, CodePageBytesPassUnchanged) {
    int32_t status = 0;
    RecordFields f = Fields();
    f.serial = "\xB0\xA1SN\xC9";  // GBK text ending in a lead byte: not valid UTF-8
    f.organisation = "\x80\x7F\xFF";
    const std::string text = Record({nullptr, nullptr, 0, -1, 0, 0, kOutcomeTimeout}, f, &status);
    EXPECT_EQ(text,
              "{\"cjtphs\":\"5\",\"flgResult\":\"-2\",\"hmzp_yy\":\"\",\"hmzp_zy\":\"\","
              "\"ir_id\":\"0123456789abcdef0123456789abcdef\",\"sbbh\":\"\xB0\xA1SN\xC9\","
              "\"sbcsdm\":\"\x80\x7F\xFF\",\"sbxh\":\"05\",\"yy_xxzlpf\":\"0\",\"zy_xxzlpf\":\"0\"}");
}

TEST(CompactJsonTest, WritesEveryValueKindCompactly) {
    Json::Value v(Json::objectValue);
    v["b"] = true;
    v["a"] = Json::Value(Json::arrayValue);
    v["a"].append(Json::Value());
    v["a"].append(-3);
    v["a"].append(Json::Value(Json::UInt64(18446744073709551615ull)));
    v["a"].append(0.5);
    v["\xC4\xE3"] = "\x1F\b\f\r";
    v["Z"] = Json::Value(Json::objectValue);
    EXPECT_EQ(WriteCompact(v), "{\"Z\":{},\"a\":[null,-3,18446744073709551615,0.5],\"b\":true,"
                               "\"\xC4\xE3\":\"\\u001f\\b\\f\\r\"}");
    EXPECT_EQ(WriteCompact(Json::Value(Json::arrayValue)), "[]");
}

TEST(StepTwoTest, FirstSuccessWaitsThenThePairIsDelivered) {
    Json::Value pending(Json::arrayValue);
    Json::Value first, second;
    first["ir_id"] = "1";
    second["ir_id"] = "2";
    std::string text;
    EXPECT_FALSE(CollectRecord(first, kOutcomeSuccess, 2, &pending, &text));
    EXPECT_TRUE(text.empty());
    ASSERT_TRUE(CollectRecord(second, kOutcomeSuccess, 2, &pending, &text));
    EXPECT_EQ(text, "[{\"ir_id\":\"1\"},{\"ir_id\":\"2\"}]");
}

TEST(StepTwoTest, TimeoutAloneIsDeliveredTwice) {
    Json::Value pending(Json::arrayValue);
    Json::Value timeout;
    timeout["ir_id"] = "t";
    std::string text;
    ASSERT_TRUE(CollectRecord(timeout, kOutcomeTimeout, 2, &pending, &text));
    EXPECT_EQ(text, "[{\"ir_id\":\"t\"},{\"ir_id\":\"t\"}]");
}

TEST(StepTwoTest, OneResultModeDeliversTheRecordAndOtherModesNothing) {
    Json::Value pending(Json::arrayValue);
    Json::Value record;
    record["a"] = "b";
    std::string text;
    ASSERT_TRUE(CollectRecord(record, kOutcomeSuccess, 1, &pending, &text));
    EXPECT_EQ(text, "{\"a\":\"b\"}");
    EXPECT_EQ(pending.size(), 0u);
    text.clear();
    EXPECT_FALSE(CollectRecord(record, kOutcomeSuccess, 3, &pending, &text));
    EXPECT_TRUE(text.empty());
}

// The result routine end to end, with a recording delivery.
namespace {
struct Sent {
    NativeWindow window;
    int32_t status;
    std::string text;
};
std::vector<Sent> sent;
bool windowAlive = true;

class FakeTarget : public IResultTarget {
public:
    std::string OrganisationCode() const override { return "ORG"; }
    NativeWindow ResultWindow() const override { return const_cast<FakeTarget*>(this); }
};
}  // namespace

bool SendCaptureResult(NativeWindow window, int32_t status) {
    if (!windowAlive) return false;
    sent.push_back({window, status, ResultText});
    CaptureRunning = 0;
    return true;
}

class CallBackEnrollTest : public ::testing::Test {
protected:
    void SetUp() override {
        sent.clear();
        windowAlive = true;
        SetActiveControl(&target_);
        CaptureMode = 1;
        ForceAccept = 0;
        CaptureRunning = 1;
        now = 1700000000;
        SetRecordClock([] { return now; });
        CaptureStartTime = now;
        DeviceSerialText = "K7Q-0001";
        DeviceModelText = "05";
        StepTwoResults = Json::Value(Json::arrayValue);
    }
    void TearDown() override {
        WithdrawActiveControl(&target_);
        SetRecordClock(nullptr);
    }
    static long long now;
    FakeTarget target_;
};

long long CallBackEnrollTest::now = 0;

TEST_F(CallBackEnrollTest, SuccessReachesTheActiveWindowWithTheRecord) {
    CallBackEnroll(kLeft, kRight, 3, 3, 80, 90, kOutcomeSuccess);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].window, &target_);
    EXPECT_EQ(sent[0].status, 0);
    Json::Value parsed;
    ASSERT_TRUE(ParseParamObject(sent[0].text, &parsed));
    EXPECT_EQ(parsed["cjtphs"].asString(), "0");  // within the same second
    EXPECT_EQ(parsed["sbbh"].asString(), "K7Q-0001");
    EXPECT_EQ(parsed["sbxh"].asString(), "05");
    EXPECT_EQ(parsed["sbcsdm"].asString(), "ORG");
    EXPECT_EQ(parsed["hmzp_zy"].asString(), "YWJj");
    EXPECT_EQ(parsed["ir_id"].asString().size(), 32u);
    EXPECT_EQ(parsed["zy_xxzlpf"].asString(), "80");
}

TEST_F(CallBackEnrollTest, ElapsedTimeCountsWholeSeconds) {
    now += 7;
    CallBackEnroll(nullptr, nullptr, 0, -1, 0, 0, kOutcomeTimeout);
    ASSERT_EQ(sent.size(), 1u);
    Json::Value parsed;
    ASSERT_TRUE(ParseParamObject(sent[0].text, &parsed));
    EXPECT_EQ(parsed["cjtphs"].asString(), "7");
    EXPECT_EQ(sent[0].status, -2);
}

TEST_F(CallBackEnrollTest, TwoStepPairIsOneEventWithTheSecondStatus) {
    CaptureMode = 2;
    CallBackEnroll(kLeft, kRight, 3, 3, 80, 90, kOutcomeSuccess);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(CaptureRunning.load(), 1);
    CallBackEnroll(kLeft, kRight, 3, 3, 80, 10, kOutcomeSuccess);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].status, -1);
    Json::Reader reader;
    Json::Value pair;
    ASSERT_TRUE(reader.parse(sent[0].text, pair));
    ASSERT_TRUE(pair.isArray());
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[0]["flgResult"].asString(), "0");
    EXPECT_EQ(pair[1]["flgResult"].asString(), "-1");
    EXPECT_NE(pair[0]["ir_id"], pair[1]["ir_id"]);
}

TEST_F(CallBackEnrollTest, TwoStepTimeoutRepeatsTheSameRecord) {
    CaptureMode = 2;
    CallBackEnroll(nullptr, nullptr, 0, -1, 0, 0, kOutcomeTimeout);
    ASSERT_EQ(sent.size(), 1u);
    Json::Reader reader;
    Json::Value pair;
    ASSERT_TRUE(reader.parse(sent[0].text, pair));
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[0], pair[1]);
    EXPECT_EQ(sent[0].status, -2);
}

TEST_F(CallBackEnrollTest, WithdrawnOrDeadWindowGetsNothingAndTheCaptureEnds) {
    WithdrawActiveControl(&target_);
    CallBackEnroll(nullptr, nullptr, 0, -1, 0, 0, kOutcomeStopped);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(CaptureRunning.load(), 0);
    SetActiveControl(&target_);
    CaptureRunning = 1;
    windowAlive = false;
    CallBackEnroll(nullptr, nullptr, 0, -1, 0, 0, kOutcomeStopped);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(CaptureRunning.load(), 0);
}

TEST(JsonParamsTest, OnlyObjectsAreParameterDocuments) {
    Json::Value object;
    EXPECT_FALSE(ParseParamObject("", &object));
    EXPECT_FALSE(ParseParamObject("{\"log\":", &object));
    EXPECT_FALSE(ParseParamObject("[1]", &object));
    EXPECT_FALSE(ParseParamObject("null", &object));
    EXPECT_FALSE(ParseParamObject("\"x\"", &object));
    EXPECT_TRUE(ParseParamObject("{}", &object));
    EXPECT_TRUE(ParseParamObject("// comment\n{\"eyeType\":\"2\" /* two */}", &object));
    EXPECT_EQ(object["eyeType"].asString(), "2");
}

TEST(JsonParamsTest, DeeplyNestedDocumentsAreRefusedNotThrown) {
    Json::Value object;
    const std::string deep(1100, '[');
    EXPECT_FALSE(ParseParamObject(deep, &object));
    EXPECT_FALSE(ParseParamObject(deep + std::string(1100, ']'), &object));
    EXPECT_FALSE(ParseParamObject("{\"log\":" + deep, &object));
    std::string objects;
    for (int i = 0; i < 1100; ++i) objects += "{\"a\":";
    EXPECT_FALSE(ParseParamObject(objects, &object));
    // Parameters nested a few levels still parse.
    ASSERT_TRUE(ParseParamObject("{\"log\":\"1\",\"x\":[[[{\"y\":[1]}]]]}", &object));
    EXPECT_EQ(object["log"].asString(), "1");
}

TEST(JsonParamsTest, ValuesAreReadAsText) {
    Json::Value object;
    ASSERT_TRUE(ParseParamObject(
        "{\"s\":\"254\",\"n\":null,\"t\":true,\"f\":false,\"i\":3,\"d\":200.7,\"big\":1e30,\"a\":[1],\"o\":{}}",
        &object));
    std::string v = "keep";
    EXPECT_TRUE(ReadTextOption(object, "missing", &v));
    EXPECT_EQ(v, "keep");
    const std::pair<const char*, const char*> cases[] = {{"s", "254"}, {"n", ""}, {"t", "true"}, {"f", "false"},
                                                         {"i", "3"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(ReadTextOption(object, c.first, &v));
        EXPECT_EQ(v, c.second) << c.first;
    }
    int32_t n = 0;
    EXPECT_TRUE(ReadTextOption(object, "d", &v));
    EXPECT_FALSE(DecimalText(v, &n)) << v;  // a fraction is no level
    EXPECT_TRUE(ReadTextOption(object, "big", &v));
    EXPECT_FALSE(DecimalText(v, &n)) << v;
    v = "keep";
    EXPECT_FALSE(ReadTextOption(object, "a", &v));
    EXPECT_FALSE(ReadTextOption(object, "o", &v));
    EXPECT_EQ(v, "keep");
}

TEST(JsonParamsTest, NumberOptionsAreDecimalTextOnly) {
    int32_t n = 7;
    for (const auto& c : std::vector<std::pair<const char*, int32_t>>{
             {"254", 254}, {"-1", -1}, {"+3", 3}, {"-0", 0}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}}) {
        EXPECT_TRUE(DecimalText(c.first, &n)) << c.first;
        EXPECT_EQ(n, c.second) << c.first;
    }
    n = 7;
    for (const char* bad : {"", "-", "abc", "true", "0x10", " 3", "3 ", "12abc", "1.5", "2147483648",
                            "-2147483649", "99999999999999999999"})
        EXPECT_FALSE(DecimalText(bad, &n)) << bad;
    EXPECT_EQ(n, 7);
}

TEST(JsonParamsTest, TrailingTextIsNoDocument) {
    Json::Value object;
    EXPECT_FALSE(ParseParamObject("{} xyz", &object));
    EXPECT_FALSE(ParseParamObject("{\"eyeType\":\"2\"}{}", &object));
    EXPECT_TRUE(ParseParamObject("{\"eyeType\":\"2\"} \n// done\n", &object));
}

TEST(SiteAllowListTest, OnlyListedOriginsArePages) {
    const std::string list = " https://enrol.example ; http://intranet:8080,https://[::1]:8443 bogus http:// ";
    for (const char* allowed :
         {"https://enrol.example/", "HTTPS://Enrol.Example:443/capture.html?x=1", "https://enrol.example.#top",
          "http://intranet:8080/a/b", "https://[::1]:8443/"})
        EXPECT_TRUE(SiteAllowed(list, allowed)) << allowed;
    for (const char* refused :
         {"http://enrol.example/", "https://enrol.example:8443/", "https://enrol.example.evil.example/",
          "https://evil.example/enrol.example", "https://enrol.example@evil.example/", "http://intranet/",
          "file:///C:/pages/enrol.html", "about:blank", "", "https://[::1]/", "enrol.example"})
        EXPECT_FALSE(SiteAllowed(list, refused)) << refused;
    EXPECT_FALSE(SiteAllowed("", "https://enrol.example/"));
    EXPECT_FALSE(SiteAllowed("https://enrol.example:0", "https://enrol.example:0/"));
}
