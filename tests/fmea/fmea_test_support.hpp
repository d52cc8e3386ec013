// Helpers shared by the parser tests: texts in exact-size heap blocks (so
// that the address sanitizer catches any read past the NUL), output arrays
// guarded by canary entries, and a seeded generator of random texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fmea_test {

// A copy of `text` in a block of exactly strlen + 1 bytes.
class ExactText {
 public:
  explicit ExactText(const std::string &text) : bytes_(new char[text.size() + 1]) {
    std::memcpy(bytes_.get(), text.c_str(), text.size() + 1);
  }
  const char *get() const { return bytes_.get(); }

 private:
  std::unique_ptr<char[]> bytes_;
};

// An output array of `capacity` entries followed by canary entries that no
// call may touch.
class GuardedArray {
 public:
  static constexpr uint32_t kCanary = 0xC0DECAFEu;
  static constexpr uint32_t kGuards = 4;

  explicit GuardedArray(uint32_t capacity)
      : capacity_(capacity), entries_(capacity + kGuards, kCanary) {}
  uint32_t *data() { return entries_.data(); }
  uint32_t capacity() const { return capacity_; }

  std::vector<uint32_t> stored(uint32_t count) const {
    return {entries_.begin(), entries_.begin() + count};
  }
  // Every entry from `count` on, guards included, still holds the canary.
  bool untouched_from(uint32_t count) const {
    for (size_t i = count; i < entries_.size(); ++i) {
      if (entries_[i] != kCanary) {
        return false;
      }
    }
    return true;
  }

 private:
  uint32_t capacity_;
  std::vector<uint32_t> entries_;
};

// Random texts made of the given pieces.
class TextGenerator {
 public:
  explicit TextGenerator(uint32_t seed) : rng_(seed) {}

  uint32_t below(uint32_t bound) {
    return std::uniform_int_distribution<uint32_t>(0, bound - 1)(rng_);
  }
  template <typename T>
  const T &pick(const std::vector<T> &items) {
    return items[below(static_cast<uint32_t>(items.size()))];
  }
  std::string digits(const char *alphabet, uint32_t max_len) {
    std::string out;
    const uint32_t len = 1 + below(max_len);
    const uint32_t alphabet_len = static_cast<uint32_t>(std::strlen(alphabet));
    for (uint32_t i = 0; i < len; ++i) {
      out += alphabet[below(alphabet_len)];
    }
    return out;
  }
  // A decimal or hexadecimal number, sometimes long enough to wrap.
  std::string number() {
    switch (below(4)) {
      case 0:
        return digits("0123456789", 3);
      case 1:
        return digits("0123456789", 12);
      case 2:
        return std::string(below(2) ? "0x" : "0X") + digits("0123456789abcdefABCDEF", 4);
      default:
        return "0x" + digits("0123456789abcdef", 11);
    }
  }

 private:
  std::mt19937 rng_;
};

}  // namespace fmea_test
