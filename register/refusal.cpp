// SPDX-License-Identifier: Apache-2.0
#include "refusal.hpp"

#include <chip_util/log.h>

namespace chip_reg {

void log_failed_code(const char *name, uint32_t dev, uint32_t inst, uint32_t reg_id,
                     uint32_t elem) {
  hdk_debug(dev, 1, "\r\n%s(%u, %u, 0x%x, %u) error code 0x%x.", name, dev, inst, reg_id, elem,
            0xFFFFFFFFu);
}

void log_refused_value(const char *name, uint32_t dev, uint32_t inst, uint32_t reg_id,
                       uint32_t elem, uint32_t value) {
  hdk_debug(dev, 1, "\r\n%s(%u, %u, 0x%x, %u, %u) error code 0x%x.", name, dev, inst, reg_id,
            elem, value, 0xFFFFFFFFu);
}

}  // namespace chip_reg
