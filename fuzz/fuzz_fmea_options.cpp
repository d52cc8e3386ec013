// Fuzzes the FMEA option and dfx parsers with command texts spelt from the
// input (see command_of) against a reference model of the option rules:
// drv_fmea_parse_opt for every type (types outside 1-8 only clear valid);
// drv_fmea_parse_opt_set on marker values (the count, the records found,
// absent keywords and keys untouched) and drv_fmea_get_opt; the option
// texts, released with hdk_free so that LeakSanitizer sees a lost one;
// drv_fmea_parse_para and drv_fmea_get_opt_string with a drawn key (a word
// or a tail of one, such as "val" of "cmp_val"); the dfx count and list at
// a small capacity. An empty command goes in as a null pointer; null keys,
// records, sets and fields are answered without being touched.
//
// Input: byte 0 picks the dfx capacity, byte 1 the drawn key; the rest
// spells the command.
#include "fmea_reference.hpp"

namespace {

using namespace fuzz::fmea_ref;

constexpr uint32_t kMark = 0xA5A5A5A5u;
constexpr drv_fmea_opt kMarked = {kMark, kMark, kMark, kMark, kMark};

bool same(const drv_fmea_opt &a, const drv_fmea_opt &b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The key's value in t (which begins at its keyword): the key's first
// occurrence, one separator, then a number, the separator before t's first
// ']'. A key that is a proper tail of another key ("val" of "cmp_val")
// counts only where it does not continue a word.
std::optional<uint32_t> parameter(const std::string &t, const std::string &key) {
  bool tail = false;
  for (const std::string k : kKeys)
    tail |= !key.empty() && k.size() > key.size() && k.ends_with(key);
  size_t at = t.find(key);
  while (tail && at != std::string::npos && at > 0 &&
         (std::isalnum(t[at - 1] & 0xFF) || t[at - 1] == '_'))
    at = t.find(key, at + 1);
  if (at == std::string::npos || t.find(']') == std::string::npos ||
      t.find(']') <= at + key.size() + 1)
    return std::nullopt;
  return number_at(t, at + key.size() + 1);
}

// From the key's first occurrence through the first ']' after it; nothing
// when either is missing or the ']' is the key's own first character.
std::optional<std::string> opt_string(const std::string &s, const std::string &key) {
  const size_t at = s.find(key);
  const size_t bracket = at == std::string::npos ? at : s.find(']', at);
  if (bracket == std::string::npos || bracket == at) return std::nullopt;
  return s.substr(at, bracket - at + 1);
}

// The record of the keyword at s[at]: valid 1, and each key's value or
// `unset`.
drv_fmea_opt record(const std::string &s, size_t at, uint32_t unset) {
  const auto field = [&](size_t k) { return parameter(s.substr(at), kKeys[k]).value_or(unset); };
  return {1, field(0), field(1), field(2), field(3)};
}

void check_opt_string(const char *command, const std::string &s, const char *key) {
  char *text = drv_fmea_get_opt_string(command, key);
  FUZZ_CHECK(text == nullptr ? !opt_string(s, key) : opt_string(s, key) == text);
  hdk_free(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint32_t capacity = in.u8() % 16u;
  const uint8_t key_pick = in.u8();
  const std::string word = kWords[key_pick % std::size(kWords)];
  const std::string key = word.substr(std::min<size_t>(key_pick / std::size(kWords), word.size()));
  const std::string s = command_of(in);
  const auto block = fuzz::c_string(s);
  const char *command = s.empty() ? nullptr : block.data();

  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
  std::fill(std::begin(set), std::end(set), kMarked);
  const uint32_t found = drv_fmea_parse_opt_set(command, set);
  uint32_t keywords = 0;
  for (int32_t type = 1; type <= 8; ++type) {
    const size_t at = s.find(kWords[type - 1]);  // kWords begins with the keywords
    const bool present = at != std::string::npos;
    const drv_fmea_opt &stored = set[type - 1];
    keywords += present ? 1 : 0;
    drv_fmea_opt one = kMarked;
    FUZZ_CHECK(drv_fmea_parse_opt(command, type, &one) == 1 &&
               same(one, present ? record(s, at, 0) : drv_fmea_opt{}));
    FUZZ_CHECK(drv_fmea_get_opt(set, type, &set[type - 1]) == 1 &&  // onto itself: in place
               same(stored, present ? record(s, at, kMark) : kMarked));
    FUZZ_CHECK(drv_fmea_get_opt(set, type, &one) == 1 && same(one, stored));
    FUZZ_CHECK(!drv_fmea_get_opt(nullptr, type, &one) && !drv_fmea_get_opt(set, type, nullptr) &&
               !drv_fmea_parse_opt(command, type, nullptr) && same(one, stored));
    check_opt_string(command, s, kWords[type - 1]);
  }
  FUZZ_CHECK(found == keywords && drv_fmea_parse_opt_set(command, nullptr) == 0);
  for (const int32_t type : {INT32_MIN, 0, 9}) {
    drv_fmea_opt one = kMarked;
    FUZZ_CHECK(!drv_fmea_parse_opt(command, type, &one) &&
               same(one, {0, kMark, kMark, kMark, kMark}));
  }

  // The drawn key read from the command's start, as if it began at a
  // keyword, and as the key of a text.
  const auto key_block = fuzz::c_string(key);
  uint32_t field = kMark;
  drv_fmea_parse_para(command, key_block.data(), &field);
  drv_fmea_parse_para(command, nullptr, &field);
  drv_fmea_parse_para(command, key_block.data(), nullptr);
  FUZZ_CHECK(field == parameter(s, key).value_or(kMark));
  check_opt_string(command, s, key_block.data());
  drv_fmea_opt one = kMarked;
  FUZZ_CHECK(!drv_fmea_parse_cmd(command, nullptr, &one) &&
             !drv_fmea_parse_cmd(command, "", nullptr) && same(one, kMarked) &&
             drv_fmea_get_opt_string(command, nullptr) == nullptr);

  check_opt_string(command, s, "dfx");
  const Numbers list = list_of(opt_string(s, "dfx").value_or(""));
  FUZZ_CHECK(drv_fmea_parse_dfx_num(command) == list.size());
  check_stored(list, capacity,
               [&](uint32_t *a, uint32_t n) { return drv_fmea_parse_dfx(command, n, a); });
  return 0;
}
