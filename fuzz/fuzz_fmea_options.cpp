// SPDX-License-Identifier: Apache-2.0
// Fuzzes the FMEA option and dfx parsers with command texts spelt from the
// input (see command_of) against a reference model of the option rules:
// drv_fmea_parse_opt for every type (an unknown type only clears valid);
// drv_fmea_parse_opt_set on marker values (the count, the records found,
// absent keywords and keys untouched) and drv_fmea_get_opt;
// drv_fmea_get_opt_string with a drawn word, its text released with
// hdk_free so that LeakSanitizer sees a lost one; the dfx count and list at
// a small capacity. An empty command goes in as a null pointer; null keys,
// records, sets and fields are answered without being touched (the
// type-independent ones once per command, before the per-type loop).
//
// Input: byte 0 picks the dfx capacity, byte 1 the drawn word; the rest
// spells the command.
#include "fmea_reference.hpp"

using namespace fuzz::fmea_ref;

constexpr uint32_t kMark = 0xA5A5A5A5u;
constexpr drv_fmea_opt kMarked = {kMark, kMark, kMark, kMark, kMark};

static bool same(const drv_fmea_opt &a, const drv_fmea_opt &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The key's value in t (which begins at its keyword): the key's first
// occurrence, one separator, then a number, the separator before t's first
// ']'. A key that is a proper tail of another key ("val" of "cmp_val")
// counts only where it does not continue a word.
static std::optional<uint32_t> parameter(const std::string &t, const std::string &key) {
  const bool tail = key == "val";
  size_t at = t.find(key);
  while (tail && at != std::string::npos && at > 0 && (std::isalnum(t[at - 1] & 0xFF) || t[at - 1] == '_'))
    at = t.find(key, at + 1);
  const size_t bracket = t.find(']');
  if (at == std::string::npos || bracket == std::string::npos || bracket <= at + key.size() + 1)
    return std::nullopt;
  return number_at(t, at + key.size() + 1);
}

// From the key's first occurrence through the first ']' after it; nothing
// when either is missing or the ']' is the key's own first character.
static std::optional<std::string> opt_string(const std::string &s, const std::string &key) {
  const size_t at = s.find(key);
  const size_t bracket = at == std::string::npos ? at : s.find(']', at);
  if (bracket == std::string::npos || bracket == at) return std::nullopt;
  return s.substr(at, bracket - at + 1);
}

// The record of the keyword at s[at]: valid 1, and each key's value or
// `unset`.
static drv_fmea_opt record(const std::string &s, size_t at, uint32_t unset) {
  const auto field = [&](size_t k) { return parameter(s.substr(at), kKeys[k]).value_or(unset); };
  return {1, field(0), field(1), field(2), field(3)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint32_t capacity = in.u8() % 16u;
  const auto key = fuzz::c_string(kWords[in.u8() % std::size(kWords)]);
  const std::string s = command_of(in);
  const auto block = fuzz::c_string(s);
  const char *command = s.empty() ? nullptr : block.data();

  // Each type alone (from zeros), and the set at once onto marked records,
  // which an absent keyword or key leaves as they are. get_opt copies a
  // record onto itself in place. An unknown type (8 above or below a known
  // one) only clears valid; null pointers are refused without a write.
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
  std::fill(std::begin(set), std::end(set), kMarked);
  const uint32_t found = drv_fmea_parse_opt_set(command, set);
  drv_fmea_opt untouched = kMarked;
  drv_fmea_parse_para(command, nullptr, &untouched.addr);
  drv_fmea_parse_para(command, kKeys[0], nullptr);
  FUZZ_CHECK(!drv_fmea_parse_cmd(command, nullptr, &untouched) && !drv_fmea_parse_cmd(command, "", nullptr) &&
             same(untouched, kMarked));
  uint32_t keywords = 0;
  for (int32_t type = 1; type <= 8; ++type) {
    const size_t at = s.find(kWords[type - 1]);  // kWords begins with the keywords
    const bool present = at != std::string::npos;
    keywords += present ? 1 : 0;
    drv_fmea_opt one = kMarked;
    FUZZ_CHECK(!drv_fmea_parse_opt(command, type + 8, &one) && same(one, {0, kMark, kMark, kMark, kMark}) &&
               drv_fmea_parse_opt(command, type, &one) == 1 && !drv_fmea_parse_opt(command, type, nullptr) &&
               !drv_fmea_get_opt(nullptr, type, &one) && !drv_fmea_get_opt(set, type, nullptr) &&
               !drv_fmea_get_opt(set, type - 8, &one) &&
               same(one, present ? record(s, at, 0) : drv_fmea_opt{}));
    FUZZ_CHECK(drv_fmea_get_opt(set, type, &set[type - 1]) == 1 &&
               same(set[type - 1], present ? record(s, at, kMark) : kMarked));
  }
  FUZZ_CHECK(found == keywords && drv_fmea_parse_opt_set(command, nullptr) == 0);

  // The text of the drawn word's option, released with hdk_free so that
  // LeakSanitizer sees a lost one.
  char *text = drv_fmea_get_opt_string(command, key.data());
  FUZZ_CHECK((text == nullptr ? !opt_string(s, key.data()) : opt_string(s, key.data()) == text) &&
             drv_fmea_get_opt_string(command, nullptr) == nullptr);
  hdk_free(text);

  const Numbers list = list_of(opt_string(s, "dfx").value_or(""));
  FUZZ_CHECK(drv_fmea_parse_dfx_num(command) == list.size());
  check_stored(list, capacity, [&](uint32_t *a, uint32_t n) { return drv_fmea_parse_dfx(command, n, a); });
  return 0;
}
