/* SPDX-License-Identifier: Apache-2.0 */
/* A C99 driver whose register table chip_util_add_register_map generated
 * from board.json: a field write by generated names reaches the address and
 * bit the map gives, and the name table finds the same record. */
#include <chip_util/chip_util.h>

#include <stdio.h>

#include "board_map.h"

static uint32_t g_last_addr;
static uint32_t g_last_value;

static int32_t read32(uint32_t dev, uint32_t addr, uint32_t *value) {
  (void)dev;
  (void)addr;
  *value = 0;
  return 0;
}

static int32_t write32(uint32_t dev, uint32_t addr, uint32_t value) {
  (void)dev;
  g_last_addr = addr;
  g_last_value = value;
  return 0;
}

int main(void) {
  static hdk_reg_ops ops[BOARD_BUS_NUM];
  chip_map_target target;
  ops[BOARD_BUS_MMIO].read32 = read32;
  ops[BOARD_BUS_MMIO].write32 = write32;
  board_reg_table.ops_table = ops;
  if (hdk_register_reg(0, &board_reg_table) != 0 ||
      hdk_write_reg32_field(0, BOARD_GPIO1, BOARD_GPIO_DIR_PIN, 5, 1) != 0 ||
      g_last_addr != 0x9000u || g_last_value != 0x20u) {
    puts("map consumer: the generated table did not reach GPIO1.DIR bit 5");
    return 1;
  }
  if (chip_map_find(&board_map_names, "GPIO1.DIR.PIN[5]", &target) != CHIP_MAP_FOUND ||
      target.reg_id != BOARD_GPIO_DIR_PIN || target.addr != 0x9000u || target.start_bit != 5 ||
      chip_map_find(&board_map_names, "GPIO0.IRQ.COUNT", &target) != CHIP_MAP_FOUND ||
      target.access != CHIP_MAP_ACCESS_RO || target.rmw_zero != 0xFFu) {
    puts("map consumer: the name table disagrees with the generated constants");
    return 1;
  }
  puts("map consumer: ok");
  return 0;
}
