// Fuzzes the FMEA option and dfx parsers with command texts spelt from the
// input (see command_of) and checks them against the reference model of
// fmea_reference.hpp:
//   - drv_fmea_parse_opt for every type from 1 to 8 and for types outside,
//     which only clear valid;
//   - drv_fmea_parse_opt_set on a set of zeros and on a set of marker
//     values: the count of keywords found, the found records, and the
//     records of absent keywords and the fields of absent keys untouched;
//     then drv_fmea_get_opt of each record onto itself;
//   - drv_fmea_parse_para and drv_fmea_get_opt_string with a drawn key (a
//     word or a tail of one, such as "val" of "cmp_val") besides the fixed
//     ones; texts are released with hdk_free, so that LeakSanitizer sees any
//     lost one;
//   - drv_fmea_parse_dfx_num and drv_fmea_parse_dfx at a small capacity.
// An empty command goes in as a null pointer, which holds no option; null
// keywords, keys, records, sets and fields are answered without being
// touched.
//
// Input: byte 0 picks the dfx capacity, byte 1 the drawn key; the rest
// spells the command.
#include "fmea_reference.hpp"

namespace {

using namespace fuzz::fmea_ref;

constexpr uint32_t kMark = 0xA5A5A5A5u;
constexpr drv_fmea_opt kMarked = {kMark, kMark, kMark, kMark, kMark};

void check_opt_string(const char *command, const std::string &s, const char *key) {
  char *text = drv_fmea_get_opt_string(command, key);
  const std::optional<std::string> expected = opt_string(s, key);
  FUZZ_CHECK((text != nullptr) == expected.has_value() && (text == nullptr || *expected == text));
  hdk_free(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const uint32_t capacity = in.u8() % 16u;
  const uint8_t key_pick = in.u8();
  const std::string word = kWords[key_pick % std::size(kWords)];
  const std::string key = word.substr(std::min<size_t>(key_pick / std::size(kWords), word.size()));
  const std::string s = command_of(in);
  const auto command_block = fuzz::c_string(s);
  const char *command = s.empty() ? nullptr : command_block.get();

  drv_fmea_opt zeros[DRV_FMEA_OPT_SET_SIZE] = {};
  drv_fmea_opt marked[DRV_FMEA_OPT_SET_SIZE];
  std::fill(std::begin(marked), std::end(marked), kMarked);
  const uint32_t count_zeros = drv_fmea_parse_opt_set(command, zeros);
  const uint32_t count_marked = drv_fmea_parse_opt_set(command, marked);
  uint32_t found_count = 0;
  for (int32_t type = 1; type <= 8; ++type) {
    const size_t i = static_cast<size_t>(type - 1);  // kWords begins with the keywords
    bool found = false;
    const drv_fmea_opt expected = parse_keyword(s, kWords[i], {}, found);
    found_count += found ? 1u : 0u;
    drv_fmea_opt one = kMarked;
    // Null sets and records are answered with 0, nothing stored.
    FUZZ_CHECK(drv_fmea_parse_opt(command, type, &one) == 1 &&
               !drv_fmea_get_opt(nullptr, type, &one));
    FUZZ_CHECK(same(one, expected) && same(zeros[i], expected));
    FUZZ_CHECK(!drv_fmea_parse_opt(command, type, nullptr) &&
               !drv_fmea_get_opt(zeros, type, nullptr));
    FUZZ_CHECK(same(marked[i], parse_keyword(s, kWords[i], kMarked, found)));
    FUZZ_CHECK(drv_fmea_get_opt(zeros, type, &zeros[i]) == 1 && same(zeros[i], expected));
    check_opt_string(command, s, kWords[i]);
  }
  FUZZ_CHECK(count_zeros == found_count && count_marked == found_count &&
             drv_fmea_parse_opt_set(command, nullptr) == 0);
  for (const drv_fmea_opt_type type : {INT32_MIN, -1, 0, 9, INT32_MAX}) {
    drv_fmea_opt one = kMarked;
    FUZZ_CHECK(!drv_fmea_parse_opt(command, type, &one) &&
               same(one, {0, kMark, kMark, kMark, kMark}));
  }

  // The drawn key read from the command's start, as if it began at a
  // keyword, and as the key of a text.
  const auto key_block = fuzz::c_string(key);
  drv_fmea_opt record = kMarked;
  FUZZ_CHECK(!drv_fmea_parse_cmd(command, nullptr, &record) && same(record, kMarked));
  FUZZ_CHECK(!drv_fmea_parse_cmd(command, "", nullptr));
  uint32_t field = kMark;
  drv_fmea_parse_para(command, key_block.get(), &field);
  drv_fmea_parse_para(command, nullptr, &field);
  drv_fmea_parse_para(command, key_block.get(), nullptr);
  FUZZ_CHECK(field == parameter(s, key).value_or(kMark));
  check_opt_string(command, s, key_block.get());
  FUZZ_CHECK(drv_fmea_get_opt_string(command, nullptr) == nullptr);

  check_opt_string(command, s, "dfx");
  const Numbers list = list_of(opt_string(s, "dfx").value_or(""));
  FUZZ_CHECK(drv_fmea_parse_dfx_num(command) == list.size());
  check_stored(list, capacity,
               [&](uint32_t *a, uint32_t n) { return drv_fmea_parse_dfx(command, n, a); });
  return 0;
}
