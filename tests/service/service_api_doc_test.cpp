// The capture service against its OpenAPI document: every documented path
// and status is provoked (or named below as one a test cannot provoke), and
// every answer's body fits the documented schema.
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <fstream>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "service/http_api.h"
#include "tests/service/service_fixture.h"

namespace {

Json::Value ReadDocument() {
    std::ifstream in(TAVRIK_SOURCE_DIR "/docs/capture-service.openapi.json");
    std::stringstream text;
    text << in.rdbuf();
    Json::Value doc;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream stream(text.str());
    EXPECT_TRUE(Json::parseFromStream(builder, stream, &doc, &errors)) << errors;
    return doc;
}

// "#/components/schemas/X" and the like, resolved in the document.
const Json::Value& Resolve(const Json::Value& doc, const Json::Value& node) {
    if (!node.isMember("$ref")) return node;
    const Json::Value* at = &doc;
    std::stringstream path(node["$ref"].asString().substr(2));
    std::string part;
    while (std::getline(path, part, '/')) at = &(*at)[part];
    return Resolve(doc, *at);
}

// Type, required members, member types and enumerations, recursively.
void ExpectFits(const Json::Value& doc, const Json::Value& schemaNode, const Json::Value& value,
                const std::string& where) {
    const Json::Value& schema = Resolve(doc, schemaNode);
    const std::string type = schema["type"].asString();
    if (type == "object") {
        ASSERT_TRUE(value.isObject()) << where;
        for (const Json::Value& name : schema["required"])
            EXPECT_TRUE(value.isMember(name.asString())) << where << " lacks " << name.asString();
        for (const std::string& name : value.getMemberNames()) {
            const Json::Value& property = schema["properties"][name];
            EXPECT_FALSE(property.isNull()) << where << " has an undocumented " << name;
            if (!property.isNull()) ExpectFits(doc, property, value[name], where + "." + name);
        }
    } else if (type == "array") {
        ASSERT_TRUE(value.isArray()) << where;
        for (Json::ArrayIndex i = 0; i < value.size(); ++i)
            ExpectFits(doc, schema["items"], value[i], where + "[" + std::to_string(i) + "]");
    } else if (type == "string") {
        ASSERT_TRUE(value.isString()) << where;
        if (schema.isMember("enum")) {
            bool listed = false;
            for (const Json::Value& e : schema["enum"]) listed |= e.asString() == value.asString();
            EXPECT_TRUE(listed) << where << " = " << value.asString();
        }
    } else if (type == "integer") {
        EXPECT_TRUE(value.isInt()) << where;
    } else if (type == "boolean") {
        EXPECT_TRUE(value.isBool()) << where;
    }
}

class ServiceApiDocTest : public ::testing::Test {
protected:
    // The documented answer for this path, method and status must exist and
    // the body must fit its schema; the status is noted as provoked.
    void Check(const char* method, const std::string& path, const httplib::Result& r, int line) {
        SCOPED_TRACE(testing::Message() << method << " " << path << ", from line " << line);
        ASSERT_TRUE(r);
        const std::string status = std::to_string(r->status);
        const Json::Value& operation = doc_["paths"][path][method];
        ASSERT_FALSE(operation.isNull()) << "undocumented operation";
        ASSERT_TRUE(operation["responses"].isMember(status)) << "undocumented status " << status << ": " << r->body;
        const Json::Value& response = Resolve(doc_, operation["responses"][status]);
        const Json::Value& schema = response["content"]["application/json"]["schema"];
        Json::Value body;
        Json::CharReaderBuilder builder;
        std::string errors;
        std::istringstream stream(r->body);
        ASSERT_TRUE(Json::parseFromStream(builder, stream, &body, &errors)) << r->body;
        ExpectFits(doc_, schema, body, "body");
        provoked_.insert(std::string(method) + " " + path + " " + status);
    }

    Json::Value doc_ = ReadDocument();
    std::set<std::string> provoked_;
};

TEST_F(ServiceApiDocTest, EveryDocumentedAnswerIsGivenAndFitsItsSchema) {
    servicetest::Service svc("never-looks-in");
    httplib::Client c = svc.Client();
    const httplib::Headers rebound = {{"Host", "rebound.example:" + std::to_string(svc.Port())}};
    const char* json = "application/json";

    Check("get", "/v1/device", c.Get("/v1/device"), __LINE__);
    Check("get", "/v1/device", c.Get("/v1/device", rebound), __LINE__);
    Check("post", "/v1/device/close", c.Post("/v1/device/close", "", json), __LINE__);           // not open
    Check("post", "/v1/capture/stop", c.Post("/v1/capture/stop", "", json), __LINE__);           // none running
    const char* bytes = "application/octet-stream";
    Check("post", "/v1/analyse", c.Post("/v1/analyse", std::string(2000, 'x'), bytes), __LINE__);  // not open
    Check("post", "/v1/analyse", c.Post("/v1/analyse", rebound, "BM", bytes), __LINE__);
    Check("post", "/v1/analyse", c.Post("/v1/analyse", std::string(service::kMaxBitmapBytes + 1, 'x'), bytes),
          __LINE__);
    Check("post", "/v1/device/open", c.Post("/v1/device/open", rebound, "", json), __LINE__);
    Check("post", "/v1/device/open", c.Post("/v1/device/open", R"({"log":"yes"})", json), __LINE__);
    Check("post", "/v1/device/open", c.Post("/v1/device/open", "", json), __LINE__);
    Check("post", "/v1/device/open", c.Post("/v1/device/open", "", json), __LINE__);             // already open
    Check("post", "/v1/analyse", c.Post("/v1/analyse", std::string(2000, 'x'), bytes), __LINE__);
    Check("post", "/v1/capture", c.Post("/v1/capture", R"({"eye":1})", json), __LINE__);
    Check("post", "/v1/capture", c.Post("/v1/capture", std::string(5000, ' '), json), __LINE__);
    Check("post", "/v1/capture", c.Post("/v1/capture", rebound, "{}", json), __LINE__);
    Check("post", "/v1/capture/stop", c.Post("/v1/capture/stop", rebound, "", json), __LINE__);
    Check("post", "/v1/device/close", c.Post("/v1/device/close", rebound, "", json), __LINE__);

    auto running = std::async(std::launch::async, [&svc] {
        return svc.Client().Post("/v1/capture", R"({"eye":"both","force":false})", "application/json");
    });
    servicetest::WaitUntilCapturing(c);
    Check("get", "/v1/device", c.Get("/v1/device"), __LINE__);
    Check("post", "/v1/capture", c.Post("/v1/capture", "{}", json), __LINE__);                   // busy
    Check("post", "/v1/capture/stop", c.Post("/v1/capture/stop", "", json), __LINE__);
    Check("post", "/v1/capture", running.get(), __LINE__);
    Check("post", "/v1/device/close", c.Post("/v1/device/close", "", json), __LINE__);
    Check("get", "/v1/events", c.Get("/v1/events?after=0&wait=0"), __LINE__);
    Check("get", "/v1/events", c.Get("/v1/events?after=x"), __LINE__);
    Check("get", "/v1/events", c.Get("/v1/events", rebound), __LINE__);
    Check("get", "/v1/preview/{eye}", c.Get("/v1/preview/left", rebound), __LINE__);
    Check("get", "/v1/preview/{eye}", c.Get("/v1/preview/middle"), __LINE__);
    {
        // The stream's first bytes: the documented type, then the page goes away.
        std::string type, first;
        c.Get("/v1/preview/right",
              [&type](const httplib::Response& res) {
                  type = res.get_header_value("Content-Type");
                  return res.status == 200;
              },
              [&first](const char* data, size_t length) {
                  first.append(data, length);
                  return false;
              });
        const Json::Value& content = doc_["paths"]["/v1/preview/{eye}"]["get"]["responses"]["200"]["content"];
        EXPECT_TRUE(content.isMember(type)) << type;
        EXPECT_EQ(first.compare(0, 9, "--frame\r\n"), 0) << first.substr(0, 40);
        if (content.isMember(type)) provoked_.insert("get /v1/preview/{eye} 200");
    }

    // Each operation over the request budget: requests go until one is refused
    // (those let through are harmless here: bad bodies, the device closed).
    const std::vector<std::pair<const char*, std::function<httplib::Result()>>> operations = {
        {"/v1/device", [&] { return c.Get("/v1/device"); }},
        {"/v1/device/close", [&] { return c.Post("/v1/device/close", "", json); }},
        {"/v1/capture", [&] { return c.Post("/v1/capture", R"({"eye":1})", json); }},
        {"/v1/capture/stop", [&] { return c.Post("/v1/capture/stop", "", json); }},
        {"/v1/analyse", [&] { return c.Post("/v1/analyse", "BM", bytes); }},
        {"/v1/events", [&] { return c.Get("/v1/events?after=x"); }},
        {"/v1/device/open", [&] { return c.Post("/v1/device/open", "", json); }},
        // A stream let through is left at once; a refusal's body is kept.
        {"/v1/preview/{eye}", [&] {
             std::string body;
             httplib::Result r =
                 c.Get("/v1/preview/left", [](const httplib::Response& res) { return res.status != 200; },
                       [&body](const char* data, size_t length) {
                           body.append(data, length);
                           return true;
                       });
             if (r) r->body = body;
             return r;
         }},
    };
    for (const auto& operation : operations) {
        httplib::Result r = operation.second();
        for (int sent = 1; (!r || r->status != 429) && sent < 1000; ++sent) r = operation.second();
        const std::string path = operation.first;
        const bool get = path == "/v1/device" || path == "/v1/events" || path == "/v1/preview/{eye}";
        Check(get ? "get" : "post", path, r, __LINE__);
    }

    // Answers a healthy device and a well-behaved test cannot provoke.
    const std::set<std::string> unprovoked = {
        "post /v1/device/open 503", "post /v1/device/close 503", "post /v1/capture 503", "post /v1/capture 504"};
    for (const std::string& path : doc_["paths"].getMemberNames())
        for (const std::string& method : doc_["paths"][path].getMemberNames())
            for (const std::string& status : doc_["paths"][path][method]["responses"].getMemberNames()) {
                const std::string answer = method + " " + path + " " + status;
                EXPECT_TRUE(provoked_.count(answer) || unprovoked.count(answer)) << "never provoked: " << answer;
            }
}

}  // namespace
