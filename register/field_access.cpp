// SPDX-License-Identifier: Apache-2.0
// Field reads and writes of 16- and 32-bit registers through the driver's
// access functions, and the in-memory merge of a 32-bit field. One template
// per operation serves both widths; RegFamily holds what differs.
#include <chip_util/log.h>
#include <chip_util/register.h>

#include "access_check.hpp"
#include "field_location.hpp"
#include "trace_hooks.hpp"

namespace {

using namespace chip_reg;

constexpr uint32_t kLogLevel = 1;
constexpr uint32_t kFailedCode = 0xFFFFFFFFu;

// Every refusal is traced (probe field_refused and the trace callback) with
// the value refused where there is one. Cold: reached only when refusing.
[[gnu::cold, gnu::noinline]] int32_t refuse_silently(const char *name, uint32_t dev,
                                                     uint32_t width, uint32_t inst,
                                                     uint32_t reg_id, uint32_t elem,
                                                     uint32_t value = 0) {
  CHIP_UTIL_PROBE(field_refused, name, dev, inst, reg_id, elem);
  if (chip_trace::enabled()) {
    chip_trace::field_event(CHIP_TRACE_FIELD_REFUSED, name, dev, width, inst, reg_id, elem, value,
                            -1);
  }
  return -1;
}

// The three refusal messages. Out of line and cold: the hot path only
// branches to them.
[[gnu::cold, gnu::noinline]] int32_t refuse_with_code(const char *name, uint32_t dev,
                                                      uint32_t width, uint32_t inst,
                                                      uint32_t reg_id, uint32_t elem) {
  hdk_debug(dev, kLogLevel, "\r\n%s(%u, %u, 0x%x, %u) error code 0x%x.", name, dev, inst, reg_id,
            elem, kFailedCode);
  return refuse_silently(name, dev, width, inst, reg_id, elem);
}

[[gnu::cold, gnu::noinline]] int32_t refuse_with_fail(const char *name, uint32_t dev,
                                                      uint32_t width, uint32_t inst,
                                                      uint32_t reg_id, uint32_t elem) {
  hdk_debug(dev, kLogLevel, "\r\n%s(%u, %u, 0x%x, %u)fail", name, dev, inst, reg_id, elem);
  return refuse_silently(name, dev, width, inst, reg_id, elem);
}

[[gnu::cold, gnu::noinline]] int32_t refuse_value(const char *name, uint32_t dev, uint32_t width,
                                                  uint32_t inst, uint32_t reg_id, uint32_t elem,
                                                  uint32_t value) {
  hdk_debug(dev, kLogLevel, "\r\n%s(%u, %u, 0x%x, %u, %u) error code 0x%x.", name, dev, inst,
            reg_id, elem, value, kFailedCode);
  return refuse_silently(name, dev, width, inst, reg_id, elem, value);
}

// A completed field read or write: the probe (a nop until attached) and one
// predictable branch to the callback.
template <typename Word>
[[gnu::always_inline]] inline void traced_read(const char *name, uint32_t dev, uint32_t inst,
                                               uint32_t reg_id, uint32_t elem, Word value,
                                               int32_t status) {
  CHIP_UTIL_PROBE(field_read, dev, inst, reg_id, elem, uint32_t{value}, status);
  if (chip_trace::enabled()) [[unlikely]] {
    chip_trace::field_event(CHIP_TRACE_FIELD_READ, name, dev, RegWidth<Word>::kBits, inst, reg_id,
                            elem, value, status);
  }
}

template <typename Word>
[[gnu::always_inline]] inline void traced_write(const char *name, uint32_t dev, uint32_t inst,
                                                uint32_t reg_id, uint32_t elem, Word value,
                                                int32_t status) {
  CHIP_UTIL_PROBE(field_write, dev, inst, reg_id, elem, uint32_t{value}, status);
  if (chip_trace::enabled()) [[unlikely]] {
    chip_trace::field_event(CHIP_TRACE_FIELD_WRITE, name, dev, RegWidth<Word>::kBits, inst,
                            reg_id, elem, value, status);
  }
}

template <typename Word>
struct RegFamily;

template <>
struct RegFamily<uint32_t> {
  static constexpr const char *kReadName = "hdk_read_reg32_field";
  static constexpr const char *kWriteName = "hdk-write-reg32-field";
  static hdk_read32_func reader(const hdk_reg_ops &ops) { return ops.read32; }
  static hdk_write32_func writer(const hdk_reg_ops &ops) { return ops.write32; }
  // The 32-bit write names a register of the wrong width with "fail".
  static int32_t refuse_write_width(const char *name, uint32_t dev, uint32_t inst,
                                    uint32_t reg_id, uint32_t elem) {
    return refuse_with_fail(name, dev, 32, inst, reg_id, elem);
  }
};

template <>
struct RegFamily<uint16_t> {
  static constexpr const char *kReadName = "hdk_read_reg16_field";
  static constexpr const char *kWriteName = "hdk_write_reg16_field";
  static hdk_read16_func reader(const hdk_reg_ops &ops) { return ops.read16; }
  static hdk_write16_func writer(const hdk_reg_ops &ops) { return ops.write16; }
  static int32_t refuse_write_width(const char *name, uint32_t dev, uint32_t inst,
                                    uint32_t reg_id, uint32_t elem) {
    return refuse_with_code(name, dev, 16, inst, reg_id, elem);
  }
};

// The access functions of the checked register's module, or null when the
// chip's table has no ops_table.
const hdk_reg_ops *ops_of(const CheckedAccess &access) {
  const hdk_reg_ops *table = access.table->ops_table;
  return table != nullptr ? &table[access.module->ops_index] : nullptr;
}

// kTraced selects the copy that reports each completed call; the other
// copy is the plain field function, so that an untraced call pays only for
// the choice between them.
template <typename Word, bool kTraced>
int32_t read_field_body(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, Word *value) {
  using Family = RegFamily<Word>;
  constexpr uint32_t kBits = RegWidth<Word>::kBits;
  const char *name = Family::kReadName;
  const CheckedAccess access = check_access(name, dev, inst, reg_id, elem);
  if (access.reg == nullptr) {
    return refuse_silently(name, dev, kBits, inst, reg_id, elem);
  }
  const hdk_reg_info &reg = *access.reg;
  // Plain loads, taken early so that they overlap the checks below.
  const hdk_reg_ops *ops = ops_of(access);
  if (reg_bytes(reg) != RegWidth<Word>::kBytes) [[unlikely]] {
    return refuse_with_code(name, dev, kBits, inst, reg_id, elem);
  }
  if (value == nullptr) [[unlikely]] {
    return refuse_silently(name, dev, kBits, inst, reg_id, elem);
  }
  const auto read = ops != nullptr ? Family::reader(*ops) : nullptr;
  if (read == nullptr) [[unlikely]] {
    return refuse_with_code(name, dev, kBits, inst, reg_id, elem);
  }
  if (whole_word_access<Word>(reg)) {
    const int32_t status =
        read(dev, whole_word_address<Word>(access.inst->base_addr, reg, elem), value);
    if constexpr (kTraced) {
      traced_read(name, dev, inst, reg_id, elem, *value, status);
    }
    return status;
  }
  const FieldSpot<Word> spot = locate_field<Word>(access.inst->base_addr, reg, elem);
  if (!spot.valid) [[unlikely]] {
    return refuse_with_code(name, dev, kBits, inst, reg_id, elem);
  }
  Word word = 0;
  const int32_t status = read(dev, spot.addr, &word);
  *value = extract_field(word, spot);
  if constexpr (kTraced) {
    traced_read(name, dev, inst, reg_id, elem, *value, status);
  }
  return status;
}

template <typename Word, bool kTraced>
int32_t write_field_body(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, Word value) {
  using Family = RegFamily<Word>;
  constexpr uint32_t kBits = RegWidth<Word>::kBits;
  const char *name = Family::kWriteName;
  const CheckedAccess access = check_access(name, dev, inst, reg_id, elem);
  if (access.reg == nullptr) {
    return refuse_silently(name, dev, kBits, inst, reg_id, elem);
  }
  const hdk_reg_info &reg = *access.reg;
  // Plain loads, taken early so that they overlap the checks below.
  const hdk_reg_ops *ops = ops_of(access);
  if (reg_bytes(reg) != RegWidth<Word>::kBytes) [[unlikely]] {
    return Family::refuse_write_width(name, dev, inst, reg_id, elem);
  }
  // A field write reads the register first unless it is whole or of
  // access type 7 or 8; every access function it needs must be there.
  const bool needs_read = !whole_word_access<Word>(reg) && !write_skips_read(reg);
  const auto write = ops != nullptr ? Family::writer(*ops) : nullptr;
  const auto read = ops != nullptr && needs_read ? Family::reader(*ops) : nullptr;
  if (write == nullptr || (needs_read && read == nullptr)) [[unlikely]] {
    return refuse_with_code(name, dev, kBits, inst, reg_id, elem);
  }
  if (whole_word_access<Word>(reg)) {
    const int32_t status =
        write(dev, whole_word_address<Word>(access.inst->base_addr, reg, elem), value);
    if constexpr (kTraced) {
      traced_write(name, dev, inst, reg_id, elem, value, status);
    }
    return status;
  }
  if (!value_fits<Word>(value, field_bits(reg))) [[unlikely]] {
    return refuse_value(name, dev, kBits, inst, reg_id, elem, value);
  }
  const FieldSpot<Word> spot = locate_field<Word>(access.inst->base_addr, reg, elem);
  if (!spot.valid) [[unlikely]] {
    return refuse_with_code(name, dev, kBits, inst, reg_id, elem);
  }
  Word old_word = 0;
  const int32_t read_status = needs_read ? read(dev, spot.addr, &old_word) : 0;
  const int32_t status = read_status | write(dev, spot.addr, merge_field(old_word, spot, value));
  if constexpr (kTraced) {
    traced_write(name, dev, inst, reg_id, elem, value, status);
  }
  return status;
}

// The traced copies, out of line and cold: taken only while a callback is
// registered or a tracer is attached to the probe (its semaphore counts
// both).
template <typename Word>
[[gnu::cold, gnu::noinline]] int32_t read_field_traced(uint32_t dev, uint32_t inst,
                                                       uint32_t reg_id, uint32_t elem,
                                                       Word *value) {
  return read_field_body<Word, true>(dev, inst, reg_id, elem, value);
}

template <typename Word>
[[gnu::cold, gnu::noinline]] int32_t write_field_traced(uint32_t dev, uint32_t inst,
                                                        uint32_t reg_id, uint32_t elem,
                                                        Word value) {
  return write_field_body<Word, true>(dev, inst, reg_id, elem, value);
}

template <typename Word>
[[gnu::always_inline]] inline int32_t read_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                                 uint32_t elem, Word *value) {
  CHIP_UTIL_GOTO_IF_WATCHED(field_read, traced);
  return read_field_body<Word, false>(dev, inst, reg_id, elem, value);
traced:
  return read_field_traced<Word>(dev, inst, reg_id, elem, value);
}

template <typename Word>
[[gnu::always_inline]] inline int32_t write_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                                  uint32_t elem, Word value) {
  CHIP_UTIL_GOTO_IF_WATCHED(field_write, traced);
  return write_field_body<Word, false>(dev, inst, reg_id, elem, value);
traced:
  return write_field_traced<Word>(dev, inst, reg_id, elem, value);
}

}  // namespace

extern "C" int32_t hdk_read_reg32_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                        uint32_t elem, uint32_t *value) {
  return read_field<uint32_t>(dev, inst, reg_id, elem, value);
}

extern "C" int32_t hdk_write_reg32_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                         uint32_t elem, uint32_t value) {
  return write_field<uint32_t>(dev, inst, reg_id, elem, value);
}

extern "C" int32_t hdk_read_reg16_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                        uint32_t elem, uint16_t *value) {
  return read_field<uint16_t>(dev, inst, reg_id, elem, value);
}

extern "C" int32_t hdk_write_reg16_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                         uint32_t elem, uint16_t value) {
  return write_field<uint16_t>(dev, inst, reg_id, elem, value);
}

extern "C" int32_t hdk_set_reg_field32(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem,
                                       uint32_t *reg_value, uint32_t value) {
  constexpr const char *name = "hdk_set_reg_field32";
  const CheckedAccess access = check_access(name, dev, inst, reg_id, elem);
  if (access.reg == nullptr) {
    return refuse_silently(name, dev, 32, inst, reg_id, elem);
  }
  const hdk_reg_info &reg = *access.reg;
  if (reg_bytes(reg) != RegWidth<uint32_t>::kBytes) [[unlikely]] {
    return refuse_with_code(name, dev, 32, inst, reg_id, elem);
  }
  if (reg_value == nullptr || whole_reg(reg)) [[unlikely]] {
    return refuse_silently(name, dev, 32, inst, reg_id, elem, value);
  }
  if (field_bits(reg) == RegWidth<uint32_t>::kBits) {
    *reg_value = value;
    return 0;
  }
  if (!value_fits<uint32_t>(value, field_bits(reg))) [[unlikely]] {
    return refuse_value(name, dev, 32, inst, reg_id, elem, value);
  }
  // The caller chose the word: only the effective start bit matters.
  const FieldSpot<uint32_t> spot = locate_in_word<uint32_t>(reg, elem);
  if (!spot.valid) [[unlikely]] {
    return refuse_with_code(name, dev, 32, inst, reg_id, elem);
  }
  *reg_value = merge_field(*reg_value, spot, value);
  return 0;
}
