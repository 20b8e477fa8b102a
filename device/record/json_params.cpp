#include "device/record/json_params.h"

#include <climits>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

// The parameters are flat objects; a page that nests deeper is refused
// before the reader's recursion gets anywhere near the stack's end.
constexpr int kParamDepthLimit = 64;

// The library's default reading (comments allowed, not strict), with a
// depth limit. Built once: a reader keeps no state between documents.
const Json::CharReaderBuilder& ParamReaderBuilder() {
    static const Json::CharReaderBuilder builder = [] {
        Json::CharReaderBuilder b;
        b["collectComments"] = false;
        b["stackLimit"] = kParamDepthLimit;
        b["failIfExtra"] = true;  // "{} xyz" is not a parameter document
        return b;
    }();
    return builder;
}

}  // namespace

bool ParseParamObject(const std::string& text, Json::Value* object) {
    Json::Value root;
    try {
        const std::unique_ptr<Json::CharReader> reader(ParamReaderBuilder().newCharReader());
        std::string errors;
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) return false;
    } catch (const std::exception&) {
        return false;  // the reader throws past its depth limit and on exhausted memory
    }
    if (!root.isObject()) return false;
    *object = std::move(root);
    return true;
}

bool ReadTextOption(const Json::Value& object, const char* key, std::string* value) {
    if (!object.isMember(key)) return true;
    const Json::Value& v = object[key];
    if (v.isArray() || v.isObject()) return false;
    if (v.isNull()) {
        *value = "";
    } else if (v.isBool()) {
        *value = v.asBool() ? "true" : "false";
    } else if (v.isInt64()) {
        *value = std::to_string(v.asInt64());
    } else if (v.isUInt64()) {
        *value = std::to_string(v.asUInt64());
    } else if (v.isDouble()) {
        char text[64];
        std::snprintf(text, sizeof text, "%f", v.asDouble());  // the text keeps the fraction, as a string would
        *value = text;
    } else {
        *value = v.asString();
    }
    return true;
}

bool DecimalText(const std::string& text, int32_t* value) {
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > 1LL + INT32_MAX) return false;
    }
    if (text[0] == '-') v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    *value = static_cast<int32_t>(v);
    return true;
}
