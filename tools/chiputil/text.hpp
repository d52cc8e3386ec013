// Showing raw trace bytes to people and to JSON readers.
#pragma once

#include <cstdint>
#include <string>

namespace chiputil {

// Printable ASCII as it is, a backslash as "\\", every other byte as \xHH.
std::string escape_text(const uint8_t *bytes, size_t count);

// A JSON string literal, quotes included. Bytes outside printable ASCII
// become \u00HH, so the output is valid JSON for any input.
std::string json_string(const uint8_t *bytes, size_t count);
std::string json_string(const std::string &text);

}  // namespace chiputil
