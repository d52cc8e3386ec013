/* An example driver for a made-up line-card chip, run against a simulated
 * register bank: the tour a new driver engineer takes through the library. */
#include <stdio.h>

#include "walkthrough.h"

int main(void) {
  int failures = 0;
  puts("line-card walkthrough");
  failures += walkthrough_registry();
  failures += walkthrough_fields();
  printf("\n%s\n", failures == 0 ? "walkthrough complete" : "walkthrough FAILED");
  return failures == 0 ? 0 : 1;
}
