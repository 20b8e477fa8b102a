// The JSON parameters of the control's dispatch methods (and of any host
// that takes the same options): a document read in the
// library's default (non-strict) mode whose option values are taken as text.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

// Parses a parameter document. False when it does not parse, has anything
// but blanks or comments after the object, nests deeper than a parameter ever
// needs, or is not an object; never throws.
bool ParseParamObject(const std::string& text, Json::Value* object);

// Reads `key` as text into *value when present: a string gives its characters,
// null "", booleans "true"/"false", a number its decimal text. False when the
// value is an array or an object (*value then unchanged).
bool ReadTextOption(const Json::Value& object, const char* key, std::string* value);

// A number option's text: an optional sign and decimal digits, nothing else,
// within the 32-bit range. False for anything else ("", "abc", "0x10",
// " 3", "1.5", the texts of booleans): such a value would otherwise be read as
// 0 and silently drive the device with it.
bool DecimalText(const std::string& text, int32_t* value);
