// SPDX-License-Identifier: Apache-2.0
// Fuzzes the translation tables in both directions against a model: a
// drawn table whose values come from a small set (so keys repeat), looked
// up with drawn values and with every value of the table. The first pair
// from the start that matches wins; a miss gives 1 and leaves the result
// alone; a null result is a membership test; a null table or a count of 0
// gives 1. The table is a heap block of exactly `count` pairs, so that
// AddressSanitizer reports a read past it, and is never written.
//
// Input: the count, a byte of options (bit 0 a null table, bit 1 a null
// result, bits 2-4 the width of the values), then the pairs, then values
// to look up.
#include <chip_util/register.h>

#include <optional>

#include "fuzz_support.hpp"

namespace {

using Lookup = int32_t (*)(const hdk_trans_pair *, uint32_t, uint32_t, uint32_t *);

// The other member of the first pair whose `key` member is `value`.
std::optional<uint32_t> first_match(const std::vector<hdk_trans_pair> &pairs, bool from_m0, uint32_t value) {
  for (const hdk_trans_pair &p : pairs)
    if ((from_m0 ? p.m0 : p.m1) == value) return from_m0 ? p.m1 : p.m0;
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint32_t count = in.u8() % 24u;
  const uint8_t options = in.u8();
  // Values of 0, 2, 4, ... 12 bits, or of all 32: narrow ones repeat.
  const uint32_t mask = ((options >> 2) & 7u) == 7u ? ~0u : (1u << (2u * ((options >> 2) & 7u))) - 1u;
  std::vector<hdk_trans_pair> pairs(count);
  for (hdk_trans_pair &p : pairs) p = {in.u32() & mask, in.u32() & mask};
  const std::vector<hdk_trans_pair> table = pairs;
  const bool null_table = (options & 1u) != 0, null_result = (options & 2u) != 0;

  std::vector<uint32_t> values;
  for (const hdk_trans_pair &p : pairs) values.insert(values.end(), {p.m0, p.m1});
  while (in.remaining() > 0) values.push_back(in.u32() & mask);
  for (const uint32_t value : values) {
    for (const bool from_m0 : {true, false}) {
      const Lookup lookup = from_m0 ? hdk_struct_trans_m0tom1 : hdk_struct_trans_m1tom0;
      const std::optional<uint32_t> want = null_table ? std::nullopt : first_match(pairs, from_m0, value);
      uint32_t result = 0xEEEEEEEEu;
      const int32_t rc = lookup(null_table ? nullptr : table.data(), count, value, null_result ? nullptr : &result);
      FUZZ_CHECK(rc == (want ? 0 : 1) && result == (want && !null_result ? *want : 0xEEEEEEEEu));
    }
  }
  const auto same = [](const hdk_trans_pair &a, const hdk_trans_pair &b) { return a.m0 == b.m0 && a.m1 == b.m1; };
  FUZZ_CHECK(std::equal(table.begin(), table.end(), pairs.begin(), pairs.end(), same));
  return 0;
}
