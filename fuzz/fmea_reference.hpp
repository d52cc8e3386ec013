// A plain reference model of the FMEA number and option rules, written from
// their description rather than from the parser, for the fuzz targets to
// compare against. Texts are std::strings; index s.size() reads as the
// terminating NUL, as in the C text.
#pragma once

#include <chip_util/fmea.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fuzz::fmea_ref {

inline bool is_dec(char c) { return c >= '0' && c <= '9'; }
inline bool is_hex(char c) {
  return is_dec(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline uint32_t digit_value(char c) {
  if (is_dec(c)) return static_cast<uint32_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
  return 0;
}

// 0, x or X, then a hexadecimal digit, at index i.
inline bool hex_at(const std::string &s, size_t i) {
  return i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
         is_hex(s[i + 2]);
}

// Digits accumulate with wrap-around modulo 2^32.
inline uint32_t hex_digits_from(const std::string &s, size_t i) {
  uint32_t value = 0;
  for (; i < s.size() && is_hex(s[i]); ++i) value = value * 16u + digit_value(s[i]);
  return value;
}

inline uint32_t dec_digits_from(const std::string &s, size_t i) {
  uint32_t value = 0;
  for (; i < s.size() && is_dec(s[i]); ++i) value = value * 10u + digit_value(s[i]);
  return value;
}

// The number at the very start of s.substr(i): hexadecimal first, then
// decimal; nothing when neither begins there.
inline std::optional<uint32_t> number_at(const std::string &s, size_t i) {
  if (hex_at(s, i)) return hex_digits_from(s, i + 2);
  if (i < s.size() && is_dec(s[i])) return dec_digits_from(s, i);
  return std::nullopt;
}

// Every hexadecimal number (one per position where one begins) and every
// maximal decimal run of a list text.
struct Lists {
  std::vector<uint32_t> hex;
  std::vector<uint32_t> dec;
  // The list's numbers in its mode: hexadecimal if it holds any.
  const std::vector<uint32_t> &mode() const { return hex.empty() ? dec : hex; }
};

inline Lists lists_of(const std::string &s) {
  Lists lists;
  for (size_t i = 0; i < s.size(); ++i) {
    if (hex_at(s, i)) lists.hex.push_back(hex_digits_from(s, i + 2));
    if (is_dec(s[i]) && (i == 0 || !is_dec(s[i - 1]))) lists.dec.push_back(dec_digits_from(s, i));
  }
  return lists;
}

inline const char *const kKeywords[DRV_FMEA_OPT_SET_SIZE] = {
    "read[", "read_his[", "positive[", "neo[", "wc[", "rc[", "inject[", "inject_undo["};
inline const char *const kKeys[] = {"addr", "mask", "val", "cmp_val"};

// A key that is a proper tail of another key ("val" of "cmp_val") counts
// only where it does not continue a word.
inline bool is_tail_key(const std::string &key) {
  if (key.empty()) return false;
  for (const char *other : kKeys) {
    const std::string o(other);
    if (o.size() > key.size() && o.compare(o.size() - key.size(), key.size(), key) == 0) {
      return true;
    }
  }
  return false;
}

inline bool continues_word(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_dec(c) || c == '_';
}

// The value the key gives in text t (which begins at its keyword): the key's
// first (stand-alone) occurrence, one separator, a number, all before the
// text's first ']'. Nothing when any of that is missing.
inline std::optional<uint32_t> parameter(const std::string &t, const std::string &key) {
  size_t at = t.find(key);
  if (is_tail_key(key)) {
    while (at != std::string::npos && at != 0 && continues_word(t[at - 1])) {
      at = t.find(key, at + 1);
    }
  }
  const size_t bracket = t.find(']');
  if (at == std::string::npos || bracket == std::string::npos) return std::nullopt;
  const size_t number = at + key.size() + 1;
  if (bracket <= number) return std::nullopt;
  return number_at(t, number);
}

// The record the keyword gives, starting from `before`: unchanged when the
// keyword is absent; otherwise valid 1 and each key's value where it has
// one.
inline drv_fmea_opt parse_keyword(const std::string &s, const std::string &keyword,
                                  drv_fmea_opt before, bool *found) {
  const size_t at = s.find(keyword);
  *found = at != std::string::npos;
  if (!*found) return before;
  const std::string t = s.substr(at);
  drv_fmea_opt out = before;
  out.valid = 1;
  if (auto v = parameter(t, "addr")) out.addr = *v;
  if (auto v = parameter(t, "mask")) out.mask = *v;
  if (auto v = parameter(t, "val")) out.val = *v;
  if (auto v = parameter(t, "cmp_val")) out.cmp_val = *v;
  return out;
}

// The key text: from the key's first occurrence through the first ']' at or
// after it; nothing when either is missing or the ']' is the key's first
// character.
inline std::optional<std::string> opt_string(const std::string &s, const std::string &key) {
  const size_t at = s.find(key);
  if (at == std::string::npos) return std::nullopt;
  const size_t bracket = s.find(']', at);
  if (bracket == std::string::npos || bracket == at) return std::nullopt;
  return s.substr(at, bracket - at + 1);
}

inline bool same_record(const drv_fmea_opt &a, const drv_fmea_opt &b) {
  return a.valid == b.valid && a.addr == b.addr && a.mask == b.mask && a.val == b.val &&
         a.cmp_val == b.cmp_val;
}

}  // namespace fuzz::fmea_ref
