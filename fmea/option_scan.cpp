// SPDX-License-Identifier: Apache-2.0
// Locating options and their parameters inside a command string.
#include "option_scan.hpp"

#include <cstring>

namespace chip_fmea {
namespace {

bool continues_word(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool ends_with(const char *text, const char *tail) {
  const size_t text_len = std::strlen(text);
  const size_t tail_len = std::strlen(tail);
  return text_len > tail_len && std::strcmp(text + (text_len - tail_len), tail) == 0;
}

}  // namespace

bool is_tail_of_longer_key(const char *key) {
  for (const OptionKey &other : kOptionKeys) {
    if (ends_with(other.name, key)) {
      return true;
    }
  }
  return false;
}

const char *find_key(const char *text, const char *key) {
  const char *found = std::strstr(text, key);
  if (found == nullptr || key[0] == '\0' || !is_tail_of_longer_key(key)) {
    return found;
  }
  while (found != nullptr && found != text && continues_word(found[-1])) {
    found = std::strstr(found + 1, key);
  }
  return found;
}

const char *parameter_number(const char *text, const char *key) {
  const char *at = find_key(text, key);
  const char *bracket = std::strchr(text, ']');
  if (at == nullptr || bracket == nullptr) {
    return nullptr;
  }
  // Compare offsets, not pointers past the end of the text.
  const size_t number_offset = static_cast<size_t>(at - text) + std::strlen(key) + 1;
  const size_t bracket_offset = static_cast<size_t>(bracket - text);
  return bracket_offset > number_offset ? text + number_offset : nullptr;
}

}  // namespace chip_fmea
