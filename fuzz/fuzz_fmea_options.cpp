// Fuzzes the FMEA option and dfx parsers with arbitrary command strings, as
// a debug shell would hand them over, and checks them against the reference
// model of fmea_reference.hpp:
//   - drv_fmea_parse_opt for every type from -1 to 9 (1 to 8 give their
//     record, any other type only clears valid);
//   - drv_fmea_parse_opt_set on a set of zeros and on a set of marker
//     values: the count of keywords found, the found records' fields, and
//     the records of absent keywords (and absent keys) left untouched;
//   - drv_fmea_parse_cmd, drv_fmea_parse_para and drv_fmea_get_opt_string
//     with a fuzzed keyword or key besides the fixed ones (texts released
//     with hdk_free, so LeakSanitizer sees any lost text);
//   - drv_fmea_parse_dfx_num and drv_fmea_parse_dfx with a small capacity
//     on a guarded array: min(count, capacity) numbers stored, nothing else
//     written.
//
// Input: byte 0, low nibble: the dfx capacity (0-15); high nibble: the
// length of the fuzzed key, whose bytes follow; the rest is the command.
#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "fmea_reference.hpp"
#include "fuzz_support.hpp"

namespace {

using namespace fuzz::fmea_ref;

constexpr uint32_t kMark = 0xA5A5A5A5u;
constexpr drv_fmea_opt kMarked = {kMark, kMark, kMark, kMark, kMark};
constexpr drv_fmea_opt kZero = {0, 0, 0, 0, 0};

void check_option_sets(const char *command, const std::string &s) {
  drv_fmea_opt zeros[DRV_FMEA_OPT_SET_SIZE];
  drv_fmea_opt marked[DRV_FMEA_OPT_SET_SIZE];
  for (uint32_t i = 0; i < DRV_FMEA_OPT_SET_SIZE; ++i) {
    zeros[i] = kZero;
    marked[i] = kMarked;
  }
  const uint32_t count_zeros = drv_fmea_parse_opt_set(command, zeros);
  const uint32_t count_marked = drv_fmea_parse_opt_set(command, marked);

  uint32_t found_count = 0;
  for (uint32_t i = 0; i < DRV_FMEA_OPT_SET_SIZE; ++i) {
    bool found = false;
    const drv_fmea_opt from_zeros = parse_keyword(s, kKeywords[i], kZero, &found);
    const drv_fmea_opt from_marked = parse_keyword(s, kKeywords[i], kMarked, &found);
    found_count += found ? 1u : 0u;
    FUZZ_CHECK(same_record(zeros[i], from_zeros));
    // Absent keywords and absent keys leave the caller's values alone.
    FUZZ_CHECK(same_record(marked[i], from_marked));

    // One option at a time: the record from a set of zeros.
    drv_fmea_opt one = kMarked;
    FUZZ_CHECK(drv_fmea_parse_opt(command, static_cast<drv_fmea_opt_type>(i + 1), &one) == 1);
    FUZZ_CHECK(same_record(one, from_zeros));
  }
  FUZZ_CHECK(count_zeros == found_count && count_marked == found_count);

  for (const drv_fmea_opt_type type : {-1, 0, 9}) {
    drv_fmea_opt one = kMarked;
    FUZZ_CHECK(drv_fmea_parse_opt(command, type, &one) == 0);
    const drv_fmea_opt only_valid_cleared = {0, kMark, kMark, kMark, kMark};
    FUZZ_CHECK(same_record(one, only_valid_cleared));
  }
}

void check_opt_string(const char *command, const std::string &s, const char *key) {
  char *text = drv_fmea_get_opt_string(command, key);
  const std::optional<std::string> expected = opt_string(s, key);
  FUZZ_CHECK((text != nullptr) == expected.has_value());
  if (text != nullptr) {
    FUZZ_CHECK(*expected == text);
    hdk_free(text);
  }
}

void check_free_keyword(const char *command, const std::string &s, const std::string &key) {
  const auto key_block = fuzz::c_string(key);
  const char *k = key_block.get();

  drv_fmea_opt record = kMarked;
  bool found = false;
  const drv_fmea_opt expected = parse_keyword(s, k, kMarked, &found);
  FUZZ_CHECK(drv_fmea_parse_cmd(command, k, &record) == (found ? 1 : 0));
  FUZZ_CHECK(same_record(record, expected));

  // The key read from the start of the command, as if it began at a keyword.
  uint32_t field = kMark;
  drv_fmea_parse_para(command, k, &field);
  FUZZ_CHECK(field == parameter(s, k).value_or(kMark));

  check_opt_string(command, s, k);
}

void check_dfx(const char *command, const std::string &s, uint32_t capacity) {
  const std::optional<std::string> list = opt_string(s, "dfx");
  const Lists numbers = lists_of(list.value_or(std::string()));
  const std::vector<uint32_t> &expected = numbers.mode();
  const uint32_t count = static_cast<uint32_t>(expected.size());
  FUZZ_CHECK(drv_fmea_parse_dfx_num(command) == count);

  constexpr uint32_t kUnset = 0xC0FFEE11u;
  fuzz::Guarded<uint32_t> array(capacity, kUnset, 0x5AFE5AFEu);
  const uint32_t stored = drv_fmea_parse_dfx(command, capacity, array.data());
  FUZZ_CHECK(stored == std::min(count, capacity));
  for (uint32_t i = 0; i < capacity; ++i) {
    FUZZ_CHECK(array[i] == (i < stored ? expected[i] : kUnset));
  }
  FUZZ_CHECK(array.intact());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t head = in.u8();
  const uint32_t capacity = head & 0x0Fu;
  const std::string key = in.bytes(head >> 4);
  const auto command_block = fuzz::c_string(in.rest());
  const char *command = command_block.get();
  const std::string s(command);

  check_option_sets(command, s);
  check_dfx(command, s, capacity);
  check_free_keyword(command, s, key);
  check_opt_string(command, s, "dfx");
  for (const char *keyword : kKeywords) {
    check_opt_string(command, s, keyword);
  }
  return 0;
}
