/* The line card's register table, written with the packing macros. */
#include "line_card_chip.h"

#include <chip_util/sim.h>

const hdk_reg_info lc_mac_regs[LC_MAC_REG_NUM] = {
    HDK_REG32_FIELD(0x00, 0, 1),
    HDK_REG32_FIELD(0x00, 4, 3),
    HDK_REG32_WHOLE(0x04),
    /* offset, reg_bytes, start_bit, field_bits, elem_num, stride, flags */
    HDK_REG_INFO(0x10, 4, 8, 3, 8, 4, 0),
    HDK_REG_INFO(0x40, 4, 0, 1, 64, 1, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x50, 4, 0, 4, 1, 0, HDK_REG_WRITE_ONLY),
};

const hdk_reg_info lc_phy_regs[LC_PHY_REG_NUM] = {
    HDK_REG16_FIELD(0x0, 12, 4),
    HDK_REG16_WHOLE(0x2),
    HDK_REG_INFO(0x10, 2, 0, 4, 8, 4, HDK_REG_BIT_INDEXED),
};

static const hdk_reg_inst k_mac_insts[] = {
    {0x1000, 0, 0, LC_MAC_REG_NUM, lc_mac_regs},
    {0x2000, 0, 0, LC_MAC_REG_NUM, lc_mac_regs},
};

static const hdk_reg_inst k_phy_insts[] = {
    {0x100, 0, 0, LC_PHY_REG_NUM, lc_phy_regs},
    {0x200, 0, 0, LC_PHY_REG_NUM, lc_phy_regs},
    {0x300, 0, 0, LC_PHY_REG_NUM, lc_phy_regs},
    {0x400, 0, 0, LC_PHY_REG_NUM, lc_phy_regs},
};

/* Both modules use the first (and only) set of access functions. */
static const hdk_reg_module k_modules[LC_MODULE_NUM] = {
    {0, 2, k_mac_insts, 0, 0},
    {0, 4, k_phy_insts, 0, 0},
};

static hdk_chip_reg_table k_table = {0, LC_MODULE_NUM, k_modules, {0, 0, 0, 0, 0},
                                     &chip_sim_reg_ops};

int32_t lc_register_table(void) { return hdk_register_reg(LC_DEV, &k_table); }

hdk_chip_reg_table *lc_table(void) { return &k_table; }
