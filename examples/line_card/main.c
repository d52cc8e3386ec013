/* SPDX-License-Identifier: Apache-2.0 */
/* An example driver for a made-up line card, run against a simulated
 * register bank: the tour a new driver engineer takes through the library. */
#include "walkthrough.h"

int main(void) { return line_card_walkthrough() == 0 ? 0 : 1; }
