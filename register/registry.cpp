// SPDX-License-Identifier: Apache-2.0
// The chip registry: resolvers per device, tables per chip id, and the
// parameter check that every register access starts with.
#include "access_check.hpp"
#include "reg_info.hpp"

#include <chip_util/handle.h>
#include <chip_util/log.h>

#include <cstddef>

// The record layouts are shared with drivers: keep them fixed.
static_assert(sizeof(hdk_reg_info) == 28);
static_assert(sizeof(hdk_reg_ops) == 4 * sizeof(void *));
#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(hdk_chip_reg_table) == 48);
static_assert(offsetof(hdk_chip_reg_table, ops_table) == 40);
static_assert(sizeof(hdk_reg_module) == 24);
static_assert(offsetof(hdk_reg_module, ops_index) == 20);
static_assert(sizeof(hdk_reg_inst) == 24);
static_assert(offsetof(hdk_reg_inst, regs) == 16);
#endif

extern "C" {
CHIP_UTIL_API hdk_chip_id_resolver g_hdk_regm_chip_cfg[HDK_MAX_DEV_NUM] = {};
CHIP_UTIL_API hdk_chip_reg_table *g_hdk_chip_reg[HDK_MAX_CHIP_NUM] = {};
}

extern "C" void hdk_register_reg_chip_id(uint32_t dev, hdk_chip_id_resolver resolver) {
  if (dev < HDK_MAX_DEV_NUM) {
    g_hdk_regm_chip_cfg[dev] = resolver;
  }
}

extern "C" uint32_t hdk_get_reg_chip_id(uint32_t dev) { return chip_reg::resolve_chip_id(dev); }

extern "C" int32_t hdk_register_reg(uint32_t dev, hdk_chip_reg_table *table) {
  if (dev >= HDK_MAX_DEV_NUM) {
    return 1;
  }
  if (table == nullptr) {
    return -1;
  }
  const uint32_t chip_id = hdk_get_reg_chip_id(dev);
  if (chip_id >= HDK_MAX_CHIP_NUM) {
    return -1;
  }
  g_hdk_chip_reg[chip_id] = table;
  table->chip_id = chip_id;
  return 0;
}

extern "C" int32_t chip_unregister_reg(uint32_t dev, const hdk_chip_reg_table *table) {
  if (dev >= HDK_MAX_DEV_NUM) {
    return 1;
  }
  const uint32_t chip_id = hdk_get_reg_chip_id(dev);
  if (table == nullptr || chip_id >= HDK_MAX_CHIP_NUM || g_hdk_chip_reg[chip_id] != table) {
    return -1;
  }
  g_hdk_chip_reg[chip_id] = nullptr;
  return 0;
}

using chip_reg::checked_element;
using chip_reg::table_of;

extern "C" const hdk_reg_info *hdk_get_reg_info(uint32_t dev, uint32_t inst, uint32_t reg_id) {
  if (dev >= HDK_MAX_DEV_NUM) {
    return nullptr;
  }
  const hdk_chip_reg_table *table = table_of(dev);
  if (table == nullptr) {
    return nullptr;
  }
  const hdk_reg_module *module =
      checked_element(table->modules, table->module_num, HDK_REG_ID_MODULE(reg_id));
  if (module == nullptr) {
    return nullptr;
  }
  const hdk_reg_inst *instance = checked_element(module->insts, module->inst_num, inst);
  if (instance == nullptr) {
    return nullptr;
  }
  return checked_element(instance->regs, instance->reg_num, HDK_REG_ID_INDEX(reg_id));
}

void chip_reg::report_index(const char *name, uint32_t dev, uint32_t inst, uint32_t reg_id,
                            uint32_t elem, uint32_t code) {
  hdk_debug(dev, 1, "\r\n%s(%u, %u, 0x%x, %u) error code 0x%x.", name != nullptr ? name : "(null)",
            dev, inst, reg_id, elem, code);
}

extern "C" int32_t hdk_para_chk_and_get_module(const char *name, uint32_t dev, uint32_t inst,
                                               uint32_t reg_id, uint32_t elem,
                                               const hdk_reg_module **module_out,
                                               const hdk_reg_inst **inst_out,
                                               const hdk_reg_info **reg_out) {
  const chip_reg::CheckedAccess access = chip_reg::check_access(name, dev, inst, reg_id, elem);
  if (access.reg == nullptr) {
    return -1;
  }
  if (module_out != nullptr) {
    *module_out = access.module;
  }
  if (inst_out != nullptr) {
    *inst_out = access.inst;
  }
  if (reg_out != nullptr) {
    *reg_out = access.reg;
  }
  return 0;
}
