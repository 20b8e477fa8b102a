// The JSON parameters of the dispatch methods: a document read in the
// library's default (non-strict) mode whose option values are taken as text.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

// Parses a parameter document. False when it does not parse, nests deeper
// than a parameter ever needs, or is not an object; never throws.
bool ParseParamObject(const std::string& text, Json::Value* object);

// Reads `key` as text into *value when present: a string gives its characters,
// null "", booleans "true"/"false", a number its decimal text. False when the
// value is an array or an object (*value then unchanged).
bool ReadTextOption(const Json::Value& object, const char* key, std::string* value);

// The C library's decimal conversion (optional sign, leading digits, 0 when
// none), saturated to the 32-bit range.
int32_t DecimalValue(const std::string& text);
