/* SPDX-License-Identifier: Apache-2.0 */
/* A C99 driver's view of the library: the umbrella header compiles with
 * every warning as an error, a register table can be written with the
 * packing macros in static initialisers, and the records keep their size.
 * The install tests build this same driver against the installed package,
 * as C99 through pkg-config and as C++ through find_package. */
#include <chip_util/chip_util.h>

#include <stddef.h>
#include <stdio.h>

#define COMPILE_CHECK(name, cond) typedef char name[(cond) ? 1 : -1]
COMPILE_CHECK(reg_info_is_28_bytes, sizeof(hdk_reg_info) == 28);
COMPILE_CHECK(ops_are_four_pointers, sizeof(hdk_reg_ops) == 4 * sizeof(void *));
#if UINTPTR_MAX == UINT64_MAX
COMPILE_CHECK(table_is_48_bytes, sizeof(hdk_chip_reg_table) == 48);
COMPILE_CHECK(module_is_24_bytes, sizeof(hdk_reg_module) == 24);
COMPILE_CHECK(inst_is_24_bytes, sizeof(hdk_reg_inst) == 24);
#endif

static const hdk_reg_info k_regs[] = {
    HDK_REG32_FIELD(0x10, 4, 3),
    HDK_REG_INFO(0x20, 4, 28, 4, 8, -4, HDK_REG_BIT_INDEXED | HDK_REG_WRITE_ONLY),
    HDK_REG32_WHOLE(0x30),
};
static const hdk_reg_inst k_insts[] = {{0x1000, 0, 0, 3, k_regs}};
static const hdk_reg_module k_modules[] = {{0, 1, k_insts, 0, 0}};
static hdk_chip_reg_table k_table = {0, 1, k_modules, {0, 0, 0, 0, 0}, NULL};

static int fail(const char *what) {
  fprintf(stderr, "c99 driver: %s\n", what);
  return 1;
}

int main(void) {
  const hdk_reg_info *reg;
  char copy[5];
  if (hdk_register_reg(9, &k_table) != 0 || k_table.chip_id != 9) return fail("registration");
  reg = hdk_get_reg_info(9, 0, HDK_REG_ID(0, 1));
  if (reg != &k_regs[1] || reg->loc != ((0x20u << 2) | 1u) ||
      reg->step != (0x1FFFFFCu | (7u << 25)) || reg->shape != (8u | (4u << 22)) ||
      reg->field != ((28u << 18) | (4u << 4))) {
    return fail("packed record differs");
  }
  if (hdk_para_chk_and_get_module("c99_driver", 9, 0, HDK_REG_ID(3, 0), 0, NULL, NULL, &reg) != -1) {
    return fail("module index 3 accepted");
  }
  /* The bounds-checked functions come with the library. */
  if (memcpy_s(copy, sizeof copy, "chip", 5) != 0 || copy[3] != 'p') return fail("memcpy_s");
  return 0;
}
