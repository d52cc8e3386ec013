/* Registering the line card's register table and looking registers up. */
#include <chip_util/chip_util.h>

#include <stdio.h>

#include "walkthrough.h"

enum { LC_DEV = 2, LC_MODULE_MAC = 0, LC_MODULE_PHY = 1 };

static const hdk_reg_info k_mac_regs[] = {
    HDK_REG32_FIELD(0x00, 0, 1),  /* 0: port enable */
    HDK_REG32_FIELD(0x00, 4, 3),  /* 1: speed select */
    HDK_REG32_WHOLE(0x04),        /* 2: frame counter */
};
static const hdk_reg_inst k_mac_insts[] = {
    {0x1000, 0, 0, 3, k_mac_regs},
    {0x2000, 0, 0, 3, k_mac_regs},
};
static const hdk_reg_module k_modules[] = {
    {0, 2, k_mac_insts, 0, 0},
};
static hdk_chip_reg_table k_table = {0, 1, k_modules, {0, 0, 0, 0, 0}, NULL};

int walkthrough_registry(void) {
  const hdk_reg_info *speed;
  int failures = 0;

  puts("\n== register table");
  printf("register the table for device %d: result %d\n", LC_DEV, (int)hdk_register_reg(LC_DEV, &k_table));
  speed = hdk_get_reg_info(LC_DEV, 1, HDK_REG_ID(LC_MODULE_MAC, 1));
  printf("MAC instance 1, speed select: record at index %d of the MAC registers\n",
         speed == NULL ? -1 : (int)(speed - k_mac_regs));
  failures += speed != &k_mac_regs[1];

  puts("a refused access names the failing index (0x2: module, 0x4: instance):");
  failures += hdk_para_chk_and_get_module("walkthrough", LC_DEV, 0, HDK_REG_ID(LC_MODULE_PHY, 0),
                                          0, NULL, NULL, NULL) != -1;
  failures += hdk_para_chk_and_get_module("walkthrough", LC_DEV, 2, HDK_REG_ID(LC_MODULE_MAC, 0),
                                          0, NULL, NULL, NULL) != -1;
  puts("");
  return failures;
}
