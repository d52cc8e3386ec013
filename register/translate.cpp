// SPDX-License-Identifier: Apache-2.0
// Value translation through a caller's table of pairs, in either direction.
#include <chip_util/register.h>

#include <cstddef>
#include <cstdint>

// The pair layout is shared with drivers: two words, m0 first.
static_assert(sizeof(hdk_trans_pair) == 8 && offsetof(hdk_trans_pair, m1) == 4);

namespace {

// One scan for both directions: Key is the member searched, Value the one
// handed back. The first matching pair wins.
template <uint32_t hdk_trans_pair::*Key, uint32_t hdk_trans_pair::*Value>
int32_t translate(const hdk_trans_pair *table, uint32_t count, uint32_t value, uint32_t *result) {
  if (table == nullptr) {
    return 1;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (table[i].*Key == value) {
      if (result != nullptr) {
        *result = table[i].*Value;
      }
      return 0;
    }
  }
  return 1;
}

}  // namespace

extern "C" int32_t hdk_struct_trans_m0tom1(const hdk_trans_pair *table, uint32_t count,
                                           uint32_t value, uint32_t *result) {
  return translate<&hdk_trans_pair::m0, &hdk_trans_pair::m1>(table, count, value, result);
}

extern "C" int32_t hdk_struct_trans_m1tom0(const hdk_trans_pair *table, uint32_t count,
                                           uint32_t value, uint32_t *result) {
  return translate<&hdk_trans_pair::m1, &hdk_trans_pair::m0>(table, count, value, result);
}
