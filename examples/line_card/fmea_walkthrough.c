/* SPDX-License-Identifier: Apache-2.0 */
/* Reading an FMEA debug command: which fault-injection options it asks for,
 * with their address, mask and values, and the dfx list of numbers. */
#include <chip_util/chip_util.h>

#include <stdio.h>

#include "walkthrough.h"

static const char *const k_option_names[DRV_FMEA_OPT_SET_SIZE] = {
    "read", "read_his", "positive", "neo", "wc", "rc", "inject", "inject_undo"};

int walkthrough_fmea(void) {
  const char *command =
      "read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] inject[addr=0x2000,val=3] dfx[1,2,3]";
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE] = {{0, 0, 0, 0, 0}};
  drv_fmea_opt opt;
  uint32_t dfx[8];
  uint32_t count;
  uint32_t found;
  uint32_t i;
  drv_fmea_opt_type type;
  int failures = 0;

  puts("\n== FMEA debug command");
  printf("command: %s\n", command);
  /* One pass fills the record of every keyword found; then each type's
   * record is read out of the set. */
  found = drv_fmea_parse_opt_set(command, set);
  printf("%u options found:\n", (unsigned)found);
  for (type = DRV_FMEA_OPT_READ; type <= DRV_FMEA_OPT_INJECT_UNDO; ++type) {
    if (drv_fmea_get_opt(set, type, &opt) != 1 || opt.valid == 0) {
      continue;
    }
    printf("  option %u %-11s addr 0x%x, mask 0x%x, val 0x%x, cmp_val 0x%x\n", (unsigned)type,
           k_option_names[type - 1], (unsigned)opt.addr, (unsigned)opt.mask, (unsigned)opt.val,
           (unsigned)opt.cmp_val);
  }
  failures += found != 2;

  /* A single option: the record starts from zeros, so keys left out read 0. */
  failures += drv_fmea_parse_opt(command, DRV_FMEA_OPT_INJECT, &opt) != 1;
  printf("inject alone: valid %u, mask 0x%x (not given, so 0)\n", (unsigned)opt.valid,
         (unsigned)opt.mask);
  failures += opt.valid != 1 || opt.addr != 0x2000 || opt.val != 3 || opt.mask != 0;
  failures += drv_fmea_parse_opt(command, DRV_FMEA_OPT_WC, &opt) != 1 || opt.valid != 0;

  count = drv_fmea_parse_dfx(command, (uint32_t)(sizeof dfx / sizeof dfx[0]), dfx);
  printf("dfx list: %u of %u numbers:", (unsigned)count, (unsigned)drv_fmea_parse_dfx_num(command));
  for (i = 0; i < count; ++i) {
    printf(" %u", (unsigned)dfx[i]);
  }
  puts("");
  failures += count != 3 || dfx[0] != 1 || dfx[1] != 2 || dfx[2] != 3;

  count = drv_fmea_parse_dfx("dfx[0x10,0x20,0x30]", 2, dfx);
  printf("dfx[0x10,0x20,0x30] into 2 entries: 0x%x 0x%x, %u stored (the array is never overrun)\n",
         (unsigned)dfx[0], (unsigned)dfx[1], (unsigned)count);
  failures += count != 2 || dfx[0] != 0x10 || dfx[1] != 0x20;
  return failures;
}
