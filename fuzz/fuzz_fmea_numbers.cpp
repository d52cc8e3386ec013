// Fuzzes the numeric-token functions of the FMEA parser against the
// reference model of fmea_reference.hpp: the single-character functions on
// every character of a text, widened with junk in the high bits; the
// character count; the number at every position of the text; the three
// counts; and the three extractions at a small capacity (cut short) and at
// one that holds every number. An empty text goes in as a null pointer,
// which reads as the empty text.
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

  // Every suffix is a text of its own; a bounded number of them keeps long
  // texts from making the check quadratic.
  for (size_t i = 0; i <= std::min<size_t>(s.size(), 255); ++i) {
    const char *at = text == nullptr ? nullptr : text + i;
    const auto c = static_cast<int32_t>(high | (s.c_str()[i] & 0xFF));  // only the low 8 bits count
    FUZZ_CHECK(drv_fmea_char_is_d_digital(c) == (digit(s.c_str()[i], 10) >= 0 ? 1 : 0) &&
               drv_fmea_char_is_x_digital(c) == (digit(s.c_str()[i], 16) >= 0 ? 1 : 0) &&
               drv_fmea_char_to_digital(c) == std::max(digit(s.c_str()[i], 10), 0) &&
               drv_fmea_char_to_xdigital(c) == std::max(digit(s.c_str()[i], 16), 0));
    FUZZ_CHECK(drv_fmea_str_is_x_num(at) == (hex_at(s, i) ? 1 : 0));
    FUZZ_CHECK(drv_fmea_string_to_d_num(at) == run(s, i, 10));
    FUZZ_CHECK(drv_fmea_string_to_x_num(at) == (i + 2 <= s.size() ? run(s, i + 2, 16) : 0u));
    uint32_t value = 0xDEADBEEFu;
    const std::optional<uint32_t> expected = number_at(s, i);
    FUZZ_CHECK(drv_fmea_str_to_num(at, &value) == (expected ? 0 : -1) &&
               drv_fmea_str_to_num(at, nullptr) == -1 && value == expected.value_or(0xDEADBEEFu));
  }

  using Extract = uint32_t (*)(const char *, uint32_t *, uint32_t);
  const std::pair<Extract, Numbers> forms[] = {{fmea_get_x_nums, numbers_of(s, 16)},
                                               {fmea_get_d_nums, numbers_of(s, 10)},
                                               {drv_fmea_get_nums, list_of(s)}};
  FUZZ_CHECK(drv_fmea_get_x_num_count(text) == forms[0].second.size() &&
             drv_fmea_get_d_num_count(text) == forms[1].second.size() &&
             drv_fmea_get_num_count(text) == forms[2].second.size());
  for (const auto &form : forms) {
    // A small capacity (cut short), then one that holds every number.
    for (const size_t n : {size_t{capacity}, form.second.size()}) {
      check_stored(form.second, static_cast<uint32_t>(n),
                   [&](uint32_t *a, uint32_t c) { return form.first(text, a, c); });
    }
  }
  return 0;
}
