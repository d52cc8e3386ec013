// SPDX-License-Identifier: Apache-2.0
// Token scanning behind the number functions: character classes, digit
// accumulation and the walk over every number of a list. Pure functions on
// NUL-terminated texts; none reads past the terminating NUL.
#pragma once

#include <cstdint>

namespace chip_fmea {

// Only the low 8 bits of a widened character count.
constexpr char low_byte(int32_t c) { return static_cast<char>(static_cast<uint8_t>(c)); }

constexpr bool is_dec_digit(char c) { return c >= '0' && c <= '9'; }

constexpr bool is_hex_digit(char c) {
  return is_dec_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

constexpr uint32_t dec_value(char c) {
  return is_dec_digit(c) ? static_cast<uint32_t>(c - '0') : 0u;
}

constexpr uint32_t hex_value(char c) {
  if (c >= 'a' && c <= 'f') {
    return static_cast<uint32_t>(c - 'a' + 10);
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<uint32_t>(c - 'A' + 10);
  }
  return dec_value(c);
}

// 0, x or X, then a hexadecimal digit. The && chain stops at the first
// mismatch, so a NUL among the first two characters ends the test there.
constexpr bool hex_number_at(const char *p) {
  return p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && is_hex_digit(p[2]);
}

// Unsigned arithmetic wraps modulo 2^32, which is the conversion rule.
constexpr uint32_t accumulate_hex(const char *p) {
  uint32_t value = 0;
  for (; is_hex_digit(*p); ++p) {
    value = value * 16u + hex_value(*p);
  }
  return value;
}

constexpr uint32_t accumulate_dec(const char *p) {
  uint32_t value = 0;
  for (; is_dec_digit(*p); ++p) {
    value = value * 10u + dec_value(*p);
  }
  return value;
}

// The digits behind a two-character prefix; a NUL inside the prefix means
// there are no digits (and nothing behind it may be read).
constexpr uint32_t accumulate_hex_after_prefix(const char *p) {
  return p[0] == '\0' || p[1] == '\0' ? 0u : accumulate_hex(p + 2);
}

enum class NumberForm { hex, dec };

// A number of the form begins at `p` inside `text`. Hexadecimal numbers may
// begin anywhere (so "0x10x2" holds two); a decimal number begins where a
// digit follows a non-digit or the start of the text.
constexpr bool number_begins(const char *text, const char *p, NumberForm form) {
  if (form == NumberForm::hex) {
    return hex_number_at(p);
  }
  return is_dec_digit(*p) && (p == text || !is_dec_digit(p[-1]));
}

constexpr uint32_t number_value(const char *p, NumberForm form) {
  return form == NumberForm::hex ? accumulate_hex(p + 2) : accumulate_dec(p);
}

// Walks `text` one character at a time and handles every number of the
// form in order. With a null `out` it only counts them all; otherwise it
// stores their values and stops once `capacity` entries are stored.
constexpr uint32_t scan_numbers(const char *text, NumberForm form, uint32_t *out,
                                uint32_t capacity) {
  uint32_t found = 0;
  for (const char *p = text; *p != '\0'; ++p) {
    if (!number_begins(text, p, form)) {
      continue;
    }
    if (out != nullptr) {
      if (found == capacity) {
        break;
      }
      out[found] = number_value(p, form);
    }
    ++found;
  }
  return found;
}

constexpr uint32_t count_numbers(const char *text, NumberForm form) {
  return scan_numbers(text, form, nullptr, 0);
}

// A list is in hexadecimal mode as soon as it holds one such number.
constexpr bool holds_hex_number(const char *text) {
  for (const char *p = text; *p != '\0'; ++p) {
    if (hex_number_at(p)) {
      return true;
    }
  }
  return false;
}

constexpr NumberForm list_form(const char *text) {
  return holds_hex_number(text) ? NumberForm::hex : NumberForm::dec;
}

}  // namespace chip_fmea
