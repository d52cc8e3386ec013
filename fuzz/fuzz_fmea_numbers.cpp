// Fuzzes the numeric-token functions of the FMEA parser on arbitrary texts
// and checks them against a plain reference model written from the number
// rules (decimal runs, 0x/0X hexadecimal numbers found at every position,
// wrap-around modulo 2^32), including the extractions' capacity contract:
// an extraction stores min(count, capacity) numbers and nothing outside its
// array.
//
// Input: byte 0 picks the extraction capacity, byte 1 the character that
// drv_fmea_get_char_num counts, the rest is the text (cut at a NUL).
#include <chip_util/fmea.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fmea_reference.hpp"
#include "fuzz_support.hpp"

namespace {

using namespace fuzz::fmea_ref;

using Extract = uint32_t (*)(const char *, uint32_t *, uint32_t);

// One extraction into a guarded array: stores exactly the first
// min(count, capacity) reference numbers and nothing else.
void check_extraction(Extract extract, const char *text, const std::vector<uint32_t> &expected,
                      uint32_t capacity) {
  constexpr uint32_t kUnset = 0xC0FFEE11u;
  fuzz::Guarded<uint32_t> array(capacity, kUnset, 0x5AFE5AFEu);
  const uint32_t stored = extract(text, array.data(), capacity);
  const uint32_t count = static_cast<uint32_t>(expected.size());
  FUZZ_CHECK(stored == std::min(count, capacity));
  for (uint32_t i = 0; i < capacity; ++i) {
    FUZZ_CHECK(array[i] == (i < stored ? expected[i] : kUnset));
  }
  FUZZ_CHECK(array.intact());
}

void check_single_numbers(const std::string &s, const char *text) {
  // Every suffix is a text of its own; a bounded number of them keeps long
  // digit runs from making the check quadratic.
  const size_t positions = std::min<size_t>(s.size() + 1, 256);
  for (size_t i = 0; i < positions; ++i) {
    const char *at = text + i;
    const bool hex = hex_at(s, i);
    FUZZ_CHECK(drv_fmea_str_is_x_num(at) == (hex ? 1 : 0));
    FUZZ_CHECK(drv_fmea_string_to_d_num(at) == dec_digits_from(s, i));
    const uint32_t after_prefix = i + 2 <= s.size() ? hex_digits_from(s, i + 2) : 0u;
    FUZZ_CHECK(drv_fmea_string_to_x_num(at) == after_prefix);

    uint32_t value = 0xDEADBEEFu;
    const int32_t result = drv_fmea_str_to_num(at, &value);
    const std::optional<uint32_t> expected = number_at(s, i);
    if (expected) {
      FUZZ_CHECK(result == 0 && value == *expected);
    } else {
      FUZZ_CHECK(result == -1 && value == 0xDEADBEEFu);
    }
  }
}

void check_characters(int32_t c) {
  const char low = static_cast<char>(static_cast<uint8_t>(c));
  FUZZ_CHECK(drv_fmea_char_is_d_digital(c) == (is_dec(low) ? 1 : 0));
  FUZZ_CHECK(drv_fmea_char_is_x_digital(c) == (is_hex(low) ? 1 : 0));
  FUZZ_CHECK(drv_fmea_char_to_digital(c) == static_cast<int32_t>(is_dec(low) ? digit_value(low) : 0));
  FUZZ_CHECK(drv_fmea_char_to_xdigital(c) == static_cast<int32_t>(digit_value(low)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const uint32_t capacity = in.u8() % 20u;
  const uint8_t counted = in.u8();
  const auto text_block = fuzz::c_string(in.rest());
  const char *text = text_block.get();
  const std::string s(text);

  for (char ch : s) {
    check_characters(static_cast<int32_t>(static_cast<signed char>(ch)));
  }
  check_characters(static_cast<int32_t>(0xFFFFFF00u | counted));

  // Characters match by their signed 8-bit value against the whole 32 bits.
  uint32_t same = 0;
  for (char ch : s) same += static_cast<signed char>(ch) == static_cast<signed char>(counted);
  FUZZ_CHECK(drv_fmea_get_char_num(text, static_cast<signed char>(counted)) ==
             (counted == 0 ? 0u : same));
  if (counted > 0x7F) {
    FUZZ_CHECK(drv_fmea_get_char_num(text, counted) == 0u);
  }

  check_single_numbers(s, text);

  const Lists lists = lists_of(s);
  const uint32_t hex_count = static_cast<uint32_t>(lists.hex.size());
  const uint32_t dec_count = static_cast<uint32_t>(lists.dec.size());
  FUZZ_CHECK(drv_fmea_get_x_num_count(text) == hex_count);
  FUZZ_CHECK(drv_fmea_get_d_num_count(text) == dec_count);
  FUZZ_CHECK(drv_fmea_get_num_count(text) == (hex_count != 0 ? hex_count : dec_count));

  // A small capacity (cut short), then one that holds every number.
  for (const uint32_t cap : {capacity, static_cast<uint32_t>(lists.hex.size() + lists.dec.size())}) {
    check_extraction(fmea_get_x_nums, text, lists.hex, cap);
    check_extraction(fmea_get_d_nums, text, lists.dec, cap);
    check_extraction(drv_fmea_get_nums, text, lists.mode(), cap);
  }
  return 0;
}
