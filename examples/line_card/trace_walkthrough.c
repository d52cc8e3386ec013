/* SPDX-License-Identifier: Apache-2.0 */
/* Sending a J0 and a J1 trace and reading them back as a receiver would. */
#include <chip_util/chip_util.h>

#include <stdio.h>
#include <string.h>

#include "walkthrough.h"

#define TRACE_CHECK(name, cond) typedef char name[(cond) ? 1 : -1]

static const char k_j0_text[] = "LC7/PORT3 J0 TX";
static const char k_j1_text[] = "LINE CARD 7 PORT 3 HIGHER-ORDER PATH J1 - FAR END SITE B 01234";
TRACE_CHECK(j0_text_is_15_characters, sizeof(k_j0_text) - 1 == DRV_J0J1_TEXT16_CHARS);
TRACE_CHECK(j1_text_is_62_characters, sizeof(k_j1_text) - 1 == DRV_J0J1_TEXT64_CHARS);

/* The receiver's view: the same repeating bytes, caught from `start` on. */
enum { RX_START = 37 };

static void print_hex(const char *label, const uint8_t *bytes, uint32_t count) {
  uint32_t i;
  printf("  %-9s", label);
  for (i = 0; i < count; ++i) {
    if (i != 0 && i % 32 == 0) {
      printf("\n  %-9s", "");
    }
    printf("%02x", bytes[i]);
  }
  putchar('\n');
}

/* Encode, assemble, rotate, decode; returns the number of mismatches. */
static int send_and_receive(const char *name, uint32_t trace_len, const char *text,
                            uint32_t chars) {
  uint8_t frame[DRV_J0J1_PATTERN_BYTES];
  uint8_t pattern[DRV_J0J1_PATTERN_BYTES];
  uint8_t received[DRV_J0J1_PATTERN_BYTES];
  uint8_t decoded[DRV_J0J1_PATTERN_BYTES];
  uint32_t rx_len = 0;
  uint32_t i;
  int failures = 0;

  printf("%s: %u-byte frame, text \"%s\"\n", name, (unsigned)trace_len, text);
  failures += drv_encode_j0j1_tx_msg(trace_len, (const uint8_t *)text, frame) != 0;
  print_hex("frame", frame, trace_len);
  failures += drv_assemble_j0j1_msg(trace_len, frame, pattern) != 0;
  print_hex("transmit", pattern, DRV_J0J1_PATTERN_BYTES);

  for (i = 0; i < DRV_J0J1_PATTERN_BYTES; ++i) {
    received[i] = pattern[(RX_START + i) % DRV_J0J1_PATTERN_BYTES];
  }
  printf("  the receiver catches the pattern from byte %d on:\n", RX_START);
  print_hex("received", received, DRV_J0J1_PATTERN_BYTES);

  failures += drv_decode_j0j1_rx_msg(received, &rx_len, decoded, sizeof decoded) != 0;
  printf("  decoded: trace length %u, text \"%.*s\"\n", (unsigned)rx_len, (int)chars,
         (const char *)decoded);
  failures += rx_len != trace_len;
  failures += memcmp(decoded, text, chars) != 0;
  return failures;
}

int walkthrough_trace(void) {
  uint8_t pattern[DRV_J0J1_PATTERN_BYTES];
  uint8_t received[DRV_J0J1_PATTERN_BYTES];
  uint8_t decoded[DRV_J0J1_PATTERN_BYTES];
  uint32_t rx_len = 0;
  int failures = 0;

  puts("\n== J0/J1 trace");
  failures += send_and_receive("J0", DRV_J0J1_LEN_16, k_j0_text, DRV_J0J1_TEXT16_CHARS);
  failures += send_and_receive("J1", DRV_J0J1_LEN_64, k_j1_text, DRV_J0J1_TEXT64_CHARS);

  /* An unconfigured port receives nothing but zero bytes: one byte repeated. */
  memset(received, 0, sizeof received);
  failures += drv_decode_j0j1_rx_msg(received, &rx_len, decoded, sizeof decoded) != 0;
  printf("all-zero received pattern: trace length %u (one repeated byte 0x%02x)\n",
         (unsigned)rx_len, decoded[0]);
  failures += rx_len != DRV_J0J1_LEN_BYTE;

  fputs("a trace length other than 0, 1, 16 or 64 is refused: ", stdout);
  failures += drv_assemble_j0j1_msg(2, (const uint8_t *)k_j0_text, pattern) != -1;
  putchar('\n');
  return failures;
}
