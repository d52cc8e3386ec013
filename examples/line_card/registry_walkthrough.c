/* Registering the line card's register table and looking registers up. */
#include <chip_util/chip_util.h>

#include <stdio.h>

#include "line_card_chip.h"
#include "walkthrough.h"

int walkthrough_registry(void) {
  const hdk_reg_info *speed;
  int failures = 0;

  puts("\n== register table");
  printf("register the table for device %d: result %d\n", LC_DEV, (int)lc_register_table());
  speed = hdk_get_reg_info(LC_DEV, 1, HDK_REG_ID(LC_MODULE_MAC, LC_MAC_SPEED));
  printf("MAC instance 1, speed select: record at index %d of the MAC registers\n",
         speed == NULL ? -1 : (int)(speed - lc_mac_regs));
  failures += speed != &lc_mac_regs[LC_MAC_SPEED];

  puts("a refused access names the failing index (0x2: module, 0x4: instance):");
  failures += hdk_para_chk_and_get_module("walkthrough", LC_DEV, 0, HDK_REG_ID(LC_MODULE_NUM, 0),
                                          0, NULL, NULL, NULL) != -1;
  failures += hdk_para_chk_and_get_module("walkthrough", LC_DEV, 2, HDK_REG_ID(LC_MODULE_MAC, 0),
                                          0, NULL, NULL, NULL) != -1;
  puts("");
  return failures;
}
