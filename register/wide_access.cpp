// SPDX-License-Identifier: Apache-2.0
// Table-driven field access on a register image in memory.
#include <chip_util/bounds.h>
#include <chip_util/register.h>

#include <cstdint>

#include "reg_info.hpp"
#include "wide_layout.hpp"

namespace {

constexpr const char kName[] = "hdk_access_reg_field";

int32_t copy_whole(uint32_t reg_bytes, uint32_t *reg_image, uint32_t *field, uint32_t direction) {
  const int rc = direction == 0 ? memcpy_s(field, reg_bytes, reg_image, reg_bytes)
                                : memcpy_s(reg_image, reg_bytes, field, reg_bytes);
  return rc == 0 ? 0 : -1;
}

}  // namespace

extern "C" int32_t hdk_access_reg_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                        uint32_t elem, uint32_t *reg_image, uint32_t *field,
                                        uint32_t direction) {
  const hdk_reg_info *reg = nullptr;
  if (hdk_para_chk_and_get_module(kName, dev, inst, reg_id, elem, nullptr, nullptr, &reg) != 0) {
    return -1;
  }
  if (reg_image == nullptr || field == nullptr) {
    return -1;
  }
  const uint32_t reg_bytes = chip_reg::reg_bytes(*reg);
  if (chip_reg::whole_reg(*reg)) {
    return copy_whole(reg_bytes, reg_image, field, direction);
  }
  if (chip_reg::bit_indexed(*reg) && reg_bytes == 0) {
    return -1;  // no register to wrap the position in
  }
  const uint32_t position =
      chip_reg::bit_indexed(*reg) ? chip_reg::element_start_bit(*reg, elem) : chip_reg::start_bit(*reg);
  const uint32_t field_bits = chip_reg::field_bits(*reg);
  if (!chip_reg::field_lies_within(position, field_bits, reg_bytes)) {
    return -1;
  }
  if (direction == 0) {
    hdk_get_field_info(position, field_bits, reg_bytes, reg_image, field);
  } else {
    hdk_set_field_info(position, field_bits, reg_bytes, reg_image, field);
  }
  return 0;
}
