/* The made-up line-card chip: its register table, shared by every step of
 * the walkthrough, and the simulated chip it runs on. */
#ifndef LINE_CARD_CHIP_H
#define LINE_CARD_CHIP_H

#include <chip_util/chip_util.h>

/* The device number the walkthrough drives. */
enum { LC_DEV = 2 };

/* Modules: the MAC (32-bit registers, two instances) and the PHY (16-bit
 * registers, four instances). */
enum { LC_MODULE_MAC = 0, LC_MODULE_PHY = 1, LC_MODULE_NUM = 2 };

/* MAC registers, in the order of their records. */
enum {
  LC_MAC_PORT_ENABLE,   /* bit 0 of register 0x00 */
  LC_MAC_SPEED,         /* bits 4-6 of register 0x00 */
  LC_MAC_FRAME_COUNT,   /* the whole register 0x04 */
  LC_MAC_VLAN_PRIO,     /* 8 ports, bits 8-10 of registers 0x10, 0x14, ... 0x2C */
  LC_MAC_LANE_LOOPBACK, /* 64 lanes, one bit each, over registers 0x40 and 0x44 */
  LC_MAC_TX_TRIGGER,    /* bits 0-3 of the write-only command register 0x50 */
  LC_MAC_REG_NUM
};

/* PHY registers. */
enum {
  LC_PHY_MODE,    /* bits 12-15 of register 0x0 */
  LC_PHY_STATUS,  /* the whole register 0x2 */
  LC_PHY_LANE_EQ, /* 8 lanes, 4 bits each, over registers 0x10 and 0x12 */
  LC_PHY_REG_NUM
};

extern const hdk_reg_info lc_mac_regs[LC_MAC_REG_NUM];
extern const hdk_reg_info lc_phy_regs[LC_PHY_REG_NUM];

/* Registers the line card's table for LC_DEV; its access functions are
 * those of the simulated chip. Returns hdk_register_reg's result. */
int32_t lc_register_table(void);

/* The table itself, for drivers that register it their own way (the C++
 * walkthrough registers it for the lifetime of an object). */
hdk_chip_reg_table *lc_table(void);

#endif
