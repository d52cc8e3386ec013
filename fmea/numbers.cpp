// SPDX-License-Identifier: Apache-2.0
// Numeric tokens: single characters, single numbers and number lists.
#include <chip_util/fmea.h>

#include "number_scan.hpp"

using chip_fmea::NumberForm;

namespace {

// A null text reads as the empty text.
const char *or_empty(const char *text) { return text != nullptr ? text : ""; }

uint32_t extract(const char *text, NumberForm form, uint32_t *array, uint32_t capacity) {
  if (text == nullptr || array == nullptr) {
    return 0;
  }
  return chip_fmea::scan_numbers(text, form, array, capacity);
}

}  // namespace

extern "C" int32_t drv_fmea_char_is_d_digital(int32_t c) {
  return chip_fmea::is_dec_digit(chip_fmea::low_byte(c)) ? 1 : 0;
}

extern "C" int32_t drv_fmea_char_is_x_digital(int32_t c) {
  return chip_fmea::is_hex_digit(chip_fmea::low_byte(c)) ? 1 : 0;
}

extern "C" int32_t drv_fmea_char_to_digital(int32_t c) {
  return static_cast<int32_t>(chip_fmea::dec_value(chip_fmea::low_byte(c)));
}

extern "C" int32_t drv_fmea_char_to_xdigital(int32_t c) {
  return static_cast<int32_t>(chip_fmea::hex_value(chip_fmea::low_byte(c)));
}

extern "C" int32_t drv_fmea_str_is_x_num(const char *text) {
  return chip_fmea::hex_number_at(or_empty(text)) ? 1 : 0;
}

extern "C" uint32_t drv_fmea_string_to_x_num(const char *text) {
  return chip_fmea::accumulate_hex_after_prefix(or_empty(text));
}

extern "C" uint32_t drv_fmea_string_to_d_num(const char *text) {
  return chip_fmea::accumulate_dec(or_empty(text));
}

extern "C" int32_t drv_fmea_str_to_num(const char *text, uint32_t *value) {
  if (text == nullptr || value == nullptr) {
    return -1;
  }
  if (chip_fmea::hex_number_at(text)) {
    *value = chip_fmea::accumulate_hex(text + 2);
    return 0;
  }
  if (chip_fmea::is_dec_digit(text[0])) {
    *value = chip_fmea::accumulate_dec(text);
    return 0;
  }
  return -1;
}

extern "C" uint32_t drv_fmea_get_char_num(const char *text, int32_t c) {
  uint32_t count = 0;
  for (const char *p = or_empty(text); *p != '\0'; ++p) {
    // Characters are signed bytes here, whatever the platform's char is.
    count += static_cast<int32_t>(static_cast<signed char>(*p)) == c ? 1u : 0u;
  }
  return count;
}

extern "C" uint32_t drv_fmea_get_d_num_count(const char *text) {
  return chip_fmea::count_numbers(or_empty(text), NumberForm::dec);
}

extern "C" uint32_t drv_fmea_get_x_num_count(const char *text) {
  return chip_fmea::count_numbers(or_empty(text), NumberForm::hex);
}

extern "C" uint32_t drv_fmea_get_num_count(const char *text) {
  const char *list = or_empty(text);
  return chip_fmea::count_numbers(list, chip_fmea::list_form(list));
}

extern "C" uint32_t fmea_get_x_nums(const char *text, uint32_t *array, uint32_t capacity) {
  return extract(text, NumberForm::hex, array, capacity);
}

extern "C" uint32_t fmea_get_d_nums(const char *text, uint32_t *array, uint32_t capacity) {
  return extract(text, NumberForm::dec, array, capacity);
}

extern "C" uint32_t drv_fmea_get_nums(const char *text, uint32_t *array, uint32_t capacity) {
  const char *list = or_empty(text);
  return extract(list, chip_fmea::list_form(list), array, capacity);
}
