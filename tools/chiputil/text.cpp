// SPDX-License-Identifier: Apache-2.0
#include "text.hpp"

#include <algorithm>
#include <cstdio>

namespace chiputil {
namespace {

std::string hex_escape(const char *form, uint8_t byte) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, form, byte);
  return buffer;
}

bool printable(uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

}  // namespace

std::string escape_text(std::string_view text, char quote) {
  std::string shown;
  for (const char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (c == '\\' || (quote != '\0' && c == quote)) {
      shown.push_back('\\');
      shown.push_back(c);
    } else if (printable(b)) {
      shown.push_back(c);
    } else {
      shown += hex_escape("\\x%02x", b);
    }
  }
  return shown;
}

std::string quoted(std::string_view text) { return "'" + escape_text(text, '\'') + "'"; }

bool is_printable(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return printable(static_cast<uint8_t>(c)); });
}

std::string json_string(const uint8_t *bytes, size_t count) {
  std::string text = "\"";
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    if (b == '"' || b == '\\') {
      text.push_back('\\');
      text.push_back(static_cast<char>(b));
    } else if (printable(b)) {
      text.push_back(static_cast<char>(b));
    } else {
      text += hex_escape("\\u%04x", b);
    }
  }
  return text + "\"";
}

std::string json_string(const std::string &text) {
  return json_string(reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

}  // namespace chiputil
