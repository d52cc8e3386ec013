/* SPDX-License-Identifier: Apache-2.0 */
/* Registering the line card's register table and looking registers up, by
 * their generated constants and by name. */
#include <chip_util/chip_util.h>

#include <stdio.h>

#include "line_card_chip.h"
#include "walkthrough.h"

int walkthrough_registry(void) {
  const hdk_reg_info *speed;
  chip_map_target target;
  char name[64];
  int failures = 0;

  puts("\n== register table");
  printf("register the table for device %d: result %d\n", LC_DEV, (int)lc_register_table());
  speed = hdk_get_reg_info(LC_DEV, LC7_MAC1, LC7_MAC_CTRL_SPEED);
  chip_map_name_of(&lc7_map_names, LC7_MAC1, LC7_MAC_CTRL_SPEED, 0, name, sizeof name);
  printf("LC7_MAC1, LC7_MAC_CTRL_SPEED: the record of %s\n", name);
  failures += chip_map_find(&lc7_map_names, "MAC1.CTRL.SPEED", &target) != CHIP_MAP_FOUND;
  failures += speed == NULL || target.record != speed;
  printf("found by name: instance %u, reg_id 0x%x, register 0x%x, bits %u-%u, %s\n",
         (unsigned)target.inst, (unsigned)target.reg_id, (unsigned)target.addr,
         (unsigned)target.start_bit, (unsigned)(target.start_bit + target.field_bits - 1),
         target.access == CHIP_MAP_ACCESS_RW ? "read-write" : "not read-write");
  failures += chip_map_find_addr(&lc7_map_names, 0x1044, &target) != CHIP_MAP_FOUND;
  chip_map_name_of(&lc7_map_names, target.inst, target.reg_id, target.elem, name, sizeof name);
  printf("address 0x1044 is %s\n", name);

  puts("a refused access names the failing index (0x2: module, 0x4: instance):");
  failures += hdk_para_chk_and_get_module("walkthrough", LC_DEV, 0,
                                          HDK_REG_ID(lc7_reg_table.module_num, 0), 0, NULL, NULL,
                                          NULL) != -1;
  failures += hdk_para_chk_and_get_module("walkthrough", LC_DEV, 2, LC7_MAC_CTRL, 0, NULL, NULL,
                                          NULL) != -1;
  puts("");
  return failures;
}
