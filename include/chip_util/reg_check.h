// SPDX-License-Identifier: Apache-2.0
/* Consistency check of a hand-written register table.
 *
 * The access functions rely on rules that a table written by hand can
 * break without any access failing at once: a field that runs past its
 * register, a field of no bits, registers that overlap, an ops_index past
 * the ops_table. chip_check_reg_table finds these before the first access,
 * typically in a driver's unit test on the table it registers. */
#ifndef CHIP_UTIL_REG_CHECK_H
#define CHIP_UTIL_REG_CHECK_H

#include <stdint.h>

#include "chip_util/export.h"
#include "chip_util/register.h"

CHIP_UTIL_BEGIN_DECLS

/* Checks `table` and logs every finding through hdk_debug(dev, 1, ...),
 * one message per finding, each beginning with "\r\nchip_check_reg_table: "
 * and naming the module, instance and register index concerned. Returns the
 * number of findings: 0 for a consistent table.
 *
 * `ops_num` is the number of hdk_reg_ops records in table->ops_table (the
 * table carries no count of its own); 0 skips the ops checks, for tables
 * reached only through hdk_access_reg_field.
 *
 * Findings, in this order (messages after the prefix):
 *   table:    "table is null" (the only finding then);
 *             "modules is null but module_num is N";
 *             "module_num N is above the 1024 modules a reg_id can name";
 *             "ops_table is null but ops_num is N";
 *   module M: "module M: ops_index X is not below ops_num N";
 *             "module M: insts is null but inst_num is N";
 *   instance: "module M instance I: regs is null but reg_num is N";
 *   register R of instance I of module M ("module M instance I register R: "
 *   then):
 *             "elem_num is 0, so no element can be accessed";
 *             "reg_bytes is 0";
 *             "field_bits is 0" (bit fields only);
 *             "element E: bit position P lies below bit 0" (a bit-indexed
 *             record with a negative stride; the first such element);
 *             "element E: bits A to B lie past its register of W bits" (the
 *             first element whose field, at its position modulo W, does not
 *             fit);
 *             "elements overlap: stride S is less than reg_bytes B" (an
 *             array stepping by address, whose elements share bytes);
 *             "overlaps register Q" for every earlier record Q of the
 *             instance that shares some bytes with it without being the
 *             same register (same first byte and width). A record occupies
 *             reg_bytes bytes at offset + stride * e for every element e; a
 *             bit-indexed 16- or 32-bit record with several elements every
 *             register from the one its lowest element lies in to the one
 *             its highest element ends in (positions below bit 0 count as
 *             bit 0); any other bit-indexed record its one register.
 * Whole-register records have no field to check. Instances of one module
 * that share their regs array are checked once, under the first of them.
 * reg_bytes other than 2 and 4 are not findings: wide records have any.
 *
 * Never changes the table; allocates nothing except inside hdk_debug when
 * it logs a finding. Takes no lock; it may run while accesses run. */
CHIP_UTIL_API uint32_t chip_check_reg_table(uint32_t dev, const hdk_chip_reg_table *table,
                                            uint32_t ops_num);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_REG_CHECK_H */
