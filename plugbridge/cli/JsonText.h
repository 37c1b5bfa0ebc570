#pragma once
// Text as a JSON string literal, quotes included. Control characters are escaped; bytes
// that are not valid UTF-8 (plug-ins write any bytes) become U+FFFD.

#include <string>

std::string JsonString(const std::string& text);
