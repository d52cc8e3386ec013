// SPDX-License-Identifier: Apache-2.0
// Locating options and their parameters inside a command string.
#pragma once

#include <chip_util/fmea.h>

#include <cstdint>

namespace chip_fmea {

// The keywords, at index (option type - 1): the order in which they are
// searched and stored.
inline constexpr const char *kOptionKeywords[DRV_FMEA_OPT_SET_SIZE] = {
    "read[", "read_his[", "positive[", "neo[", "wc[", "rc[", "inject[", "inject_undo["};

// The word that opens the number list.
inline constexpr const char kListKeyword[] = "dfx";

// The keys of an option and the record field each one fills, in the order
// in which they are parsed.
struct OptionKey {
  const char *name;
  uint32_t drv_fmea_opt::*field;
};
inline constexpr OptionKey kOptionKeys[] = {
    {"addr", &drv_fmea_opt::addr},
    {"val", &drv_fmea_opt::val},
    {"mask", &drv_fmea_opt::mask},
    {"cmp_val", &drv_fmea_opt::cmp_val},
};

// True for a key that also ends a longer key ("val" of "cmp_val"): such a
// key is only recognised where it does not continue a word.
bool is_tail_of_longer_key(const char *key);

// The first occurrence of `key` in `text`, by substring search, passing over
// occurrences that continue a word when the key is the tail of a longer
// one. Null when there is none. Never looks before `text`.
const char *find_key(const char *text, const char *key);

// Where the number of `key` begins in a text that starts at a keyword: one
// separator character after the key, provided the first ']' of the text
// lies beyond that position. Null when the key or the ']' is missing or the
// ']' comes too early (the key belongs to a later option, or nothing stands
// between separator and bracket). The result always points before the ']',
// so inside the text.
const char *parameter_number(const char *text, const char *key);

}  // namespace chip_fmea
