/* SPDX-License-Identifier: Apache-2.0 */
/* The line card's register table comes from lc7.json; the driver only
 * supplies the access functions of each bus the map lists. */
#include "line_card_chip.h"

#include <chip_util/sim.h>

/* One hdk_reg_ops per bus, in the order of the LC7_BUS_* constants. */
static hdk_reg_ops k_ops[LC7_BUS_NUM];

hdk_chip_reg_table *lc_table(void) {
  k_ops[LC7_BUS_MMIO] = chip_sim_reg_ops;
  k_ops[LC7_BUS_MDIO] = chip_sim_reg_ops;
  lc7_reg_table.ops_table = k_ops;
  return &lc7_reg_table;
}

int32_t lc_register_table(void) { return hdk_register_reg(LC_DEV, lc_table()); }
