/* SPDX-License-Identifier: Apache-2.0 */
/* Reading and writing register fields of the line card on the simulated
 * chip: plain, array, bit-indexed and whole-register fields of 32- and
 * 16-bit registers, a field merged into a word in memory, and two refused
 * accesses. After each step it prints the accesses the chip saw. */
#include <chip_util/chip_util.h>
#include <chip_util/sim.h>

#include <stdio.h>

#include "line_card_chip.h"
#include "walkthrough.h"

/* Prints the accesses since the last call and forgets them; returns how
 * many there were. */
static size_t show_accesses(void) {
  const chip_sim_access *log = chip_sim_log();
  size_t count = chip_sim_log_count();
  size_t i;
  for (i = 0; i < count; ++i) {
    printf("    chip saw: %-5s %2u-bit 0x%04x %s 0x%x\n",
           log[i].kind == CHIP_SIM_READ ? "read" : "write", (unsigned)log[i].width,
           (unsigned)log[i].addr, log[i].kind == CHIP_SIM_READ ? "->" : "<-",
           (unsigned)log[i].value);
  }
  chip_sim_log_clear();
  return count;
}

static int expect(int ok, const char *what) {
  if (!ok) {
    printf("    UNEXPECTED: %s\n", what);
  }
  return ok ? 0 : 1;
}

static int plain_and_whole_fields(void) {
  uint32_t speed = 0;
  uint32_t frames = 0;
  int failures = 0;

  puts("MAC instance 1 holds 0xf5 in register 0x2000; read its speed (bits 4-6):");
  chip_sim_poke(LC_DEV, 0x2000, 0xF5);
  failures += expect(hdk_read_reg32_field(LC_DEV, LC7_MAC1, LC7_MAC_CTRL_SPEED, 0, &speed) == 0, "read");
  printf("  speed = %u\n", (unsigned)speed);
  show_accesses();
  failures += expect(speed == 7, "speed 7");

  puts("set the speed to 2: read, merge, write back");
  failures += expect(hdk_write_reg32_field(LC_DEV, LC7_MAC1, LC7_MAC_CTRL_SPEED, 0, LC7_MAC_CTRL_SPEED_S1G) == 0, "write");
  show_accesses();
  failures += expect(chip_sim_peek(LC_DEV, 0x2000) == 0xA5, "register 0xa5");

  puts("the frame counter is a whole register: the value goes through unchanged");
  chip_sim_poke(LC_DEV, 0x1004, 0x12345678);
  failures += expect(hdk_read_reg32_field(LC_DEV, LC7_MAC0, LC7_MAC_FRAME_COUNT, 0, &frames) == 0,
                     "read counter");
  printf("  frame counter of instance 0 = 0x%x\n", (unsigned)frames);
  show_accesses();
  failures += expect(frames == 0x12345678, "counter value");
  return failures;
}

static int arrays_and_bit_indexed_fields(void) {
  int failures = 0;

  puts("VLAN priority of port 5 = 6: element 5 lives 5 x 4 bytes on, in bits 8-10");
  failures += expect(hdk_write_reg32_field(LC_DEV, LC7_MAC0, LC7_MAC_VLAN_PRIO_PRIO, 5, 6) == 0, "prio");
  show_accesses();
  failures += expect(chip_sim_peek(LC_DEV, 0x1024) == 0x600, "register 0x1024 = 0x600");

  puts("loopback on lane 37: one bit per lane, so lane 37 is bit 5 of the second register");
  failures += expect(hdk_write_reg32_field(LC_DEV, LC7_MAC0, LC7_MAC_LANE_LOOPBACK_EN, 37, 1) == 0,
                     "loopback");
  show_accesses();
  failures += expect(chip_sim_peek(LC_DEV, 0x1044) == 0x20, "register 0x1044 = 0x20");

  puts("the TX trigger register is write-only (access type 7): no read before the write");
  failures += expect(hdk_write_reg32_field(LC_DEV, LC7_MAC0, LC7_MAC_TX_CMD_TRIGGER, 0, 0xA) == 0,
                     "trigger");
  failures += expect(show_accesses() == 1, "a single access");
  return failures;
}

static int sixteen_bit_fields(void) {
  uint16_t status = 0;
  uint16_t eq = 0;
  int failures = 0;

  puts("PHY instance 2: mode (bits 12-15 of 0x300) = 9, through read16 and write16");
  chip_sim_poke(LC_DEV, 0x300, 0x0123);
  failures += expect(hdk_write_reg16_field(LC_DEV, LC7_PHY2, LC7_PHY_MODE_CTRL_MODE, 0, 9) == 0, "mode");
  show_accesses();
  failures += expect(chip_sim_peek(LC_DEV, 0x300) == 0x9123, "register 0x300 = 0x9123");

  puts("PHY instance 2: status is a whole 16-bit register");
  chip_sim_poke(LC_DEV, 0x302, 0x8001);
  failures += expect(hdk_read_reg16_field(LC_DEV, LC7_PHY2, LC7_PHY_STATUS, 0, &status) == 0,
                     "status");
  printf("  status = 0x%04x\n", (unsigned)status);
  show_accesses();

  puts("equaliser of lane 5 = 0xc: 4 bits per lane, so bits 4-7 of the second register");
  failures += expect(hdk_write_reg16_field(LC_DEV, LC7_PHY2, LC7_PHY_LANE_EQ_GAIN, 5, 0xC) == 0, "eq");
  failures += expect(hdk_read_reg16_field(LC_DEV, LC7_PHY2, LC7_PHY_LANE_EQ_GAIN, 5, &eq) == 0, "eq");
  show_accesses();
  failures += expect(eq == 0xC && chip_sim_peek(LC_DEV, 0x312) == 0xC0, "lane 5 at 0x312");
  return failures;
}

static int field_in_memory(void) {
  uint32_t word = 0;
  int failures = 0;

  puts("merge fields into a copy of a MAC control word held in memory:");
  failures += hdk_set_reg_field32(LC_DEV, LC7_MAC0, LC7_MAC_CTRL_PORT_ENABLE, 0, &word, 1) != 0;
  failures += hdk_set_reg_field32(LC_DEV, LC7_MAC0, LC7_MAC_CTRL_SPEED, 0, &word, 3) != 0;
  printf("  enable = 1, speed = 3 -> 0x%x (no chip access: %u seen)\n", (unsigned)word,
         (unsigned)chip_sim_log_count());
  failures += expect(word == 0x31 && chip_sim_log_count() == 0, "word 0x31, no access");
  return failures;
}

static int refused_accesses(void) {
  int failures = 0;

  puts("refused: speed 8 does not fit a 3-bit field; nothing is read or written");
  failures += expect(hdk_write_reg32_field(LC_DEV, LC7_MAC0, LC7_MAC_CTRL_SPEED, 0, 8) == -1, "refused");
  puts("");
  puts("refused: port 8 of an 8-port array (error code 0x10: element index)");
  failures += expect(hdk_write_reg32_field(LC_DEV, LC7_MAC0, LC7_MAC_VLAN_PRIO_PRIO, 8, 1) == -1,
                     "refused");
  puts("");
  failures += expect(show_accesses() == 0, "no access for a refused call");
  return failures;
}

int walkthrough_fields(void) {
  int failures = 0;

  puts("\n== register fields on the simulated chip");
  chip_sim_reset();
  failures += lc_register_table() != 0;
  failures += plain_and_whole_fields();
  failures += arrays_and_bit_indexed_fields();
  failures += sixteen_bit_fields();
  failures += field_in_memory();
  failures += refused_accesses();
  return failures;
}
