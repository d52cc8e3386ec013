// SPDX-License-Identifier: Apache-2.0
// The refusal lines of the field handles, in the formats of the field
// functions. Out of line and cold: the hot paths only branch to them.
#pragma once

#include <chip_util/handle.h>

#include <cstdint>

namespace chip_reg {

// "\r\n<name>(dev, inst, 0x<reg_id>, elem) error code 0xffffffff." at level 1.
[[gnu::cold]] void log_failed_code(const char *name, uint32_t dev, uint32_t inst,
                                   uint32_t reg_id, uint32_t elem);

// "\r\n<name>(dev, inst, 0x<reg_id>, elem, value) error code 0xffffffff."
[[gnu::cold]] void log_refused_value(const char *name, uint32_t dev, uint32_t inst,
                                     uint32_t reg_id, uint32_t elem, uint32_t value);

constexpr chip_status kOk = {CHIP_OK, 0};
constexpr chip_status kRefused = {CHIP_REFUSED, 0};

// CHIP_OK for a status of 0, otherwise CHIP_BUS_ERROR carrying it.
constexpr chip_status bus_result(int32_t status) {
  return {status == 0 ? CHIP_OK : CHIP_BUS_ERROR, status};
}

}  // namespace chip_reg
