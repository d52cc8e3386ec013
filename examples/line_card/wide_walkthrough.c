/* SPDX-License-Identifier: Apache-2.0 */
/* The line card's framer: wide registers worked on in memory, and a
 * translation table between line-rate codes and rates in Mbit/s.
 *
 * The framer's 128-bit line configuration register and 12-byte alarm mask
 * are fetched by the driver's own bulk access (here: arrays in memory); the
 * library finds each field through the framer's register table and moves it
 * in or out of that image. */
#include <chip_util/chip_util.h>

#include <stdio.h>

#include "framer_map.h"
#include "walkthrough.h"

/* The framer's table is generated from framer.json (framer_map.h): its
 * registers are never reached through a bus, so it needs no ops_table. */
enum { FRAMER_DEV = 7 };

/* Line-rate codes of the framer (m0) and the rates they select (m1). */
static const hdk_trans_pair k_line_rates[] = {
    {1, 155}, {2, 622}, {3, 2488}, {4, 9953}, {5, 39813},
};
#define LINE_RATE_COUNT ((uint32_t)(sizeof k_line_rates / sizeof k_line_rates[0]))

static void print_words(const char *label, const uint32_t *words, unsigned count) {
  unsigned i;
  printf("  %-12s", label);
  for (i = 0; i < count; ++i) {
    printf(" %08lx", (unsigned long)words[i]);
  }
  putchar('\n');
}

static int32_t access_field(uint32_t reg_id, uint32_t *image, uint32_t *field,
                            uint32_t direction) {
  return hdk_access_reg_field(FRAMER_DEV, FRAMER_LINE0, reg_id, 0, image, field, direction);
}

/* Reads the 40-bit path label, writes a new one, then tries one whose top
 * word has a bit above the field. */
static int path_label_step(uint32_t *line_cfg) {
  uint32_t label[2] = {0, 0};
  uint32_t new_label[2] = {0x000000C5u, 0x0FEEDBACu};
  uint32_t too_wide[2] = {0x00000100u, 0x11111111u};
  int failures = 0;

  puts("path label: 40 bits at bit 20, spanning register words 0-31 and 32-63");
  print_words("image:", line_cfg, 4);
  failures += access_field(FRAMER_LINE_CFG_PATH_LABEL, line_cfg, label, 0) != 0;
  printf("  read:        %02lx %08lx (field buffer, top word holds bits 32-39)\n",
         (unsigned long)label[0], (unsigned long)label[1]);
  failures += label[0] != 0x12u || label[1] != 0x3456789Au;

  failures += access_field(FRAMER_LINE_CFG_PATH_LABEL, line_cfg, new_label, 1) != 0;
  printf("  write %02lx %08lx:\n", (unsigned long)new_label[0], (unsigned long)new_label[1]);
  print_words("image:", line_cfg, 4);
  failures += access_field(FRAMER_LINE_CFG_PATH_LABEL, line_cfg, label, 0) != 0;
  failures += label[0] != new_label[0] || label[1] != new_label[1];

  puts("  a top word with bit 8 set does not fit 40 bits: the call still returns 0,");
  puts("  the low 32 bits are written and the top 8 keep their value");
  failures += access_field(FRAMER_LINE_CFG_PATH_LABEL, line_cfg, too_wide, 1) != 0;
  print_words("image:", line_cfg, 4);
  failures += access_field(FRAMER_LINE_CFG_PATH_LABEL, line_cfg, label, 0) != 0;
  printf("  read back:   %02lx %08lx\n", (unsigned long)label[0], (unsigned long)label[1]);
  failures += label[0] != new_label[0] || label[1] != too_wide[1];
  return failures;
}

/* The rate code straddles bits 63 and 64; the table turns it into Mbit/s
 * and back. */
static int line_rate_step(uint32_t *line_cfg) {
  uint32_t code = 0;
  uint32_t mbps = 0;
  int failures = 0;

  puts("line rate: a 6-bit code at bit 62, translated through a table of (code, Mbit/s)");
  failures += access_field(FRAMER_LINE_CFG_RATE_CODE, line_cfg, &code, 0) != 0;
  failures += hdk_struct_trans_m0tom1(k_line_rates, LINE_RATE_COUNT, code, &mbps) != 0;
  printf("  code %lu runs the line at %lu Mbit/s\n", (unsigned long)code, (unsigned long)mbps);
  failures += code != 3 || mbps != 2488;

  mbps = 9953;
  failures += hdk_struct_trans_m1tom0(k_line_rates, LINE_RATE_COUNT, mbps, &code) != 0;
  printf("  %lu Mbit/s is code %lu; written:\n", (unsigned long)mbps, (unsigned long)code);
  failures += access_field(FRAMER_LINE_CFG_RATE_CODE, line_cfg, &code, 1) != 0;
  print_words("image:", line_cfg, 4);
  failures += code != 4 || line_cfg[1] != 0x00000A51u || (line_cfg[2] >> 30) != 0;

  printf("  2500 Mbit/s is not in the table: result %d\n",
         (int)hdk_struct_trans_m1tom0(k_line_rates, LINE_RATE_COUNT, 2500, &code));
  failures += code != 4;
  return failures;
}

/* A whole-register record copies the 12 bytes as they are. */
static int alarm_mask_step(void) {
  uint32_t mask_reg[3] = {0x0000FFFFu, 0x00FF00FFu, 0xFFFFFFFFu};
  uint32_t copy[3] = {0, 0, 0};
  int failures = 0;

  puts("alarm mask: a whole 12-byte register, copied byte for byte");
  print_words("image:", mask_reg, 3);
  failures += access_field(FRAMER_LINE_ALARM_MASK, mask_reg, copy, 0) != 0;
  copy[2] &= ~0x00000010u; /* unmask alarm 4 */
  failures += access_field(FRAMER_LINE_ALARM_MASK, mask_reg, copy, 1) != 0;
  puts("  after unmasking alarm 4:");
  print_words("image:", mask_reg, 3);
  failures += mask_reg[0] != 0x0000FFFFu || mask_reg[2] != 0xFFFFFFEFu;
  return failures;
}

int walkthrough_wide(void) {
  /* Line configuration as fetched from the framer, most significant word
   * first: path label 0x123456789A, rate code 3 and other settings. */
  uint32_t line_cfg[4] = {0x5EC00001u, 0x00000A50u, 0xC1234567u, 0x89A12345u};
  int failures = 0;

  puts("\n== wide registers and translation tables");
  printf("register the framer's table for device %d: result %d\n", FRAMER_DEV,
         (int)hdk_register_reg(FRAMER_DEV, &framer_reg_table));
  puts("(register images are shown most significant word first)");
  failures += path_label_step(line_cfg);
  failures += line_rate_step(line_cfg);
  failures += alarm_mask_step();
  return failures;
}
