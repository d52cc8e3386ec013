// SPDX-License-Identifier: Apache-2.0
// What the 16- and 32-bit field handles share: one template per operation,
// HandleFamily holding what differs between the widths.
#pragma once

#include <chip_util/handle.h>

#include <cstdint>

#include "field_location.hpp"
#include "refusal.hpp"

namespace chip_reg {

template <typename Word>
struct HandleFamily;

template <>
struct HandleFamily<uint32_t> {
  using Handle = chip_field32;
  static constexpr const char *kPrepareName = "chip_field_prepare32";
  static constexpr const char *kWriteName = "chip_field_write32";
  static constexpr const char *kMergedName = "chip_field_write32_merged";
  static hdk_read32_func reader(const hdk_reg_ops &ops) { return ops.read32; }
  static hdk_write32_func writer(const hdk_reg_ops &ops) { return ops.write32; }
};

template <>
struct HandleFamily<uint16_t> {
  using Handle = chip_field16;
  static constexpr const char *kPrepareName = "chip_field_prepare16";
  static constexpr const char *kWriteName = "chip_field_write16";
  static constexpr const char *kMergedName = "chip_field_write16_merged";
  static hdk_read16_func reader(const hdk_reg_ops &ops) { return ops.read16; }
  static hdk_write16_func writer(const hdk_reg_ops &ops) { return ops.write16; }
};

// The largest value the handle's field holds.
template <typename Handle>
constexpr uint32_t field_max(const Handle &field) {
  return static_cast<uint32_t>(field.mask) >> field.shift;
}

// A handle never prepared (or zeroed after a refused prepare) has no access
// functions: refused rather than called through null.
template <typename Handle>
constexpr bool unprepared(const Handle &field) {
  return field.read == nullptr || field.write == nullptr;
}

// A read needs only the read function: a handle never prepared has neither.
template <typename Word, typename Handle>
inline chip_status read_through(const Handle &field, Word *value) {
  if (field.read == nullptr) [[unlikely]] {
    return kRefused;
  }
  if ((field.flags & CHIP_FIELD_WHOLE) != 0) {
    return bus_result(field.read(field.dev, field.addr, value));
  }
  Word word = 0;
  const int32_t status = field.read(field.dev, field.addr, &word);
  *value = static_cast<Word>((static_cast<uint32_t>(word) & field.mask) >> field.shift);
  return bus_result(status);
}

// The register word with `value` (which fits) placed into the field.
template <typename Word, typename Handle>
constexpr Word place(Word old_word, const Handle &field, Word value) {
  return static_cast<Word>((static_cast<uint32_t>(old_word) & ~static_cast<uint32_t>(field.mask)) |
                           (static_cast<uint32_t>(value) << field.shift));
}

// A value that fits its field; a refusal is logged under `name`.
template <typename Word, typename Handle>
inline bool value_accepted(const Handle &field, Word value, const char *name) {
  if (value <= field_max(field)) [[likely]] {
    return true;
  }
  log_refused_value(name, field.dev, field.inst, field.reg_id, field.elem, value);
  return false;
}

template <typename Word, bool kStrict, typename Handle>
inline chip_status write_through(const Handle &field, Word value) {
  if (unprepared(field)) [[unlikely]] {
    return kRefused;
  }
  if (!value_accepted(field, value, HandleFamily<Word>::kWriteName)) [[unlikely]] {
    return kRefused;
  }
  Word old_word = 0;
  int32_t read_status = 0;
  if ((field.flags & CHIP_FIELD_READS_FIRST) != 0) {
    read_status = field.read(field.dev, field.addr, &old_word);
    if (kStrict && read_status != 0) {
      return bus_result(read_status);
    }
  }
  return bus_result(read_status |
                    field.write(field.dev, field.addr, place(old_word, field, value)));
}

}  // namespace chip_reg
