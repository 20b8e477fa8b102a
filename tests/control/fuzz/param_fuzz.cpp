// libFuzzer target: any text a page can pass as a dispatch parameter must be
// read as the control reads it (document, options, decimal conversion)
// without a crash, an escaping exception or an out-of-bounds read, and every
// accepted document must come back unchanged through the record writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device/record/compact_json.h"
#include "device/record/json_params.h"

namespace {

void ReadOption(const Json::Value& document, const char* key) {
    std::string text = "240";
    int32_t value = 0;
    if (ReadTextOption(document, key, &text)) (void)DecimalText(text, &value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t value = 0;
    (void)DecimalText(text, &value);
    Json::Value document;
    if (!ParseParamObject(text, &document)) return 0;
    for (const char* key : {"log", "white_brightness", "eyeType"}) ReadOption(document, key);
    for (const std::string& key : document.getMemberNames()) ReadOption(document, key.c_str());

    // The writer's text reads back as the same document.
    Json::Value again;
    if (!ParseParamObject(WriteCompact(document), &again) || !(again == document)) std::abort();
    return 0;
}
