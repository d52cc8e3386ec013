// SPDX-License-Identifier: Apache-2.0
// Prepared field handles: validated once through the table walk of the
// field functions, then read and written with nothing but the bus access.
#include "field_handle.hpp"

#include "access_check.hpp"

#include <cstddef>

// The handles are public records that an inline layer reads: keep their
// layout fixed.
static_assert(sizeof(chip_status) == 8);
#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(chip_field32) == 48 && offsetof(chip_field32, shift) == 28);
static_assert(sizeof(chip_field16) == 40 && offsetof(chip_field16, shift) == 24);
#endif

namespace {

using namespace chip_reg;

template <typename Word>
chip_status prepare(typename HandleFamily<Word>::Handle *out, uint32_t dev, uint32_t inst,
                    uint32_t reg_id, uint32_t elem) {
  using Family = HandleFamily<Word>;
  const char *name = Family::kPrepareName;
  const CheckedAccess access = check_access(name, dev, inst, reg_id, elem);
  if (access.reg == nullptr) {
    return kRefused;
  }
  const hdk_reg_info &reg = *access.reg;
  if (reg_bytes(reg) != RegWidth<Word>::kBytes) {
    log_failed_code(name, dev, inst, reg_id, elem);
    return kRefused;
  }
  if (out == nullptr) {
    return kRefused;
  }
  const hdk_reg_ops *ops =
      access.table->ops_table != nullptr ? &access.table->ops_table[access.module->ops_index]
                                         : nullptr;
  const auto read = ops != nullptr ? Family::reader(*ops) : nullptr;
  const auto write = ops != nullptr ? Family::writer(*ops) : nullptr;
  if (read == nullptr || write == nullptr) {
    log_failed_code(name, dev, inst, reg_id, elem);
    return kRefused;
  }
  typename Family::Handle field{};
  field.read = read;
  field.write = write;
  field.dev = dev;
  field.inst = inst;
  field.reg_id = reg_id;
  field.elem = elem;
  if (whole_word_access<Word>(reg)) {
    field.addr = whole_word_address<Word>(access.inst->base_addr, reg, elem);
    field.mask = static_cast<Word>(~Word{0});
    field.width = static_cast<uint8_t>(RegWidth<Word>::kBits);
    field.flags = CHIP_FIELD_WHOLE;
  } else {
    const FieldSpot<Word> spot = locate_field<Word>(access.inst->base_addr, reg, elem);
    if (!spot.valid) {
      log_failed_code(name, dev, inst, reg_id, elem);
      return kRefused;
    }
    field.addr = spot.addr;
    field.mask = spot.mask;
    field.shift = static_cast<uint8_t>(spot.start_bit);
    field.width = static_cast<uint8_t>(field_bits(reg));
    field.flags = write_skips_read(reg) ? 0 : CHIP_FIELD_READS_FIRST;
  }
  *out = field;
  return kOk;
}

// One read (when any field reads first) and one write for fields of one
// register, checked field by field first.
template <typename Word>
chip_status write_merged(const typename HandleFamily<Word>::Handle *const *fields,
                         const Word *values, uint32_t count) {
  const char *name = HandleFamily<Word>::kMergedName;
  if (fields == nullptr || values == nullptr || count == 0 || fields[0] == nullptr ||
      unprepared(*fields[0])) {
    return kRefused;
  }
  const auto &first = *fields[0];
  uint32_t mask = 0;
  uint32_t placed = 0;
  bool reads_first = false;
  for (uint32_t i = 0; i < count; ++i) {
    if (fields[i] == nullptr) {
      return kRefused;
    }
    const auto &field = *fields[i];
    if (field.dev != first.dev || field.addr != first.addr || field.read != first.read ||
        field.write != first.write || (field.flags & CHIP_FIELD_WHOLE) != 0 ||
        (field.mask & mask) != 0) {
      log_failed_code(name, field.dev, field.inst, field.reg_id, field.elem);
      return kRefused;
    }
    if (!value_accepted(field, values[i], name)) {
      return kRefused;
    }
    mask |= field.mask;
    placed |= static_cast<uint32_t>(values[i]) << field.shift;
    reads_first = reads_first || (field.flags & CHIP_FIELD_READS_FIRST) != 0;
  }
  Word old_word = 0;
  if (reads_first) {
    const int32_t read_status = first.read(first.dev, first.addr, &old_word);
    if (read_status != 0) {
      return bus_result(read_status);
    }
  }
  const auto word = static_cast<Word>((static_cast<uint32_t>(old_word) & ~mask) | placed);
  return bus_result(first.write(first.dev, first.addr, word));
}

}  // namespace

extern "C" chip_status chip_field_prepare32(chip_field32 *field, uint32_t dev, uint32_t inst,
                                            uint32_t reg_id, uint32_t elem) {
  return prepare<uint32_t>(field, dev, inst, reg_id, elem);
}

extern "C" chip_status chip_field_prepare16(chip_field16 *field, uint32_t dev, uint32_t inst,
                                            uint32_t reg_id, uint32_t elem) {
  return prepare<uint16_t>(field, dev, inst, reg_id, elem);
}

extern "C" chip_status chip_field_read32(const chip_field32 *field, uint32_t *value) {
  if (field == nullptr || value == nullptr) [[unlikely]] {
    return kRefused;
  }
  return read_through(*field, value);
}

extern "C" chip_status chip_field_read16(const chip_field16 *field, uint16_t *value) {
  if (field == nullptr || value == nullptr) [[unlikely]] {
    return kRefused;
  }
  return read_through(*field, value);
}

extern "C" chip_status chip_field_write32(const chip_field32 *field, uint32_t value) {
  if (field == nullptr) [[unlikely]] {
    return kRefused;
  }
  return write_through<uint32_t, false>(*field, value);
}

extern "C" chip_status chip_field_write16(const chip_field16 *field, uint16_t value) {
  if (field == nullptr) [[unlikely]] {
    return kRefused;
  }
  return write_through<uint16_t, false>(*field, value);
}

extern "C" chip_status chip_field_write32_strict(const chip_field32 *field, uint32_t value) {
  if (field == nullptr) [[unlikely]] {
    return kRefused;
  }
  return write_through<uint32_t, true>(*field, value);
}

extern "C" chip_status chip_field_write16_strict(const chip_field16 *field, uint16_t value) {
  if (field == nullptr) [[unlikely]] {
    return kRefused;
  }
  return write_through<uint16_t, true>(*field, value);
}

extern "C" chip_status chip_field_write32_merged(const chip_field32 *const *fields,
                                                 const uint32_t *values, uint32_t count) {
  return write_merged<uint32_t>(fields, values, count);
}

extern "C" chip_status chip_field_write16_merged(const chip_field16 *const *fields,
                                                 const uint16_t *values, uint32_t count) {
  return write_merged<uint16_t>(fields, values, count);
}
