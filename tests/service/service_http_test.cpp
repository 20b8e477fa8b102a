// The capture service over real HTTP on the loopback interface: the device
// object on the native scene cameras and the virtual microcontroller, the
// service's routes and checks, a cpp-httplib client.
#include <gtest/gtest.h>
#include <httplib.h>
#include <ifaddrs.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hid/hid_operate.h"
#include "platform/paths.h"
#include "service/http_api.h"
#include "sim/camera/camera_faults.h"
#include "sim/mcu/virtual_mcu.h"
#include "sim/scene/scene_render.h"
#include "tests/service/service_fixture.h"

namespace {

using servicetest::kAllowedOrigin;
using servicetest::Parse;
using servicetest::Service;

// A stored eye bitmap as the analysis reads it: 1078 bytes of headers, then
// the 720 x 720 window around a rendered eye, bottom row first.
std::string StoredEyeWindow() {
    k7qsim::SceneRenderer renderer;
    std::vector<uint8_t> frame(k7qsim::kFrameBytes);
    k7qsim::EyeParams eye;
    eye.subjectSeed = 11;
    eye.irisRadius = 105;
    const k7qsim::GroundTruth t = renderer.Render(eye, k7qsim::CameraControls{230, 0}, frame.data());
    const int x0 = static_cast<int>(t.irisX) - 360;
    std::string file(1078, '\0');
    for (int y = 719; y >= 0; --y)
        file.append(reinterpret_cast<const char*>(&frame[static_cast<size_t>(y) * k7qsim::kFrameWidth + x0]), 720);
    return file;
}

// The status and the error code of a JSON error answer ("" for none).
void ExpectError(const httplib::Result& r, int status, const char* code, int line) {
    SCOPED_TRACE(testing::Message() << "from line " << line);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, status);
    EXPECT_EQ(r->get_header_value("Content-Type"), "application/json");
    EXPECT_EQ(Parse(r->body)["error"]["code"].asString(), code) << r->body;
}

TEST(CaptureServiceHttpTest, OpensCapturesBothEyesAsTheControlsRecordAndCloses) {
    Service svc("well-placed");
    httplib::Client c = svc.Client();
    ExpectError(c.Post("/v1/capture", "{}", "application/json"), 409, "not_open", __LINE__);
    ExpectError(c.Post("/v1/device/open", R"({"whiteLevel":255})", "application/json"), 400, "bad_request", __LINE__);
    auto opened = c.Post("/v1/device/open", R"({"whiteLevel":120})", "application/json");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->status, 200);
    // The microcontroller's first word of the session: the white light's level asked for.
    const std::vector<vmcu::ReceivedFrame> frames = vmcu::Received();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().kind, vmcu::FrameKind::Parameter);
    EXPECT_EQ(frames.front().code, kWhiteLightParam);
    EXPECT_EQ(frames.front().value, 120);
    const Json::Value info = Parse(c.Get("/v1/device")->body);
    EXPECT_TRUE(info["open"].asBool());
    EXPECT_FALSE(info["serial"].asString().empty());

    auto captured = c.Post("/v1/capture", R"({"eye":"both"})", "application/json");
    ASSERT_TRUE(captured);
    ASSERT_EQ(captured->status, 200) << captured->body;
    const Json::Value reply = Parse(captured->body);
    EXPECT_EQ(reply["status"].asInt(), 0);
    const Json::Value& record = reply["record"];
    EXPECT_EQ(record["flgResult"].asString(), "0");
    EXPECT_EQ(record["sbbh"].asString(), info["serial"].asString());
    EXPECT_EQ(record["ir_id"].asString().size(), 32u);
    // Both images are Base64 BMP files of the record's fixed size.
    for (const char* key : {"hmzp_zy", "hmzp_yy"}) {
        const std::string image = record[key].asString();
        EXPECT_EQ(image.substr(0, 2), "Qk") << key;
        EXPECT_EQ(image.size(), (static_cast<size_t>(BitmapFileSize) + 2) / 3 * 4) << key;
    }

    // The prompts the device played, as events in order; none after the last.
    const Json::Value events = Parse(c.Get("/v1/events?after=0&wait=0")->body)["events"];
    ASSERT_GE(events.size(), 1u);
    EXPECT_EQ(events[events.size() - 1]["prompt"].asString(), "success");
    const uint64_t last = events[events.size() - 1]["seq"].asUInt64();
    const auto polled = std::chrono::steady_clock::now();
    EXPECT_EQ(Parse(c.Get("/v1/events?after=" + std::to_string(last) + "&wait=50")->body)["events"].size(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - polled, std::chrono::seconds(2));
    ExpectError(c.Get("/v1/events?after=-1"), 400, "bad_request", __LINE__);

    // Two steps: one answer with both captures' records, each of both eyes.
    auto twoSteps = c.Post("/v1/capture", R"({"eye":"both","twoStep":true})", "application/json");
    ASSERT_TRUE(twoSteps);
    ASSERT_EQ(twoSteps->status, 200) << twoSteps->body;
    const Json::Value pair = Parse(twoSteps->body);
    EXPECT_FALSE(pair.isMember("record"));
    ASSERT_EQ(pair["records"].size(), 2u);
    for (const Json::Value& each : pair["records"]) {
        EXPECT_EQ(each["flgResult"].asString(), "0");
        EXPECT_FALSE(each["hmzp_zy"].asString().empty());
        EXPECT_FALSE(each["hmzp_yy"].asString().empty());
    }
    EXPECT_NE(pair["records"][0]["hmzp_zy"], pair["records"][1]["hmzp_zy"]);

    // A stored 720 x 720 eye window has an iris; an empty one has none.
    const std::string eye = StoredEyeWindow();
    auto analysed = c.Post("/v1/analyse", eye, "application/octet-stream");
    ASSERT_TRUE(analysed);
    EXPECT_EQ(analysed->status, 200);
    const int32_t found = Parse(analysed->body)["status"].asInt();
    EXPECT_TRUE(found == 0 || found == -19) << analysed->body;
    auto blank = c.Post("/v1/analyse", std::string(eye.size(), '\0'), "application/octet-stream");
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->status, 200);
    const int32_t none = Parse(blank->body)["status"].asInt();
    EXPECT_TRUE(none != 0 && none != -19) << blank->body;

    EXPECT_EQ(c.Post("/v1/device/close", "", "application/json")->status, 200);
    EXPECT_FALSE(Parse(c.Get("/v1/device")->body)["open"].asBool());
    ExpectError(c.Post("/v1/analyse", eye, "application/octet-stream"), 409, "not_open", __LINE__);
}

TEST(CaptureServiceHttpTest, ASecondCaptureIsBusyAtOnceAndStopEndsTheFirst) {
    Service svc("never-looks-in");
    httplib::Client c = svc.Client();
    ASSERT_EQ(c.Post("/v1/device/open", "", "application/json")->status, 200);
    auto first = std::async(std::launch::async, [&svc] {
        return svc.Client().Post("/v1/capture", R"({"eye":"left"})", "application/json");
    });
    servicetest::WaitUntilCapturing(c);
    const auto before = std::chrono::steady_clock::now();
    ExpectError(c.Post("/v1/capture", "{}", "application/json"), 409, "busy", __LINE__);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    ExpectError(c.Post("/v1/device/close", "", "application/json"), 409, "busy", __LINE__);

    EXPECT_EQ(c.Post("/v1/capture/stop", "", "application/json")->status, 200);
    const auto stopped = first.get();
    ASSERT_TRUE(stopped);
    ASSERT_EQ(stopped->status, 200);
    EXPECT_EQ(Parse(stopped->body)["record"]["flgResult"].asString(), "2");
    ExpectError(c.Post("/v1/capture/stop", "", "application/json"), 409, "no_capture", __LINE__);
}

// Every refusal is a JSON error; the service answers normally afterwards.
TEST(CaptureServiceHttpTest, HostileRequestsAreRefusedAsJsonAndTheServiceKeepsAnswering) {
    Service svc("well-placed");
    httplib::Client c = svc.Client();
    const std::string port = std::to_string(svc.Port());
    ExpectError(c.Get("/v1/device", {{"Host", "rebound.example:" + port}}), 403, "host_refused", __LINE__);
    ExpectError(c.Get("/v1/device", {{"Host", "127.0.0.1:1"}}), 403, "host_refused", __LINE__);
    ExpectError(c.Get("/v1/device", {{"Origin", "http://elsewhere.example"}}), 403, "origin_refused", __LINE__);
    ExpectError(c.Get("/v1/device", {{"Origin", "null"}}), 403, "origin_refused", __LINE__);
    ExpectError(c.Post("/v1/capture", std::string(service::kMaxBodyBytes + 1, ' '), "application/json"), 413,
                "too_large", __LINE__);
    ExpectError(c.Post("/v1/capture", R"({"eye":"middle"})", "application/json"), 400, "bad_request", __LINE__);
    c.Post("/v1/device/open", "", "application/json");
    ExpectError(c.Post("/v1/capture", R"({"eye":"both"} trailing)", "application/json"), 400, "bad_request",
                __LINE__);
    ExpectError(c.Post("/v1/capture", R"({"force":"yes"})", "application/json"), 400, "bad_request", __LINE__);
    ExpectError(c.Get("/v1/../../etc/passwd"), 404, "not_found", __LINE__);

    // An allowed page: its origin echoed, and the preflight Chromium sends
    // before a public page reaches a private address.
    auto allowed = c.Get("/v1/device", {{"Origin", kAllowedOrigin}});
    ASSERT_TRUE(allowed);
    EXPECT_EQ(allowed->status, 200);
    EXPECT_EQ(allowed->get_header_value("Access-Control-Allow-Origin"), kAllowedOrigin);
    auto preflight = c.Options("/v1/capture", {{"Origin", kAllowedOrigin},
                                               {"Access-Control-Request-Method", "POST"},
                                               {"Access-Control-Request-Private-Network", "true"}});
    ASSERT_TRUE(preflight);
    EXPECT_EQ(preflight->status, 204);
    EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Private-Network"), "true");
    EXPECT_NE(preflight->get_header_value("Access-Control-Allow-Methods").find("POST"), std::string::npos);
    auto refusedPreflight = c.Options("/v1/capture", {{"Origin", "http://elsewhere.example"}});
    ASSERT_TRUE(refusedPreflight);
    EXPECT_EQ(refusedPreflight->status, 403);
    EXPECT_FALSE(refusedPreflight->has_header("Access-Control-Allow-Origin"));

    auto after = c.Post("/v1/capture", R"({"eye":"right"})", "application/json");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_EQ(Parse(after->body)["status"].asInt(), 0);
}

bool Connects(sockaddr_in address, int port) {
    address.sin_port = htons(static_cast<uint16_t>(port));
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const bool connected = s >= 0 && connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (s >= 0) close(s);
    return connected;
}

// A camera unplugged while the device is open: the page reads "lost" and a
// "device_lost" event, and closing and opening again brings the device back.
TEST(CaptureServiceHttpTest, AnUnpluggedDeviceIsReportedLostUntilOpenedAgain) {
    const std::string control = platform::TempDirectory() + "k7q_service_unplug_test.txt";
    std::ofstream(control).flush();  // empty: no fault
    setenv(k7qsim::kCameraControlVariable, control.c_str(), 1);
    Service svc("never-looks-in");
    httplib::Client c = svc.Client();
    ASSERT_EQ(c.Post("/v1/device/open", "", "application/json")->status, 200);
    EXPECT_FALSE(Parse(c.Get("/v1/device")->body)["lost"].asBool());
    std::ofstream(control) << "both unplug\n";
    bool told = false;
    uint64_t after = 0;
    for (int polls = 0; polls < 20 && !told; ++polls) {
        const Json::Value events = Parse(c.Get("/v1/events?wait=500&after=" + std::to_string(after))->body)["events"];
        for (const Json::Value& e : events) {
            told |= e["prompt"].asString() == "device_lost";
            after = e["seq"].asUInt64();
        }
    }
    EXPECT_TRUE(told);
    EXPECT_TRUE(Parse(c.Get("/v1/device")->body)["lost"].asBool());
    std::ofstream(control).flush();  // plugged in again
    EXPECT_EQ(c.Post("/v1/device/close", "", "application/json")->status, 200);
    EXPECT_EQ(c.Post("/v1/device/open", "", "application/json")->status, 200);
    EXPECT_FALSE(Parse(c.Get("/v1/device")->body)["lost"].asBool());
    unsetenv(k7qsim::kCameraControlVariable);
    std::remove(control.c_str());
}

// The first `count` parts of a preview stream: each an image/bmp file.
std::vector<std::string> PreviewParts(httplib::Client& client, const char* path, size_t count,
                                      std::string* contentType) {
    std::string stream;
    std::vector<std::string> parts;
    const httplib::Result r = client.Get(
        path,
        [contentType](const httplib::Response& res) {
            *contentType = res.get_header_value("Content-Type");
            return res.status == 200;
        },
        [&](const char* data, size_t length) {
            stream.append(data, length);
            for (;;) {
                const size_t head = stream.find("\r\n\r\n");
                const size_t lengthAt = stream.find("Content-Length: ");
                if (head == std::string::npos || lengthAt == std::string::npos || lengthAt > head) break;
                const size_t bytes = std::stoul(stream.substr(lengthAt + 16));
                if (stream.size() < head + 4 + bytes + 2) break;
                EXPECT_EQ(stream.compare(0, 9, "--frame\r\n"), 0);
                EXPECT_NE(stream.find("Content-Type: image/bmp"), std::string::npos);
                parts.push_back(stream.substr(head + 4, bytes));
                stream.erase(0, head + 4 + bytes + 2);
            }
            return parts.size() < count;  // then the page goes away
        });
    EXPECT_FALSE(r);  // ended by the page, not by the service
    return parts;
}

// The live preview: a stream of whole 480 x 360 gray bitmaps of the eye in
// front of the camera, new frames as the scene moves; a page that goes away
// frees its worker and the service goes on answering.
TEST(CaptureServiceHttpTest, ThePreviewStreamsEachCamerasMovingEyeAsBitmaps) {
    Service svc("well-placed");
    httplib::Client c = svc.Client();
    ASSERT_EQ(c.Post("/v1/device/open", "", "application/json")->status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the subject steps in
    for (const char* path : {"/v1/preview/left", "/v1/preview/right"}) {
        SCOPED_TRACE(path);
        std::string type;
        const std::vector<std::string> parts = PreviewParts(c, path, 12, &type);
        EXPECT_EQ(type, "multipart/x-mixed-replace; boundary=frame");
        ASSERT_EQ(parts.size(), 12u);
        for (const std::string& bmp : parts) {
            ASSERT_EQ(bmp.size(), 1078u + 480 * 360);
            ASSERT_EQ(bmp.compare(0, 2, "BM"), 0);
            int32_t width = 0, height = 0;
            std::memcpy(&width, &bmp[18], 4);
            std::memcpy(&height, &bmp[22], 4);
            EXPECT_EQ(width, 480);
            EXPECT_EQ(height, 360);
        }
        // The pupil is in the picture, and the swaying eye changes it.
        const std::string& last = parts.back();
        EXPECT_GT(std::count_if(last.begin() + 1078, last.end(), [](char v) { return uint8_t(v) < 30; }), 200);
        EXPECT_NE(parts.front().substr(1078), last.substr(1078));
    }
    const httplib::Result after = c.Get("/v1/device");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    ExpectError(c.Get("/v1/preview/middle"), 404, "not_found", __LINE__);
}

// A raw connection to the service on 127.0.0.1 (-1 when refused or not taken within 3 s).
int ConnectLoopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{3, 0};
    if (s >= 0) setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (s >= 0 && connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return s;
    if (s >= 0) close(s);
    return -1;
}

// 200 connections that say nothing and one that sends its request a byte at
// a time neither stop a page's request nor leave the service unable to
// answer; a flood of requests is refused at once, and the budget comes back.
TEST(CaptureServiceHttpTest, SilentSlowAndFloodingClientsLeaveItAnswering) {
    Service svc("well-placed");
    // A listen queue too short for the burst makes connections retry for
    // many seconds; one that holds it takes them all at once.
    const auto start = std::chrono::steady_clock::now();
    std::vector<int> silent;
    for (int i = 0; i < 200; ++i) silent.push_back(ConnectLoopback(svc.Port()));
    const auto connectMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(connectMs, 5000) << "200 connections took " << connectMs << " ms to be taken";
    std::atomic<bool> stop{false};
    std::thread slow([&stop, port = svc.Port()] {
        const int s = ConnectLoopback(port);
        const std::string request = "GET /v1/device HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
        for (size_t i = 0; s >= 0 && i < request.size() && !stop; ++i) {
            if (send(s, &request[i], 1, MSG_NOSIGNAL) != 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (s >= 0) close(s);
    });
    // A hang, not a speed, is what this looks for: far longer than the
    // workers need to let the silent connections go.
    httplib::Client page = svc.Client();
    page.set_connection_timeout(10, 0);
    page.set_read_timeout(10, 0);
    const httplib::Result answered = page.Get("/v1/device");
    stop = true;
    slow.join();
    EXPECT_EQ(std::count(silent.begin(), silent.end(), -1), 0) << "connections not taken within 3 s";
    for (int s : silent)
        if (s >= 0) close(s);
    ASSERT_TRUE(answered) << httplib::to_string(answered.error());
    EXPECT_EQ(answered->status, 200);

    int refused = 0;
    for (int i = 0; i < 400 && refused == 0; ++i) {
        const httplib::Result r = page.Get("/v1/device");
        ASSERT_TRUE(r);
        if (r->status == 429) {
            ++refused;
            ExpectError(r, 429, "too_many_requests", __LINE__);
            EXPECT_EQ(r->get_header_value("Retry-After"), "1");
        }
    }
    EXPECT_EQ(refused, 1) << "400 requests at once were all served";
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const httplib::Result later = page.Get("/v1/device");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->status, 200);
}

// Nothing answers on this machine's other addresses at the service's port,
// nor on another loopback address (a socket bound to every interface would).
TEST(CaptureServiceHttpTest, ListensOnTheLoopbackInterfaceOnly) {
    Service svc("well-placed");
    sockaddr_in otherLoopback{};
    otherLoopback.sin_family = AF_INET;
    otherLoopback.sin_addr.s_addr = htonl(0x7f000002);  // 127.0.0.2
    EXPECT_FALSE(Connects(otherLoopback, svc.Port()));
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    int tried = 0;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
        const sockaddr_in address = *reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if ((ntohl(address.sin_addr.s_addr) >> 24) == 127) continue;
        EXPECT_FALSE(Connects(address, svc.Port())) << a->ifa_name;
        ++tried;
    }
    freeifaddrs(list);
    RecordProperty("addresses_tried", tried);
    EXPECT_EQ(svc.Client().Get("/v1/device")->status, 200);
}

}  // namespace
