// SPDX-License-Identifier: Apache-2.0
// Fuzzes the numeric-token functions of the FMEA parser against the
// reference model of fmea_reference.hpp: the single-character functions on
// every character, widened with drawn junk in the high bits; the character
// count; the number the text begins with; the three counts; and the three
// extractions at a small capacity (cut short) and at one that holds every
// number. An empty text goes in as a null pointer, which reads as the
// empty text.
//
// Input: byte 0 picks the capacity, byte 1 the character counted, bytes 2-5
// the high bits of widened characters; the rest spells the text (see
// command_of).
#include "fmea_reference.hpp"

using namespace fuzz::fmea_ref;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint32_t capacity = in.u8() % 20u;
  const auto counted = static_cast<signed char>(in.u8());
  const uint32_t high = in.u32() & ~0xFFu;
  const std::string s = command_of(in);
  const auto block = fuzz::c_string(s);
  const char *text = s.empty() ? nullptr : block.data();

  // Characters match by their signed 8-bit value against the whole 32 bits.
  const auto matching = static_cast<uint32_t>(std::count(s.begin(), s.end(), counted));
  FUZZ_CHECK(drv_fmea_get_char_num(text, counted) == (counted == 0 ? 0 : matching));
  FUZZ_CHECK(counted >= 0 || drv_fmea_get_char_num(text, static_cast<uint8_t>(counted)) == 0);

  // The single-character functions on every character, widened with junk
  // in the high bits: only the low 8 bits count.
  for (int c = 0; c < 256; ++c) {
    const auto wide = static_cast<int32_t>(high | static_cast<uint32_t>(c));
    FUZZ_CHECK(drv_fmea_char_is_d_digital(wide) == (digit(c, 10) >= 0 ? 1 : 0) &&
               drv_fmea_char_is_x_digital(wide) == (digit(c, 16) >= 0 ? 1 : 0) &&
               drv_fmea_char_to_digital(wide) == std::max(digit(c, 10), 0) &&
               drv_fmea_char_to_xdigital(wide) == std::max(digit(c, 16), 0));
  }

  // The number at the start of the text; string_to_x_num reads the digits
  // behind any two-character prefix.
  uint32_t value = 0xDEADBEEFu;
  const std::optional<uint32_t> expected = number_at(s, 0);
  FUZZ_CHECK(drv_fmea_str_is_x_num(text) == (hex_at(s, 0) ? 1 : 0) &&
             drv_fmea_string_to_d_num(text) == run(s, 0, 10) &&
             drv_fmea_string_to_x_num(text) == (s.size() >= 2 ? run(s, 2, 16) : 0u));
  FUZZ_CHECK(drv_fmea_str_to_num(text, &value) == (expected ? 0 : -1) &&
             drv_fmea_str_to_num(text, nullptr) == -1 && value == expected.value_or(0xDEADBEEFu));

  // The three counts, and the three extractions at a small capacity (cut
  // short) and at one that holds every number.
  using Extract = uint32_t (*)(const char *, uint32_t *, uint32_t);
  const std::pair<Extract, Numbers> forms[] = {{fmea_get_x_nums, numbers_of(s, 16)},
                                               {fmea_get_d_nums, numbers_of(s, 10)},
                                               {drv_fmea_get_nums, list_of(s)}};
  FUZZ_CHECK(drv_fmea_get_x_num_count(text) == forms[0].second.size() &&
             drv_fmea_get_d_num_count(text) == forms[1].second.size() &&
             drv_fmea_get_num_count(text) == forms[2].second.size());
  for (const auto &form : forms) {
    for (const size_t n : {size_t{capacity}, form.second.size()})
      check_stored(form.second, static_cast<uint32_t>(n),
                   [&](uint32_t *a, uint32_t c) { return form.first(text, a, c); });
  }
  return 0;
}
