// SPDX-License-Identifier: Apache-2.0
#include "model.hpp"

#include <algorithm>

namespace chip::map {
namespace {

struct AccessName {
  Access access;
  const char *name;
};
constexpr AccessName kAccessNames[] = {
    {Access::rw, "rw"},   {Access::ro, "ro"},   {Access::rclr, "rclr"}, {Access::w1c, "w1c"},
    {Access::w1s, "w1s"}, {Access::w0c, "w0c"}, {Access::wo, "wo"},
};

void trim(std::vector<uint32_t> &words) {
  while (!words.empty() && words.back() == 0) {
    words.pop_back();
  }
}

}  // namespace

std::optional<Access> access_from_name(std::string_view name) {
  for (const AccessName &entry : kAccessNames) {
    if (name == entry.name) {
      return entry.access;
    }
  }
  return std::nullopt;
}

const char *access_name(Access access) {
  for (const AccessName &entry : kAccessNames) {
    if (entry.access == access) {
      return entry.name;
    }
  }
  return "?";
}

Value Value::of(uint64_t number) {
  Value value;
  value.words = {static_cast<uint32_t>(number), static_cast<uint32_t>(number >> 32)};
  trim(value.words);
  return value;
}

uint64_t Value::bit_length() const {
  if (words.empty()) {
    return 0;
  }
  uint64_t length = 32 * (words.size() - 1);
  for (uint32_t top = words.back(); top != 0; top >>= 1) {
    ++length;
  }
  return length;
}

uint64_t Value::low64() const {
  uint64_t low = words.empty() ? 0 : words[0];
  if (words.size() > 1) {
    low |= uint64_t{words[1]} << 32;
  }
  return low;
}

bool Value::bit(uint64_t index) const {
  const uint64_t word = index / 32;
  return word < words.size() && ((words[word] >> (index % 32)) & 1u) != 0;
}

Value Value::slice(uint64_t lsb, uint64_t bits) const {
  Value part;
  part.words.assign((bits + 31) / 32, 0);
  for (uint64_t i = 0; i < bits && lsb + i < 32 * words.size(); ++i) {
    if (bit(lsb + i)) {
      part.words[i / 32] |= 1u << (i % 32);
    }
  }
  trim(part.words);
  return part;
}

Value Value::with_slice(uint64_t lsb, uint64_t bits, const Value &part) const {
  Value whole = *this;
  const uint64_t needed = (lsb + bits + 31) / 32;
  if (whole.words.size() < needed) {
    whole.words.resize(needed, 0);
  }
  for (uint64_t i = 0; i < bits; ++i) {
    const uint64_t at = lsb + i;
    const uint32_t mask = 1u << (at % 32);
    whole.words[at / 32] = part.bit(i) ? (whole.words[at / 32] | mask) : (whole.words[at / 32] & ~mask);
  }
  trim(whole.words);
  return whole;
}

std::string Value::hex() const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint64_t nibble = (bit_length() + 3) / 4; nibble-- > 0;) {
    text += kDigits[(words[nibble / 8] >> (4 * (nibble % 8))) & 0xFu];
  }
  return "0x" + (text.empty() ? std::string("0") : text);
}

Value field_reset(const Register &reg, const Field &field) {
  if (field.reset) {
    return *field.reset;
  }
  return reg.reset ? reg.reset->slice(field.lsb, field.bits) : Value{};
}

Value register_reset(const Register &reg) {
  Value whole = reg.reset.value_or(Value{});
  const uint64_t width = 8 * reg.bytes;
  for (const Field &field : reg.fields) {
    if (!field.reset || field.bits == 0 || field.bits > width) {
      continue;
    }
    const uint64_t count = field.array ? field.array->count : 1;
    const int64_t stride = field.array ? field.array->stride : 0;
    // Every element that lies inside this register takes the field's reset.
    for (uint64_t i = 0; i < std::min<uint64_t>(count, width); ++i) {
      const int64_t position = static_cast<int64_t>(field.lsb) + stride * static_cast<int64_t>(i);
      if (position >= 0 && static_cast<uint64_t>(position) + field.bits <= width) {
        whole = whole.with_slice(static_cast<uint64_t>(position), field.bits, *field.reset);
      }
    }
  }
  return whole;
}

}  // namespace chip::map
