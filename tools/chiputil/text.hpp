// SPDX-License-Identifier: Apache-2.0
// Showing raw bytes to people and to JSON readers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace chiputil {

// Printable ASCII as it is; a backslash, and `quote` when given, behind a
// backslash; every other byte (controls, DEL, bytes >= 0x80) as \xHH. The
// result is one line of printable ASCII from which the bytes can be read
// back exactly.
std::string escape_text(std::string_view text, char quote = '\0');

// How every message shows a text that came from outside (an argument, a
// character of it, part of an FMEA command): in single quotes, escaped as
// above, so a newline, a CR or a terminal control in the input can neither
// split the message nor act on the terminal.
std::string quoted(std::string_view text);

// True when every byte is printable ASCII (blank to '~').
bool is_printable(std::string_view text);

// A JSON string literal, quotes included. Bytes outside printable ASCII
// become \u00HH, so the output is valid JSON for any input.
std::string json_string(const uint8_t *bytes, size_t count);
std::string json_string(const std::string &text);

}  // namespace chiputil
