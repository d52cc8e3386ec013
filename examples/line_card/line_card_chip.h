/* SPDX-License-Identifier: Apache-2.0 */
/* The made-up line-card chip: its register table, generated at build time
 * from the register map lc7.json (lc7_map.h: LC7_MAC1, LC7_MAC_CTRL_SPEED,
 * ...), shared by every step of the walkthrough, and the simulated chip it
 * runs on. */
#ifndef LINE_CARD_CHIP_H
#define LINE_CARD_CHIP_H

#include <chip_util/chip_util.h>

#include "lc7_map.h"

/* The device number the walkthrough drives. */
enum { LC_DEV = 2 };

/* Registers the line card's generated table for LC_DEV; both of its buses
 * are served by the simulated chip. Returns hdk_register_reg's result. */
int32_t lc_register_table(void);

/* The table itself, for drivers that register it their own way (the C++
 * walkthrough registers it for the lifetime of an object). */
hdk_chip_reg_table *lc_table(void);

#endif
