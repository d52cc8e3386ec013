// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the fuzz targets: an invariant check that aborts, a
// reader that splits the fuzzer's bytes into typed values, exact-size C
// strings, and a print function that keeps what the library printed.
#pragma once

#include <chip_util/log.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// A broken invariant is a finding: report where and abort, so that libFuzzer
// saves the input and the replay test fails.
#define FUZZ_CHECK(condition)                                                                    \
  ((condition)                                                                                   \
       ? void()                                                                                  \
       : (std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition), \
          std::abort()))

namespace fuzz {

// Takes values off the front of the input; past its end every value is 0.
struct Input {
  const uint8_t *data;
  size_t size;
  size_t pos = 0;

  uint8_t u8() { return pos < size ? data[pos++] : 0; }
  // Little-endian, one byte after the other.
  uint32_t le(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint32_t{u8()} << (8 * i);
    return value;
  }
  uint16_t u16() { return static_cast<uint16_t>(le(2)); }
  uint32_t u32() { return le(4); }
  uint32_t below(uint32_t bound) { return u32() % bound; }  // bound >= 1
  size_t remaining() const { return size - pos; }
  // Up to `max` bytes (fewer when the input runs out).
  std::string bytes(size_t max) {
    const size_t n = std::min(max, remaining());
    pos += n;
    return std::string(reinterpret_cast<const char *>(data + pos - n), n);
  }
};

// A copy of `text` up to its first NUL, terminated, in a heap block of
// exactly strlen + 1 bytes: a read past the terminator leaves the block.
inline std::vector<char> c_string(const std::string &text) {
  return std::vector<char>(text.c_str(), text.c_str() + std::strlen(text.c_str()) + 1);
}

// The texts the library printed, in order. The library hands each message
// to the print function (and each line to an output function) as
// ("%s", text); anything else is a finding.
inline std::vector<std::string> printed;

inline void keep_printed(const char *format, va_list args) {
  FUZZ_CHECK(std::strcmp(format, "%s") == 0);
  printed.emplace_back(va_arg(args, const char *));
}

inline int keeping_print(const char *format, ...) {
  va_list args;
  va_start(args, format);
  keep_printed(format, args);
  va_end(args);
  return 0;
}

}  // namespace fuzz
