// SPDX-License-Identifier: Apache-2.0
// Reads and writes by map target that honour the access kinds: the checks
// and the safe read-modify-write on top of the field functions.
#include <chip_util/access.h>
#include <chip_util/log.h>
#include <chip_util/register.h>

#include <cstdio>

namespace {

constexpr uint32_t kLogLevel = 1;

// "INSTANCE.REGISTER[n].FIELD[n]" as chip_map_find reads it.
void label_of(const chip_map_target &target, char *out, size_t size) {
  const chip_map_record &names = *target.names;
  const uint32_t elem_num = target.record->shape & 0x3FFFFFu;  // the record's elem_num
  const bool bit_indexed = (target.record->loc & HDK_REG_BIT_INDEXED) != 0;
  char reg_index[16] = "";
  char field_index[16] = "";
  if (elem_num > 1 && !bit_indexed) {
    std::snprintf(reg_index, sizeof reg_index, "[%u]", target.elem);
  }
  if (bit_indexed) {
    std::snprintf(field_index, sizeof field_index, "[%u]", target.elem);
  }
  std::snprintf(out, size, "%s.%s%s%s%s%s", target.instance->name, names.reg, reg_index,
                names.field != nullptr ? "." : "", names.field != nullptr ? names.field : "",
                field_index);
}

[[gnu::cold]] int32_t refuse(const char *function, uint32_t dev, const chip_map_target *target,
                             const char *reason) {
  char label[256] = "?";
  if (target != nullptr && target->instance != nullptr && target->names != nullptr &&
      target->record != nullptr) {
    label_of(*target, label, sizeof label);
  }
  hdk_debug(dev, kLogLevel, "\r\n%s(%u, %s): %s", function, dev, label, reason);
  return -1;
}

bool complete(const chip_map_target *target) {
  return target != nullptr && target->module != nullptr && target->names != nullptr &&
         target->record != nullptr && target->instance != nullptr;
}

// The name records of the register that holds `target`: its whole-register
// record is records[whole]; its fields point to it through `whole`.
uint32_t whole_index(const chip_map_target &target) {
  return HDK_REG_ID_INDEX(target.whole_reg_id);
}

const chip_map_record *whole_record(const chip_map_target &target) {
  const uint32_t index = whole_index(target);
  return index < target.module->record_num ? &target.module->records[index] : nullptr;
}

bool register_clears_on_read(const chip_map_target &target) {
  const uint32_t index = whole_index(target);
  for (uint32_t i = 0; i < target.module->record_num; ++i) {
    const chip_map_record &record = target.module->records[i];
    if ((i == index || record.whole == index) && record.access == CHIP_MAP_ACCESS_RCLR) {
      return true;
    }
  }
  return false;
}

int32_t read_record(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem,
                    uint32_t reg_bytes, uint32_t *value) {
  if (reg_bytes == 4) {
    return hdk_read_reg32_field(dev, inst, reg_id, elem, value);
  }
  uint16_t half = 0;
  const int32_t status = hdk_read_reg16_field(dev, inst, reg_id, elem, &half);
  *value = half;
  return status;
}

int32_t write_record(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem,
                     uint32_t reg_bytes, uint32_t value) {
  return reg_bytes == 4
             ? hdk_write_reg32_field(dev, inst, reg_id, elem, value)
             : hdk_write_reg16_field(dev, inst, reg_id, elem, static_cast<uint16_t>(value));
}

uint32_t low_bits(uint32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

}  // namespace

extern "C" uint32_t chip_access_read_effect(const chip_map_target *target) {
  if (!complete(target)) {
    return CHIP_ACCESS_READ_WRITE_ONLY;
  }
  const chip_map_record *whole = whole_record(*target);
  if (target->access == CHIP_MAP_ACCESS_WO ||
      (whole != nullptr && whole->access == CHIP_MAP_ACCESS_WO)) {
    return CHIP_ACCESS_READ_WRITE_ONLY;
  }
  return register_clears_on_read(*target) ? CHIP_ACCESS_READ_CLEARS : CHIP_ACCESS_READ_HARMLESS;
}

extern "C" int32_t chip_access_read(uint32_t dev, const chip_map_target *target,
                                    uint32_t *value) {
  constexpr const char *function = "chip_access_read";
  if (!complete(target) || value == nullptr) {
    return refuse(function, dev, target, "null target or value");
  }
  if (target->reg_bytes != 2 && target->reg_bytes != 4) {
    return refuse(function, dev, target, "only 16- and 32-bit registers are on a bus");
  }
  if (chip_access_read_effect(target) == CHIP_ACCESS_READ_WRITE_ONLY) {
    return refuse(function, dev, target, "write-only: there is nothing to read");
  }
  return read_record(dev, target->inst, target->reg_id, target->elem, target->reg_bytes, value);
}

extern "C" int32_t chip_access_write(uint32_t dev, const chip_map_target *target,
                                     uint32_t value) {
  constexpr const char *function = "chip_access_write";
  if (!complete(target)) {
    return refuse(function, dev, target, "null target");
  }
  const uint32_t bytes = target->reg_bytes;
  if (bytes != 2 && bytes != 4) {
    return refuse(function, dev, target, "only 16- and 32-bit registers are on a bus");
  }
  if (target->access == CHIP_MAP_ACCESS_RO || target->access == CHIP_MAP_ACCESS_RCLR) {
    return refuse(function, dev, target, "read-only: not written");
  }
  if (value > low_bits(target->field_bits)) {
    char reason[64];
    std::snprintf(reason, sizeof reason, "value 0x%x is wider than %u bits", value,
                  target->field_bits);
    return refuse(function, dev, target, reason);
  }
  if (target->names->field == nullptr) {
    return write_record(dev, target->inst, target->reg_id, target->elem, bytes, value);
  }
  const chip_map_record *whole = whole_record(*target);
  if (whole == nullptr) {
    return refuse(function, dev, target, "the map names no whole register for this field");
  }
  // A write-only register is never read: the field write writes its other
  // bits as 0, as the library's field functions do for write-only records.
  if (whole->access == CHIP_MAP_ACCESS_WO) {
    return write_record(dev, target->inst, target->reg_id, target->elem, bytes, value);
  }
  if (register_clears_on_read(*target)) {
    return refuse(function, dev, target,
                  "the register clears on read: a field write would read it (write the whole "
                  "register)");
  }
  const uint32_t field_mask = low_bits(target->field_bits) << target->start_bit;
  const uint32_t zero = target->rmw_zero & ~field_mask;
  const uint32_t one = target->rmw_one & ~field_mask;
  if (zero == 0 && one == 0 && target->access != CHIP_MAP_ACCESS_WO) {
    return write_record(dev, target->inst, target->reg_id, target->elem, bytes, value);
  }
  // The neighbours need other bits than the ones read (or the field itself
  // is write-only in a readable register): read the whole register, merge,
  // and write it whole.
  uint32_t word = 0;
  const int32_t read_status =
      read_record(dev, target->inst, target->whole_reg_id, target->whole_elem, bytes, &word);
  if (read_status != 0) {
    return read_status;  // merging into a word never read would write made-up neighbours
  }
  word = (((word & ~zero) | one) & ~field_mask) | ((value << target->start_bit) & field_mask);
  return write_record(dev, target->inst, target->whole_reg_id, target->whole_elem, bytes, word);
}
