// SPDX-License-Identifier: Apache-2.0
/* A driver's C unit test built with nothing but `pkg-config chip_sim`:
 * chip_sim.pc brings libchip_sim and, through its Requires, libchip_util.
 * A field write through the library lands in the simulated register; the
 * installed library is not older than the installed headers. */
#include <chip_util/chip_util.h>
#include <chip_util/sim.h>

#include <stdio.h>

static const hdk_reg_info k_regs[] = {HDK_REG32_FIELD(0x10, 4, 3)};
static const hdk_reg_inst k_insts[] = {{0x1000, 0, 0, 1, k_regs}};
static const hdk_reg_module k_modules[] = {{0, 1, k_insts, 0, 0}};
static hdk_chip_reg_table k_table = {0, 1, k_modules, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};

int main(void) {
  chip_sim_reset();
  chip_sim_poke(5, 0x1010, 0xFFFFFFFFu);
  if (hdk_register_reg(5, &k_table) != 0 || hdk_write_reg32_field(5, 0, HDK_REG_ID(0, 0), 0, 2) != 0) {
    fprintf(stderr, "sim driver: field write refused\n");
    return 1;
  }
  if (chip_sim_peek(5, 0x1010) != 0xFFFFFFAFu) {
    fprintf(stderr, "sim driver: register 0x%08x, expected 0xffffffaf\n", chip_sim_peek(5, 0x1010));
    return 1;
  }
  if (chip_util_version() < CHIP_UTIL_VERSION) {
    fprintf(stderr, "sim driver: library %s older than headers %s\n", chip_util_version_string(),
            CHIP_UTIL_VERSION_STRING);
    return 1;
  }
  printf("sim driver: field written through chip_sim, library %s\n", chip_util_version_string());
  return 0;
}
