#include "service/http_api.h"

#include <httplib.h>
#include <json/json.h>

#include <algorithm>
#include <memory>

#include "device/record/compact_json.h"
#include "service/request_budget.h"

namespace service {
namespace {

constexpr const char* kJson = "application/json";
constexpr const char* kVersion = "1.0.0";
constexpr size_t kWorkers = 64;
constexpr time_t kReadTimeoutSeconds = 1, kWriteTimeoutSeconds = 5;
constexpr size_t kKeepAliveRequests = 8;

void SendError(httplib::Response& res, int httpStatus, const char* code, const std::string& message,
               int32_t deviceStatus = 0) {
    Json::Value body;
    body["error"]["code"] = code;
    body["error"]["message"] = message;
    if (deviceStatus != 0) body["error"]["deviceStatus"] = deviceStatus;
    res.status = httpStatus;
    res.set_content(WriteCompact(body), kJson);
}

void SendStatus(httplib::Response& res, int32_t status) {
    Json::Value body;
    body["status"] = status;
    res.set_content(WriteCompact(body), kJson);
}

// A refused or failed operation as its HTTP status and error code.
void SendResult(httplib::Response& res, Result result, int32_t deviceStatus) {
    switch (result) {
    case Result::kOk: SendStatus(res, 0); return;
    case Result::kNotOpen: SendError(res, 409, "not_open", "the device is not open"); return;
    case Result::kAlreadyOpen: SendError(res, 409, "already_open", "the device is already open"); return;
    case Result::kBusy: SendError(res, 409, "busy", "a capture is running"); return;
    case Result::kNoCapture: SendError(res, 409, "no_capture", "no capture is running"); return;
    case Result::kDeviceError:
        SendError(res, 503, "device_error", "the device refused the operation", deviceStatus);
        return;
    case Result::kTimedOut: SendError(res, 504, "timed_out", "the device did not report"); return;
    }
}

// The body as a JSON object; an empty body is an empty object.
bool ParseBody(const httplib::Request& req, Json::Value* body) {
    if (req.body.empty()) {
        *body = Json::Value(Json::objectValue);
        return true;
    }
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(req.body.data(), req.body.data() + req.body.size(), body, &errors) && body->isObject();
}

// An optional boolean member: false when present and not a boolean.
bool ReadFlag(const Json::Value& body, const char* name, bool* flag) {
    const Json::Value& value = body[name];
    if (!value.isNull() && !value.isBool()) return false;
    *flag = value.isBool() && value.asBool();
    return true;
}

bool ReadOpenRequest(const Json::Value& body, OpenRequest* request) {
    const Json::Value& level = body["whiteLevel"];
    if (!level.isNull()) {
        if (!level.isUInt() || level.asUInt() > kMaximumWhiteLevel) return false;
        request->whiteLevel = level.asUInt();
    }
    return ReadFlag(body, "log", &request->log);
}

bool ReadCaptureRequest(const Json::Value& body, CaptureRequest* request) {
    const Json::Value& eye = body["eye"];
    if (!eye.isNull()) {
        if (!eye.isString()) return false;
        const std::string text = eye.asString();
        if (text == "left") request->eyeType = kEyeLeft;
        else if (text == "right") request->eyeType = kEyeRight;
        else if (text == "both") request->eyeType = kEyeBoth;
        else return false;
    }
    return ReadFlag(body, "force", &request->force) && ReadFlag(body, "twoStep", &request->twoStep);
}

// The budget, Host and Origin first; a preflight is answered here.
httplib::Server::HandlerResponse Screen(const httplib::Request& req, httplib::Response& res,
                                        const ApiOptions& options, RequestBudget& budget) {
    if (!budget.Take()) {
        res.set_header("Retry-After", "1");
        SendError(res, 429, "too_many_requests", "too many requests: try again in a second");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (!HostAllowed(req.get_header_value("Host"), options.port)) {
        SendError(res, 403, "host_refused", "requests must name this service's loopback address");
        return httplib::Server::HandlerResponse::Handled;
    }
    const bool hasOrigin = req.has_header("Origin");
    const std::string origin = req.get_header_value("Origin");
    if (hasOrigin && !OriginAllowed(origin, options.allowedOrigins)) {
        SendError(res, 403, "origin_refused", "this page's origin is not allowed to use the service");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (hasOrigin) {
        res.set_header("Access-Control-Allow-Origin", origin);
        res.set_header("Vary", "Origin");
    }
    // Only a bitmap for analysis is large; the JSON bodies are small.
    if (req.path != "/v1/analyse" && req.get_header_value<uint64_t>("Content-Length") > kMaxBodyBytes) {
        SendError(res, 413, "too_large", "the body is too large");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method == "OPTIONS") {
        res.status = 204;
        res.set_header("Access-Control-Allow-Methods", "GET, POST");
        res.set_header("Access-Control-Allow-Headers", "Content-Type");
        res.set_header("Access-Control-Max-Age", "600");
        if (req.get_header_value("Access-Control-Request-Private-Network") == "true")
            res.set_header("Access-Control-Allow-Private-Network", "true");
        return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

// One page's preview stream: each new frame as a part; with no new frame
// for a second the last one again, so that a page that has gone is noticed
// by the failed write and the worker comes free.
std::function<bool(size_t, httplib::DataSink&)> PreviewStream(httplib::Server& server, EyePreview& eye,
                                                              uint32_t repeatMs) {
    struct State {
        uint64_t seq = 0;
        std::vector<uint8_t> bitmap;
        std::string head;
    };
    auto state = std::make_shared<State>();
    return [&server, &eye, state, repeatMs](size_t, httplib::DataSink& sink) {
        state->seq = eye.Next(state->seq, repeatMs, &state->bitmap);
        if (state->head.empty())
            state->head = "--frame\r\nContent-Type: image/bmp\r\nContent-Length: " +
                          std::to_string(state->bitmap.size()) + "\r\n\r\n";
        return server.is_running() && sink.write(state->head.data(), state->head.size()) &&
               sink.write(reinterpret_cast<const char*>(state->bitmap.data()), state->bitmap.size()) &&
               sink.write("\r\n", 2);
    };
}

}  // namespace

bool HostAllowed(const std::string& host, int port) {
    const std::string suffix = ":" + std::to_string(port);
    return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

bool OriginAllowed(const std::string& origin, const std::vector<std::string>& allowed) {
    return !origin.empty() && std::find(allowed.begin(), allowed.end(), origin) != allowed.end();
}

// A decimal query parameter, `fallback` when absent; false when malformed.
bool QueryNumber(const httplib::Request& req, const char* name, uint64_t fallback, uint64_t* value) {
    if (!req.has_param(name)) {
        *value = fallback;
        return true;
    }
    const std::string text = req.get_param_value(name);
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = std::stoull(text);
    return true;
}

void InstallApi(httplib::Server& server, CaptureService& service, ProgressFeed& progress, Previews& previews,
                const ApiOptions& options) {
    server.set_payload_max_length(kMaxBitmapBytes);
    // A connection holds a worker while it is read: a client that falls
    // silent, or opens many connections and says nothing, lets go of its
    // workers after the read time-out, and enough workers are left for a
    // page's requests (a capture holds one for its whole length, a preview
    // stream as long as it is watched). One that sends a byte just within
    // each time-out keeps its worker: the library sets no deadline for a
    // whole request.
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_read_timeout(kReadTimeoutSeconds, 0);
    server.set_write_timeout(kWriteTimeoutSeconds, 0);
    server.set_keep_alive_max_count(kKeepAliveRequests);
    server.set_keep_alive_timeout(kReadTimeoutSeconds);
    auto budget = std::make_shared<RequestBudget>(options.requestsPerSecond, options.requestBurst);
    server.set_pre_routing_handler([options, budget](const httplib::Request& req, httplib::Response& res) {
        return Screen(req, res, options, *budget);
    });
    // Errors of the server itself (unknown path, oversized body, bad request
    // line) get a JSON body too.
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;
        const int status = res.status;
        const char* code = status == 404 ? "not_found" : status == 413 ? "too_large" : "bad_request";
        SendError(res, status, code, "the request cannot be served");
    });

    server.Get("/v1/device", [&service, &progress](const httplib::Request&, httplib::Response& res) {
        const DeviceState s = service.State();
        Json::Value body;
        body["service"] = "tavrik-capture";
        body["version"] = kVersion;
        body["open"] = s.open;
        body["capturing"] = s.capturing;
        body["lost"] = progress.DeviceLost();
        body["model"] = s.model;
        body["serial"] = s.serial;
        body["organisation"] = s.organisation;
        res.set_content(WriteCompact(body), kJson);
    });
    server.Post("/v1/device/open", [&service, &progress](const httplib::Request& req, httplib::Response& res) {
        Json::Value body;
        OpenRequest request;
        if (!ParseBody(req, &body) || !ReadOpenRequest(body, &request)) {
            SendError(res, 400, "bad_request",
                      "expected {\"whiteLevel\": 0.." + std::to_string(kMaximumWhiteLevel) + ", \"log\": bool}");
            return;
        }
        int32_t deviceStatus = 0;
        const Result result = service.Open(request, &deviceStatus);
        if (result == Result::kOk) progress.ClearDeviceLost();
        SendResult(res, result, deviceStatus);
    });
    server.Post("/v1/device/close", [&service](const httplib::Request&, httplib::Response& res) {
        int32_t deviceStatus = 0;
        SendResult(res, service.Close(&deviceStatus), deviceStatus);
    });
    server.Post("/v1/capture", [&service](const httplib::Request& req, httplib::Response& res) {
        Json::Value body;
        CaptureRequest request;
        if (!ParseBody(req, &body) || !ReadCaptureRequest(body, &request)) {
            SendError(res, 400, "bad_request",
                      "expected {\"eye\": \"left\"|\"right\"|\"both\", \"force\": bool, \"twoStep\": bool}");
            return;
        }
        CaptureReply reply;
        int32_t deviceStatus = 0;
        const Result result = service.Capture(request, &reply, &deviceStatus);
        if (result != Result::kOk) {
            SendResult(res, result, deviceStatus);
            return;
        }
        // The record is the control's OnCapture text, embedded as it is; two steps give two.
        const char* field = !reply.record.empty() && reply.record[0] == '[' ? "records" : "record";
        res.set_content("{\"status\":" + std::to_string(reply.status) + ",\"" + field + "\":" + reply.record + "}",
                        kJson);
    });
    // Long polling: a plain JSON request a page repeats with the last
    // sequence number it saw, through the same checks as every other one.
    const uint64_t waitLimit = options.eventWaitLimitMs;
    server.Get("/v1/events", [&progress, waitLimit](const httplib::Request& req, httplib::Response& res) {
        uint64_t after = 0, wait = 0;
        if (!QueryNumber(req, "after", 0, &after) || !QueryNumber(req, "wait", waitLimit, &wait)) {
            SendError(res, 400, "bad_request", "expected ?after=SEQ&wait=MS, decimal");
            return;
        }
        Json::Value body;
        body["events"] = Json::Value(Json::arrayValue);
        for (const ProgressEvent& e : progress.After(after, static_cast<uint32_t>(std::min(wait, waitLimit)))) {
            Json::Value event;
            event["seq"] = static_cast<Json::UInt64>(e.seq);
            event["prompt"] = e.prompt;
            body["events"].append(event);
        }
        res.set_content(WriteCompact(body), kJson);
    });
    const uint32_t repeatMs = options.previewRepeatMs;
    server.Get(R"(/v1/preview/(left|right))", [&server, &previews, repeatMs](const httplib::Request& req,
                                                                             httplib::Response& res) {
        EyePreview& eye = req.matches[1] == "left" ? previews.left : previews.right;
        res.set_header("Cache-Control", "no-store");
        res.set_chunked_content_provider("multipart/x-mixed-replace; boundary=frame",
                                         PreviewStream(server, eye, repeatMs));
    });
    server.Post("/v1/analyse", [&service](const httplib::Request& req, httplib::Response& res) {
        int32_t analysis = 0;
        const Result result = service.Analyse(req.body, &analysis);
        if (result != Result::kOk) {
            SendResult(res, result, analysis);
            return;
        }
        SendStatus(res, analysis);
    });
    server.Post("/v1/capture/stop", [&service](const httplib::Request&, httplib::Response& res) {
        SendResult(res, service.Stop(), 0);
    });
}

}  // namespace service
