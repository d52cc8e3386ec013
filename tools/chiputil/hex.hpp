// SPDX-License-Identifier: Apache-2.0
// Hexadecimal text to bytes and back, as the command line writes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace chiputil {

struct ParsedHex {
  std::vector<uint8_t> bytes;
  std::string error;  // empty on success; otherwise a one-line reason
};

// Bytes written as pairs of hex digits. Blanks, colons and commas may
// separate groups, and each group may start with 0x or 0X: "c8 20:0x20",
// "c82020" and "0xc82020" all give c8 20 20. An odd number of digits or any
// other character is an error.
ParsedHex parse_hex_bytes(std::string_view text);

// A number written in hex, with or without 0x, as 32-bit words, most
// significant word first: `words` words, or as many more as the value
// needs (leading zeros need none). Fails only when the text is not hex, so
// the caller decides what a value too wide for its use means.
struct ParsedWords {
  std::vector<uint32_t> words;
  std::string error;
};
ParsedWords parse_hex_value(std::string_view text, size_t words);

// "c8 20 20" style: lower-case pairs separated by `separator`.
std::string format_hex(const uint8_t *bytes, size_t count, std::string_view separator = " ");

// The lowest `bits` bits of a most-significant-first word array as hex
// digits, ceil(bits / 4) of them, most significant first.
std::string format_hex_value(const std::vector<uint32_t> &words, uint32_t bits);

}  // namespace chiputil
