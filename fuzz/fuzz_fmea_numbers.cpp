// Fuzzes the numeric-token functions of the FMEA parser against the
// reference model of fmea_reference.hpp: the single-character functions on
// a widened character and on every character of a text, the character
// count, the number at every position of the text, the three counts, and
// the three extractions into guarded arrays at a small capacity (cut short)
// and at one that holds every number. An empty text goes in as a null
// pointer, which reads as the empty text.
//
// Input: byte 0 picks the capacity, byte 1 the character counted, bytes 2-5
// a widened character; the rest spells the text (see command_of).
#include "fmea_reference.hpp"

namespace {

using namespace fuzz::fmea_ref;
using Extract = uint32_t (*)(const char *, uint32_t *, uint32_t);

// Only the low 8 bits of a widened character count.
void check_character(int32_t c) {
  const char low = static_cast<char>(c);
  FUZZ_CHECK(drv_fmea_char_is_d_digital(c) == (digit(low, 10) >= 0 ? 1 : 0));
  FUZZ_CHECK(drv_fmea_char_is_x_digital(c) == (digit(low, 16) >= 0 ? 1 : 0));
  FUZZ_CHECK(drv_fmea_char_to_digital(c) == std::max(digit(low, 10), 0));
  FUZZ_CHECK(drv_fmea_char_to_xdigital(c) == std::max(digit(low, 16), 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const uint32_t capacity = in.u8() % 20u;
  const auto counted = static_cast<signed char>(in.u8());
  check_character(static_cast<int32_t>(in.u32()));
  const std::string s = command_of(in);
  const auto block = fuzz::c_string(s);
  const char *text = s.empty() ? nullptr : block.get();

  // Characters match by their signed 8-bit value against the whole 32 bits.
  const auto matching = std::count_if(
      s.begin(), s.end(), [&](char ch) { return static_cast<signed char>(ch) == counted; });
  FUZZ_CHECK(drv_fmea_get_char_num(text, counted) ==
             static_cast<uint32_t>(counted == 0 ? 0 : matching));
  FUZZ_CHECK(counted >= 0 || drv_fmea_get_char_num(text, static_cast<uint8_t>(counted)) == 0);

  // Every suffix is a text of its own; a bounded number of them keeps long
  // texts from making the check quadratic.
  for (size_t i = 0; i <= std::min<size_t>(s.size(), 255); ++i) {
    const char *at = text == nullptr ? nullptr : text + i;
    check_character(static_cast<signed char>(s.c_str()[i]));
    FUZZ_CHECK(drv_fmea_str_is_x_num(at) == (hex_at(s, i) ? 1 : 0));
    FUZZ_CHECK(drv_fmea_string_to_d_num(at) == run(s, i, 10));
    FUZZ_CHECK(drv_fmea_string_to_x_num(at) == (i + 2 <= s.size() ? run(s, i + 2, 16) : 0u));
    uint32_t value = 0xDEADBEEFu;
    const std::optional<uint32_t> expected = number_at(s, i);
    FUZZ_CHECK(drv_fmea_str_to_num(at, &value) == (expected ? 0 : -1) &&
               drv_fmea_str_to_num(at, nullptr) == -1);
    FUZZ_CHECK(value == expected.value_or(0xDEADBEEFu));
  }

  const Numbers hex = numbers_of(s, 16);
  const Numbers dec = numbers_of(s, 10);
  FUZZ_CHECK(drv_fmea_get_x_num_count(text) == hex.size());
  FUZZ_CHECK(drv_fmea_get_d_num_count(text) == dec.size());
  FUZZ_CHECK(drv_fmea_get_num_count(text) == list_of(s).size());
  const std::pair<Extract, Numbers> forms[] = {
      {fmea_get_x_nums, hex}, {fmea_get_d_nums, dec}, {drv_fmea_get_nums, list_of(s)}};
  for (const auto &form : forms) {
    const Extract extract = form.first;
    const Numbers &expected = form.second;
    // A small capacity (cut short), then one that holds every number.
    for (const size_t n : {size_t{capacity}, expected.size()}) {
      check_stored(expected, static_cast<uint32_t>(n),
                   [&](uint32_t *a, uint32_t c) { return extract(text, a, c); });
    }
  }
  return 0;
}
