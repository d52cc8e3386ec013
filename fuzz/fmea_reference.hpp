// SPDX-License-Identifier: Apache-2.0
// A plain reference model of the FMEA number rules, written from their
// description rather than from the parser, the check of an extraction into
// an array, and the command texts that the two FMEA fuzz targets spell from
// their input bytes.
#pragma once

#include <chip_util/fmea.h>

#include <cctype>
#include <iterator>
#include <optional>

#include "fuzz_support.hpp"

namespace fuzz::fmea_ref {

using Numbers = std::vector<uint32_t>;

// The value of a digit of `base` (10 or 16, either case); -1 for any other
// character.
inline int digit(unsigned char c, int base) {
  const int value = std::isdigit(c) ? c - '0' : std::isxdigit(c) ? (c | 0x20) - 'a' + 10 : -1;
  return value < base ? value : -1;
}

// The run of digits from s[i], its value wrapped modulo 2^32.
inline uint32_t run(const std::string &s, size_t i, int base) {
  uint32_t value = 0;
  for (; i < s.size() && digit(s[i], base) >= 0; ++i) value = value * base + digit(s[i], base);
  return value;
}

// 0, x or X, then a hexadecimal digit, at s[i].
inline bool hex_at(const std::string &s, size_t i) {
  return i + 2 < s.size() && s[i] == '0' && (s[i + 1] | 0x20) == 'x' && digit(s[i + 2], 16) >= 0;
}

// The number at the very start of s.substr(i): hexadecimal first, then
// decimal; nothing when neither begins there.
inline std::optional<uint32_t> number_at(const std::string &s, size_t i) {
  if (hex_at(s, i)) return run(s, i + 2, 16);
  if (i < s.size() && digit(s[i], 10) >= 0) return run(s, i, 10);
  return std::nullopt;
}

// Every hexadecimal number of s (base 16: one per position where one
// begins) or every maximal run of decimal digits (base 10).
inline Numbers numbers_of(const std::string &s, int base) {
  Numbers out;
  for (size_t i = 0; i < s.size(); ++i)
    if (base == 16 ? hex_at(s, i) : digit(s[i], 10) >= 0 && (i == 0 || digit(s[i - 1], 10) < 0))
      out.push_back(run(s, base == 16 ? i + 2 : i, base));
  return out;
}

// A list's numbers: the hexadecimal ones if it holds any, else the decimal.
inline Numbers list_of(const std::string &s) {
  return numbers_of(s, 16).empty() ? numbers_of(s, 10) : numbers_of(s, 16);
}

// Runs store(array, capacity) on an array with four canary entries past the
// capacity: it must store the first min(count, capacity) expected numbers
// and nothing else, and nothing at all into a null array.
template <typename Store>
void check_stored(const Numbers &expected, uint32_t capacity, Store store) {
  Numbers array(capacity + 4u, 0xC0FFEE11u);
  Numbers want(expected.begin(), expected.begin() + std::min<size_t>(expected.size(), capacity));
  FUZZ_CHECK(store(array.data(), capacity) == want.size() && store(nullptr, capacity) == 0);
  want.resize(capacity + 4u, 0xC0FFEE11u);
  FUZZ_CHECK(array == want);
}

// ---- Command texts spelt from input bytes ----------------------------------

inline const char *const kKeys[] = {"addr", "mask", "val", "cmp_val"};  // in field order

// The words a byte from 0x80 up stands for: first the eight keywords, in
// the order of their option types, then keys, separators, brackets, number
// prefixes, numbers that wrap modulo 2^32 and other words.
inline const char *const kWords[] = {
    "read[", "read_his[", "positive[", "neo[", "wc[", "rc[", "inject[", "inject_undo[",
    "addr", "mask", "val", "cmp_val", "interval", "dfx", "dfx[", "]", "=", ":", " ", "==", ",",
    "0x", "0X", "4294967297", "0x123456789", "\xE9", "read", "cmp_", "al", ""};

// Bytes below 0x80 stand for themselves (the text ends at a NUL), bytes
// from 0x80 up for a word: random bytes so spell commands with keywords,
// keys, separators, brackets, numbers and dfx lists among junk.
inline std::string command_of(fuzz::Input &in) {
  std::string s;
  while (in.remaining() > 0) {
    const uint8_t pick = in.u8();
    s += pick < 0x80 ? std::string(1, static_cast<char>(pick)) : kWords[pick % std::size(kWords)];
  }
  return s.substr(0, s.find('\0'));
}

}  // namespace fuzz::fmea_ref
