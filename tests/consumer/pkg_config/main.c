/* Registers a small register table and checks what hdk_debug and
 * hdk_file_name_cut give back, in plain C99. */
#include <chip_util/chip_util.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static char g_printed[600];

static int capture(const char *format, ...) {
  int length;
  va_list args;
  va_start(args, format);
  length = vsnprintf(g_printed, sizeof g_printed, format, args);
  va_end(args);
  return length;
}

static const hdk_reg_info k_regs[] = {HDK_REG32_FIELD(0x10, 4, 3)};
static const hdk_reg_inst k_insts[] = {{0x1000, 0, 0, 1, k_regs}};
static const hdk_reg_module k_modules[] = {{0, 1, k_insts, 0, 0}};
static hdk_chip_reg_table g_table = {0, 1, k_modules, {0, 0, 0, 0, 0}, NULL};

static int fail(const char *what) {
  fprintf(stderr, "consumer: %s\n", what);
  return 1;
}

int main(void) {
  if (hdk_register_reg(4, &g_table) != 0 || hdk_get_reg_info(4, 0, HDK_REG_ID(0, 0)) != k_regs) {
    return fail("registration");
  }
  if (strcmp(hdk_file_name_cut("drivers/line_card/framer.c"), "framer.c") != 0) {
    return fail("hdk_file_name_cut");
  }
  hdk_printf_func_register(capture);
  hdk_debug(4, 1, "port %u: %s", 3u, "up");
  if (strcmp(g_printed, "port 3: up") != 0) return fail("hdk_debug text");
  g_printed[0] = '\0';
  hdk_debug(4, 4, "filtered");
  if (g_printed[0] != '\0') return fail("level 4 printed");
  puts("pkg-config consumer: table registered, log text exact");
  return 0;
}
