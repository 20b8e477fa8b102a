#include "device/record/compact_json.h"

#include <cstddef>

namespace {

// The two-character escape of a byte, or 0 when it has none.
char ShortEscape(unsigned char c) {
    switch (c) {
    case '"': return '"';
    case '\\': return '\\';
    case '\b': return 'b';
    case '\f': return 'f';
    case '\n': return 'n';
    case '\r': return 'r';
    case '\t': return 't';
    default: return 0;
    }
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

void AppendEscape(unsigned char c, std::string* out) {
    if (const char e = ShortEscape(c)) {
        out->push_back('\\');
        out->push_back(e);
        return;
    }
    static const char kHex[] = "0123456789abcdef";
    const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
    out->append(escape, sizeof escape);
}

void AppendQuoted(const char* text, size_t length, std::string* out) {
    out->push_back('"');
    // Runs of bytes that need no escape are copied whole (Base64 images are
    // hundreds of kilobytes of such a run).
    size_t run = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!NeedsEscape(c)) continue;
        out->append(text + run, i - run);
        AppendEscape(c, out);
        run = i + 1;
    }
    out->append(text + run, length - run);
    out->push_back('"');
}

void AppendValue(const Json::Value& value, std::string* out);

void AppendObject(const Json::Value& value, std::string* out) {
    out->push_back('{');
    bool first = true;
    // The library keeps object members ordered by their key bytes.
    for (auto it = value.begin(); it != value.end(); ++it) {
        if (!first) out->push_back(',');
        first = false;
        const std::string key = it.name();
        AppendQuoted(key.data(), key.size(), out);
        out->push_back(':');
        AppendValue(*it, out);
    }
    out->push_back('}');
}

void AppendArray(const Json::Value& value, std::string* out) {
    out->push_back('[');
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
        if (i) out->push_back(',');
        AppendValue(value[i], out);
    }
    out->push_back(']');
}

void AppendValue(const Json::Value& value, std::string* out) {
    switch (value.type()) {
    case Json::nullValue: out->append("null"); break;
    case Json::booleanValue: out->append(value.asBool() ? "true" : "false"); break;
    case Json::intValue: out->append(Json::valueToString(value.asLargestInt())); break;
    case Json::uintValue: out->append(Json::valueToString(value.asLargestUInt())); break;
    case Json::realValue: out->append(Json::valueToString(value.asDouble())); break;
    case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        value.getString(&begin, &end);
        AppendQuoted(begin, static_cast<size_t>(end - begin), out);
        break;
    }
    case Json::arrayValue: AppendArray(value, out); break;
    case Json::objectValue: AppendObject(value, out); break;
    }
}

}  // namespace

std::string WriteCompact(const Json::Value& value) {
    std::string text;
    AppendValue(value, &text);
    return text;
}
