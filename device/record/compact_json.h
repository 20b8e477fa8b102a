// The compact JSON text of the capture record: no blanks between tokens,
// object members in ascending byte order of their keys, and strings escaped
// only where JSON needs it (the double quote, the backslash and control
// characters). Every other byte passes unchanged: the control's text is in
// the ANSI code page (936 on the target machines), not UTF-8.
#pragma once

#include <json/json.h>

#include <string>

// The compact text of `value`, without a closing line feed.
std::string WriteCompact(const Json::Value& value);
