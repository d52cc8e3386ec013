// Helpers shared by the fuzz targets: an invariant check that aborts, a
// reader that splits the fuzzer's bytes into typed values, exact-size heap
// buffers with guard entries, and print functions that format but show
// nothing.
#pragma once

#include <chip_util/log.h>

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// A broken invariant is a finding: report where and abort, so that libFuzzer
// saves the input and the replay test fails.
#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__,       \
                   #condition);                                                       \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

namespace fuzz {

// Takes values off the front of the input; past its end every value is 0.
class Input {
 public:
  Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Little-endian; each byte taken in its own statement, so that every
  // compiler reads the same value from the same bytes.
  uint16_t u16() {
    const uint32_t low = u8();
    const uint32_t high = u8();
    return static_cast<uint16_t>(low | (high << 8));
  }
  uint32_t u32() {
    const uint32_t low = u16();
    const uint32_t high = u16();
    return low | (high << 16);
  }
  bool flag() { return (u8() & 1u) != 0; }
  // A value in [0, bound) for a bound of at least 1.
  uint32_t below(uint32_t bound) { return u32() % bound; }

  // Up to `max` bytes (fewer when the input runs out).
  std::string bytes(size_t max) {
    const size_t n = std::min(max, remaining());
    std::string out(reinterpret_cast<const char *>(data_ + pos_), n);
    pos_ += n;
    return out;
  }
  std::string rest() { return bytes(remaining()); }
  size_t remaining() const { return size_ - pos_; }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
};

// A NUL-terminated copy of `text` (cut at its first NUL byte) in a heap
// block of exactly strlen + 1 bytes, so that a read past the terminator is
// a read past the block.
inline std::unique_ptr<char[]> c_string(const std::string &text) {
  const size_t length = std::strlen(text.c_str());
  std::unique_ptr<char[]> out(new char[length + 1]);
  std::memcpy(out.get(), text.c_str(), length + 1);
  return out;
}

// An array of `count` entries between guard entries, all in one heap block
// of exactly that size: AddressSanitizer catches a write past the guards,
// intact() any write into them. Entries start as `fill`.
template <typename T>
class Guarded {
 public:
  static constexpr size_t kGuard = 4;

  Guarded(size_t count, T fill, T guard)
      : count_(count), guard_(guard), block_(new T[count + 2 * kGuard]) {
    for (size_t i = 0; i < count + 2 * kGuard; ++i) {
      block_[i] = guard;
    }
    for (size_t i = 0; i < count; ++i) {
      data()[i] = fill;
    }
  }

  T *data() { return block_.get() + kGuard; }
  T &operator[](size_t i) { return data()[i]; }
  size_t size() const { return count_; }

  bool intact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (block_[i] != guard_ || block_[kGuard + count_ + i] != guard_) {
        return false;
      }
    }
    return true;
  }

 private:
  size_t count_;
  T guard_;
  std::unique_ptr<T[]> block_;
};

// A print function that formats the message, as printf would, and shows
// nothing: the refusal messages of the library stay exercised but the
// fuzzer's output stays clean.
inline int quiet_print(const char *format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
  const int length = std::vsnprintf(text, sizeof text, format, args);
#if defined(__clang__)
#pragma clang diagnostic pop
#else
#pragma GCC diagnostic pop
#endif
  va_end(args);
  return length;
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
