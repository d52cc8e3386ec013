// Helpers shared by the parser tests: texts in exact-size heap blocks (so
// that the address sanitizer catches any read past the NUL), output arrays
// guarded by canary entries, a plain reference model of the numbers of a
// text and a seeded generator of random texts.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fmea_test {

using Numbers = std::vector<uint32_t>;

// A copy of `text` in a block of exactly strlen + 1 bytes. A null text
// reads as the empty text: with `null_if_empty`, an empty text is handed
// out as a null pointer.
class ExactText {
 public:
  explicit ExactText(const std::string &text, bool null_if_empty = false)
      : bytes_(null_if_empty && text.empty() ? nullptr : new char[text.size() + 1]) {
    if (bytes_) {
      std::memcpy(bytes_.get(), text.c_str(), text.size() + 1);
    }
  }
  const char *get() const { return bytes_.get(); }

 private:
  std::unique_ptr<char[]> bytes_;
};

inline constexpr uint32_t kCanary = 0xC0DECAFEu;

// Runs `store(array, capacity)` on `capacity` entries followed by canaries,
// checks that nothing beyond the entries it reports stored was touched and
// returns those entries (more than `capacity` of them if it overran).
template <typename Store>
Numbers guarded(uint32_t capacity, Store store) {
  std::vector<uint32_t> entries(capacity + 4, kCanary);
  const size_t stored = std::min<size_t>(store(entries.data(), capacity), entries.size());
  EXPECT_TRUE(std::all_of(entries.begin() + stored, entries.end(),
                          [](uint32_t entry) { return entry == kCanary; }));
  return {entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(stored)};
}

// ---- Reference model: the numbers of a text, written plainly ----

inline bool model_dec(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
inline bool model_hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

inline bool model_hex_at(const std::string &s, size_t i) {
  return i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
         model_hex(s[i + 2]);
}

// The value of the run of digits of `base` from `i` (0 for no digit),
// wrapped to 32 bits.
inline uint32_t model_run(const std::string &s, size_t i, unsigned base) {
  uint64_t value = 0;
  for (; i < s.size() && (base == 16 ? model_hex(s[i]) : model_dec(s[i])); ++i) {
    value = (value * base + std::stoul(std::string(1, s[i]), nullptr, 16)) % (uint64_t{1} << 32);
  }
  return static_cast<uint32_t>(value);
}

// Every hexadecimal number (they may begin anywhere), or every maximal run
// of decimal digits.
inline Numbers model_numbers(const std::string &s, bool hex) {
  Numbers out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (hex && model_hex_at(s, i)) {
      out.push_back(model_run(s, i + 2, 16));
    } else if (!hex && model_dec(s[i]) && (i == 0 || !model_dec(s[i - 1]))) {
      out.push_back(model_run(s, i, 10));
    }
  }
  return out;
}

inline Numbers model_list(const std::string &s) {
  const Numbers hex = model_numbers(s, true);
  return hex.empty() ? model_numbers(s, false) : hex;
}

// The number at the very start of `s`, or -1 if none begins there.
inline int64_t model_single(const std::string &s) {
  if (model_hex_at(s, 0)) {
    return model_run(s, 2, 16);
  }
  return !s.empty() && model_dec(s[0]) ? int64_t{model_run(s, 0, 10)} : -1;
}

// ---- Random texts -----------------------------------------------------------

class TextGenerator {
 public:
  explicit TextGenerator(uint32_t seed) : rng_(seed) {}

  uint32_t below(size_t bound) {
    return std::uniform_int_distribution<uint32_t>(0, static_cast<uint32_t>(bound) - 1)(rng_);
  }
  const std::string &pick(const std::vector<std::string> &items) {
    return items[below(items.size())];
  }
  // A decimal or hexadecimal number of up to 3 or up to 12 digits (enough
  // to wrap).
  std::string number() {
    const uint32_t len = 1 + below(below(2) ? 3 : 12);
    const bool hex = below(2) == 1;
    const char *alphabet = hex ? "0123456789abcdefABCDEF" : "0123456789";
    std::string out = hex ? (below(2) ? "0x" : "0X") : "";
    for (uint32_t i = 0; i < len; ++i) {
      out += alphabet[below(std::strlen(alphabet))];
    }
    return out;
  }

 private:
  std::mt19937 rng_;
};

}  // namespace fmea_test
