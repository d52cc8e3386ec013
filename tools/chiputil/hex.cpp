// SPDX-License-Identifier: Apache-2.0
#include "hex.hpp"

#include <algorithm>

#include "text.hpp"

namespace chiputil {
namespace {

int digit_value(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

bool is_separator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == ':' || c == ','; }

// The hex digits of `text` with separators and 0x prefixes removed, or an
// error naming the first character that is neither.
std::string collect_digits(std::string_view text, std::string &error) {
  std::string digits;
  bool group_start = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (is_separator(c)) {
      group_start = true;
      continue;
    }
    if (group_start && c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      ++i;
      group_start = false;
      continue;
    }
    group_start = false;
    if (digit_value(c) < 0) {
      error = "malformed hex: " + quoted(std::string_view(&text[i], 1)) + " at position " +
              std::to_string(i + 1) +
              " is not a hex digit (expected pairs of 0-9a-f, optionally separated by blanks or "
              "colons)";
      return {};
    }
    digits.push_back(c);
  }
  return digits;
}

}  // namespace

ParsedHex parse_hex_bytes(std::string_view text) {
  ParsedHex result;
  const std::string digits = collect_digits(text, result.error);
  if (!result.error.empty()) {
    return result;
  }
  if (digits.size() % 2 != 0) {
    result.error = "malformed hex: odd number of hex digits (" + std::to_string(digits.size()) +
                   "); every byte takes two";
    return result;
  }
  for (size_t i = 0; i < digits.size(); i += 2) {
    result.bytes.push_back(static_cast<uint8_t>(digit_value(digits[i]) * 16 + digit_value(digits[i + 1])));
  }
  return result;
}

ParsedWords parse_hex_value(std::string_view text, size_t words) {
  ParsedWords result;
  std::string digits = collect_digits(text, result.error);
  if (!result.error.empty()) {
    return result;
  }
  if (digits.empty()) {
    result.error = "malformed hex: no digits";
    return result;
  }
  // Leading zeros never make a value wider.
  const size_t first = digits.find_first_not_of('0');
  digits.erase(0, first == std::string::npos ? digits.size() - 1 : first);
  words = std::max(words, (digits.size() + 7) / 8);
  result.words.assign(words, 0);
  for (size_t i = 0; i < digits.size(); ++i) {
    const size_t nibble = digits.size() - 1 - i;  // 0 = least significant
    uint32_t &word = result.words[words - 1 - nibble / 8];
    word |= static_cast<uint32_t>(digit_value(digits[i])) << (4 * (nibble % 8));
  }
  return result;
}

std::string format_hex(const uint8_t *bytes, size_t count, std::string_view separator) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i != 0) {
      text += separator;
    }
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0xF]);
  }
  return text;
}

std::string format_hex_value(const std::vector<uint32_t> &words, uint32_t bits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  const uint32_t nibbles = (bits + 3) / 4;
  for (uint32_t n = nibbles; n-- > 0;) {
    const size_t word_index = words.size() - 1 - n / 8;
    text.push_back(kDigits[(words[word_index] >> (4 * (n % 8))) & 0xF]);
  }
  return text;
}

}  // namespace chiputil
