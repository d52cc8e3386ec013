#include "text.hpp"

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

std::string escape_text(const uint8_t *bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    if (b == '\\') {
      text += "\\\\";
    } else if (printable(b)) {
      text.push_back(static_cast<char>(b));
    } else {
      text += hex_escape("\\x%02x", b);
    }
  }
  return text;
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
