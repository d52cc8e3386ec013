// SPDX-License-Identifier: Apache-2.0
// The walk of a chip's register table that every register access starts
// with: one chip-id resolution, then the module, instance, register and
// element indexes checked in that order. Inline, so that the field accesses
// run it without a call; hdk_para_chk_and_get_module is its exported form.
#pragma once

#include <chip_util/register.h>

#include <cstdint>

#include "reg_info.hpp"

namespace chip_reg {

// The records of a checked access; all null when the check failed.
struct CheckedAccess {
  const hdk_chip_reg_table *table;
  const hdk_reg_module *module;
  const hdk_reg_inst *inst;
  const hdk_reg_info *reg;
};

// Logs "\r\n<name>(dev, inst, 0x<reg_id>, elem) error code 0x<code>." at
// level 1.
[[gnu::cold]] void report_index(const char *name, uint32_t dev, uint32_t inst, uint32_t reg_id,
                                uint32_t elem, uint32_t code);

// Bounds-checked indexing into a record array whose pointer may be null.
template <typename T>
inline const T *checked_element(const T *array, uint32_t count, uint32_t index) {
  return array != nullptr && index < count ? &array[index] : nullptr;
}

// hdk_get_reg_chip_id: the registered resolver's answer, or `dev` itself.
// A device number of 320 or more is given back unchanged.
[[gnu::always_inline]] inline uint32_t resolve_chip_id(uint32_t dev) {
  if (dev >= HDK_MAX_DEV_NUM) {
    return dev;
  }
  const hdk_chip_id_resolver resolver = g_hdk_regm_chip_cfg[dev];
  return resolver == nullptr ? dev : resolver(dev);
}

// The table serving `dev`, or null (chip id of 320 or more, or no table).
[[gnu::always_inline]] inline const hdk_chip_reg_table *table_of(uint32_t dev) {
  const uint32_t chip_id = resolve_chip_id(dev);
  return chip_id < HDK_MAX_CHIP_NUM ? g_hdk_chip_reg[chip_id] : nullptr;
}

// Resolves the chip id once and checks every index. A missing table fails
// silently; an index out of range fails with its code (0x2 module, 0x4
// instance, 0x8 register, 0x10 element) logged under `name`.
[[gnu::always_inline]] inline CheckedAccess check_access(const char *name, uint32_t dev, uint32_t inst, uint32_t reg_id,
                                  uint32_t elem) {
  const hdk_chip_reg_table *table = table_of(dev);
  if (table == nullptr) {
    return {};
  }
  const hdk_reg_module *module =
      checked_element(table->modules, table->module_num, HDK_REG_ID_MODULE(reg_id));
  if (module == nullptr) [[unlikely]] {
    report_index(name, dev, inst, reg_id, elem, 0x2);
    return {};
  }
  const hdk_reg_inst *instance = checked_element(module->insts, module->inst_num, inst);
  if (instance == nullptr) [[unlikely]] {
    report_index(name, dev, inst, reg_id, elem, 0x4);
    return {};
  }
  const hdk_reg_info *reg =
      checked_element(instance->regs, instance->reg_num, HDK_REG_ID_INDEX(reg_id));
  if (reg == nullptr) [[unlikely]] {
    report_index(name, dev, inst, reg_id, elem, 0x8);
    return {};
  }
  if (elem >= elem_num(*reg)) [[unlikely]] {
    report_index(name, dev, inst, reg_id, elem, 0x10);
    return {};
  }
  return {table, module, instance, reg};
}

}  // namespace chip_reg
