/* SPDX-License-Identifier: Apache-2.0 */
/* The whole walkthrough, step by step. */
#include <stdio.h>

#include "walkthrough.h"

int line_card_walkthrough(void) {
  int failures = 0;
  puts("line-card walkthrough");
  failures += walkthrough_registry();
  failures += walkthrough_fields();
  failures += walkthrough_wide();
  failures += walkthrough_trace();
  failures += walkthrough_fmea();
  failures += walkthrough_osal();
  printf("\n%s\n", failures == 0 ? "walkthrough complete" : "walkthrough FAILED");
  fflush(stdout);
  return failures;
}
