/* SPDX-License-Identifier: Apache-2.0 */
/* Register tables, the chip registry and register field access.
 *
 * A driver describes each chip's registers in a register table: a root
 * record, an array of modules, an array of instances per module and an
 * array of register records per instance. It registers the table once per
 * chip id; from then on it names a field by device number, instance index,
 * register identifier and element index, and the library validates every
 * index against the table before it calls the driver's access functions.
 * Every refusal is logged through hdk_debug at level 1 (see log.h).
 *
 * The library keeps pointers only: tables and access functions stay owned
 * by the driver and must stay valid and unchanged while registered.
 * Registration for a device must be complete before any thread accesses
 * that device; after that, every function here may run on any number of
 * threads at once. No function here allocates memory on success or takes
 * a lock. */
#ifndef CHIP_UTIL_REGISTER_H
#define CHIP_UTIL_REGISTER_H

#include <stdint.h>

#include "chip_util/export.h"

CHIP_UTIL_BEGIN_DECLS

/* Number of device numbers and of chip ids: both run from 0 to 319. */
#define HDK_MAX_DEV_NUM 320u
#define HDK_MAX_CHIP_NUM 320u

/* ---- Register identifier ------------------------------------------------ */

/* Bits 22-31: module index; bits 0-21: register index. */
#define HDK_REG_ID(module, reg) \
  (CHIP_UTIL_U32(((CHIP_UTIL_U32(module)) << 22) | ((CHIP_UTIL_U32(reg)) & 0x3FFFFFu)))
#define HDK_REG_ID_MODULE(reg_id) (CHIP_UTIL_U32(reg_id) >> 22)
#define HDK_REG_ID_INDEX(reg_id) (CHIP_UTIL_U32(reg_id) & 0x3FFFFFu)

/* ---- Records --------------------------------------------------------------
 * Plain records in the order the drivers lay them out; every comparison
 * against a count is unsigned. A null array counts as empty. */

/* Register access functions; each returns a status, 0 for success. The
 * device number passed is that of the access, never the chip id. */
typedef int32_t (*hdk_read16_func)(uint32_t dev, uint16_t addr, uint16_t *value);
typedef int32_t (*hdk_write16_func)(uint32_t dev, uint16_t addr, uint16_t value);
typedef int32_t (*hdk_read32_func)(uint32_t dev, uint32_t addr, uint32_t *value);
typedef int32_t (*hdk_write32_func)(uint32_t dev, uint32_t addr, uint32_t value);

typedef struct hdk_reg_ops {
  hdk_read16_func read16;
  hdk_write16_func write16;
  hdk_read32_func read32;
  hdk_write32_func write32;
} hdk_reg_ops;

/* The register record: seven 32-bit words, read with shifts and masks so
 * that the layout is the same on every host. Build them with the
 * HDK_REG_* macros below.
 *   loc:   bit 0 bit_indexed, bit 1 whole_reg, bits 2-31 offset
 *   step:  bits 0-24 stride (signed), bits 25-31 access_type
 *   shape: bits 0-21 elem_num, bits 22-31 reg_bytes
 *   field: bits 4-17 field_bits, bits 18-31 start_bit
 * The words user0, user4's bits 0-3, user5 and user6 belong to the driver. */
typedef struct hdk_reg_info {
  uint32_t user0;
  uint32_t loc;
  uint32_t step;
  uint32_t shape;
  uint32_t field;
  uint32_t user5;
  uint32_t user6;
} hdk_reg_info;

typedef struct hdk_reg_inst {
  uint32_t base_addr; /* a register's address is base_addr + offset */
  uint32_t user1;
  uint32_t user2;
  uint32_t reg_num; /* number of records in regs */
  const hdk_reg_info *regs;
} hdk_reg_inst;

typedef struct hdk_reg_module {
  uint32_t user0;
  uint32_t inst_num; /* number of records in insts */
  const hdk_reg_inst *insts;
  uint32_t user3;
  uint32_t ops_index; /* index into the chip table's ops_table */
} hdk_reg_module;

typedef struct hdk_chip_reg_table {
  uint32_t chip_id; /* written by hdk_register_reg, never read */
  uint32_t module_num; /* number of records in modules */
  const hdk_reg_module *modules;
  uint32_t user[5];
  const hdk_reg_ops *ops_table; /* indexed by a module's ops_index */
} hdk_chip_reg_table;

/* Maps a device number to the chip id whose table serves it. Called on
 * every access, several times per access: it must always give the same
 * answer for one device. */
typedef uint32_t (*hdk_chip_id_resolver)(uint32_t dev);

/* ---- Packing macros for hdk_reg_info --------------------------------------
 * Usable in C static initialisers and C++ constant expressions. Values are
 * masked to their bit widths. */

#define HDK_REG_BIT_INDEXED 0x1u /* stride counts bits, not address units */
#define HDK_REG_WHOLE 0x2u       /* the record is a whole register */
/* access_type 7 or 8: field writes do not read the register first. */
#define HDK_REG_ACCESS_TYPE(type) (((CHIP_UTIL_U32(type)) & 0x7Fu) << 25)
#define HDK_REG_WRITE_ONLY HDK_REG_ACCESS_TYPE(7)

#define HDK_REG_LOC(offset, flags) \
  (((CHIP_UTIL_U32(offset)) << 2) | ((CHIP_UTIL_U32(flags)) & 0x3u))
#define HDK_REG_STEP(stride, flags) \
  (((CHIP_UTIL_U32(stride)) & 0x1FFFFFFu) | ((CHIP_UTIL_U32(flags)) & 0xFE000000u))
#define HDK_REG_SHAPE(elem_num, reg_bytes) \
  (((CHIP_UTIL_U32(elem_num)) & 0x3FFFFFu) | (((CHIP_UTIL_U32(reg_bytes)) & 0x3FFu) << 22))
#define HDK_REG_FIELD_POS(start_bit, field_bits) \
  ((((CHIP_UTIL_U32(start_bit)) & 0x3FFFu) << 18) | (((CHIP_UTIL_U32(field_bits)) & 0x3FFFu) << 4))

/* A full register record. `flags` is any OR of HDK_REG_BIT_INDEXED,
 * HDK_REG_WHOLE and HDK_REG_ACCESS_TYPE(t); `stride` may be negative. */
#define HDK_REG_INFO(offset, reg_bytes, start_bit, field_bits, elem_num, stride, flags) \
  { 0u, HDK_REG_LOC(offset, flags), HDK_REG_STEP(stride, flags),                     \
    HDK_REG_SHAPE(elem_num, reg_bytes), HDK_REG_FIELD_POS(start_bit, field_bits), 0u, 0u }

/* Common shapes: one field of a 32- or 16-bit register, and a whole one. */
#define HDK_REG32_FIELD(offset, start_bit, field_bits) \
  HDK_REG_INFO(offset, 4, start_bit, field_bits, 1, 0, 0)
#define HDK_REG16_FIELD(offset, start_bit, field_bits) \
  HDK_REG_INFO(offset, 2, start_bit, field_bits, 1, 0, 0)
#define HDK_REG32_WHOLE(offset) HDK_REG_INFO(offset, 4, 0, 32, 1, 0, HDK_REG_WHOLE)
#define HDK_REG16_WHOLE(offset) HDK_REG_INFO(offset, 2, 0, 16, 1, 0, HDK_REG_WHOLE)

/* ---- Registries -------------------------------------------------------- */

/* Resolver per device number; null means "chip id = device number". */
CHIP_UTIL_API extern hdk_chip_id_resolver g_hdk_regm_chip_cfg[HDK_MAX_DEV_NUM];
/* Register table per chip id; null means "no table". */
CHIP_UTIL_API extern hdk_chip_reg_table *g_hdk_chip_reg[HDK_MAX_CHIP_NUM];

/* Stores `resolver` (null restores the identity mapping) for `dev`.
 * A device number of 320 or more is ignored: nothing is stored. */
CHIP_UTIL_API void hdk_register_reg_chip_id(uint32_t dev, hdk_chip_id_resolver resolver);

/* The chip id of `dev`: the registered resolver's answer (not checked), or
 * `dev` itself. A device number of 320 or more is given back unchanged
 * without reading any slot, so every later check refuses it. */
CHIP_UTIL_API uint32_t hdk_get_reg_chip_id(uint32_t dev);

/* Files `table` under the chip id of `dev` (replacing an earlier table of
 * that chip id) and writes the chip id into table->chip_id.
 * Returns 0; 1 for a device number above 319; -1 for a null table or a
 * resolved chip id of 320 or more. Refusals store nothing, and the first
 * two are decided before the resolver is called. The table's contents are
 * not examined here. */
CHIP_UTIL_API int32_t hdk_register_reg(uint32_t dev, hdk_chip_reg_table *table);

/* The register record that (dev, inst, reg_id) names, or null when any
 * index is out of range or no table is registered. Prints nothing; the
 * element index plays no part. */
CHIP_UTIL_API const hdk_reg_info *hdk_get_reg_info(uint32_t dev, uint32_t inst, uint32_t reg_id);

/* Walks the table of `dev` and checks the module, instance, register and
 * element indexes, in that order. On success stores the three records
 * through the out-parameters (each may be null to skip it) and returns 0.
 * A chip id of 320 or more, or a chip without a table: -1, no message.
 * An index out of range: -1 after logging, at level 1,
 *   "\r\n<name>(dev, inst, 0x<reg_id>, elem) error code 0x<code>."
 * with code 0x2 (module), 0x4 (instance), 0x8 (register) or 0x10
 * (element); only the first failing test is reported. Out-parameters are
 * written only on success. */
CHIP_UTIL_API int32_t hdk_para_chk_and_get_module(const char *name, uint32_t dev, uint32_t inst,
                                                  uint32_t reg_id, uint32_t elem,
                                                  const hdk_reg_module **module,
                                                  const hdk_reg_inst **instance,
                                                  const hdk_reg_info **reg);

/* ---- Field access on 32-bit and 16-bit registers ------------------------
 *
 * Each call names one field by device number, instance index, reg_id and
 * element index, and runs these steps; the first that fails decides the
 * result, and a refused call has called no access function and stored
 * nothing:
 *   1. The chip id is resolved once (one resolver call per access), and the
 *      table is checked exactly as hdk_para_chk_and_get_module does, under
 *      the function's name string: -1, with that check's message where it
 *      prints one. The access functions come from the table so checked.
 *   2. reg_bytes must be 4 (32-bit functions) or 2 (16-bit functions):
 *      otherwise -1 and, at level 1,
 *        "\r\n<name>(dev, inst, 0x<reg_id>, elem) error code 0xffffffff."
 *      except hdk_write_reg32_field, which logs
 *        "\r\n<name>(dev, inst, 0x<reg_id>, elem)fail".
 *   3. A null value or register-value pointer: -1, no message.
 *   4. Field writes check the value: below 2^field_bits, or -1 and
 *        "\r\n<name>(dev, inst, 0x<reg_id>, elem, value) error code 0xffffffff."
 * Name strings: "hdk_read_reg32_field", "hdk-write-reg32-field" (hyphens),
 * "hdk_set_reg_field32", "hdk_read_reg16_field", "hdk_write_reg16_field".
 *
 * Whole-register access applies when whole_reg is set or field_bits equals
 * the register width: element i is at base_addr + offset + stride * i, the
 * caller's pointer or value goes to the access function unchanged, and any
 * value is accepted. Otherwise element 0 is the field as stored; for another
 * element, stride * i steps the address (bit_indexed clear) or the bit
 * position (bit_indexed set), a position past the register carrying into
 * the following registers. Address and bit-position arithmetic wraps
 * modulo 2^32 for 32-bit registers and modulo 2^16 for 16-bit ones.
 *
 * Further refusals, for tables that break the consistency rules: -1 and the
 * error-code message with code 0xffffffff, before any access function is
 * called. The access-function checks come right after steps 2-3, the field
 * checks after step 4; hdk_set_reg_field32 applies the field checks too.
 *   - a field that does not lie inside one register at the located element:
 *     field_bits above the register width, a start bit at or past it (at
 *     element 0, or without bit indexing), or effective start bit plus
 *     field_bits above it;
 *   - a bit-indexed element whose bit position falls below bit 0 (negative
 *     stride) in a field read or write: it is never wrapped to some far
 *     register (hdk_set_reg_field32 has no address to step, so there the
 *     position simply wraps modulo 32 inside the caller's word);
 *   - no ops_table in the chip's table, or a null access function where one
 *     is needed (a field write of access type 7 or 8 needs no read function).
 *     An ops_index past the end of ops_table cannot be detected.
 *
 * No call allocates memory or takes a lock unless it logs a refusal. */

/* Reads one field of a 32-bit register into *value (right-aligned). Result:
 * -1 when refused, otherwise the status of read32. A field read stores the
 * field even when read32 fails (from a word that starts as 0); a whole
 * register read hands `value` itself to read32. */
CHIP_UTIL_API int32_t hdk_read_reg32_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                           uint32_t elem, uint32_t *value);

/* Writes one field of a 32-bit register: read32, merge, write32 at the same
 * address. Access types 7 and 8 skip the read and write the other bits as 0.
 * The write is issued even when the read fails. Result: -1 when refused,
 * otherwise the read status OR the write32 status. Nothing locks the
 * register between the read and the write. */
CHIP_UTIL_API int32_t hdk_write_reg32_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                            uint32_t elem, uint32_t value);

/* Merges a field value into *reg_value, a copy of a whole 32-bit register
 * that the caller holds; no access function is called and the element only
 * moves the start bit of a bit-indexed field (the caller chose the word).
 * A 32-bit field stores the value whole. Result: 0, or -1 when refused;
 * a record with whole_reg set is refused without a message. */
CHIP_UTIL_API int32_t hdk_set_reg_field32(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                          uint32_t elem, uint32_t *reg_value, uint32_t value);

/* The 16-bit twins of hdk_read_reg32_field and hdk_write_reg32_field,
 * through read16 and write16, with 16-bit addresses (modulo 2^16). */
CHIP_UTIL_API int32_t hdk_read_reg16_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                           uint32_t elem, uint16_t *value);
CHIP_UTIL_API int32_t hdk_write_reg16_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                            uint32_t elem, uint16_t value);

/* ---- Wide fields and register images --------------------------------------
 * Registers of any width (up to the 1023 bytes a record can describe) are
 * worked on in memory: the driver brings the register's value into a
 * register image by its own means, and the functions below move a field out
 * of it or into it. Nothing here touches hardware or calls hdk_reg_ops.
 *
 * Register image: ceil(reg_bytes / 4) words of 32 bits, most significant
 * word first. The last word holds register bits 0-31, the one before it
 * bits 32-63, and so on; when reg_bytes is not a multiple of 4 the first
 * word holds the remaining high bits in its low-order part.
 * Field buffer: ceil(field_bits / 32) words laid out the same way; the
 * first word holds the top field_bits % 32 bits (when not 0) in its
 * low-order part, and its bits above the field are 0.
 * Buffer sizes are the caller's responsibility; these functions never read
 * or write more than ceil(reg_bytes / 4) image words and ceil(field_bits /
 * 32) field words, and work 32 bits at a time, so their cost grows with the
 * field width, not with the register width. No allocation, no lock. */

/* Copies the field_bits-wide field whose bit 0 is register bit start_bit
 * out of reg_image into field. Reads only image words that hold bits of the
 * field and writes exactly ceil(field_bits / 32) field words, the bits above
 * the field in the first word set to 0. Full words are not masked.
 * Does nothing at all (field left untouched) when field_bits is 0, when the
 * field does not lie within the register (start_bit + field_bits above
 * 8 * reg_bytes), or when either pointer is null. */
CHIP_UTIL_API void hdk_get_field_info(uint32_t start_bit, uint32_t field_bits,
                                      uint32_t reg_bytes, const uint32_t *reg_image,
                                      uint32_t *field);

/* Writes field into the field_bits-wide field at register bit start_bit of
 * reg_image, 32 bits at a time from the least significant word of field.
 * Every register bit outside the field keeps its value.
 * When field_bits is not a multiple of 32, the top chunk (the first word of
 * field, holding n = field_bits % 32 bits) must have no bit at or above
 * bit n set: if it has, that chunk is not written while the full 32-bit
 * chunks below it already have been. A field_bits that is a multiple of 32
 * is never refused.
 * Does nothing at all (image untouched) when field_bits is 0, when the
 * field does not lie within the register (start_bit + field_bits above
 * 8 * reg_bytes), or when either pointer is null. */
CHIP_UTIL_API void hdk_set_field_info(uint32_t start_bit, uint32_t field_bits,
                                      uint32_t reg_bytes, uint32_t *reg_image,
                                      const uint32_t *field);

/* Reads (direction 0) or writes (any other direction) the field that
 * (dev, inst, reg_id, elem) names, on a register image in memory.
 * In this order:
 *  1. hdk_para_chk_and_get_module("hdk_access_reg_field", ...) must pass;
 *     otherwise -1 (the check logs its message where it logs one).
 *  2. A null reg_image or field gives -1 without a message. Neither buffer
 *     is touched before these two checks pass.
 *  3. A whole-register record copies reg_bytes bytes with memcpy_s, with
 *     reg_bytes as the destination capacity: image to field on a read,
 *     field to image on a write. 0 when memcpy_s succeeds, else -1: a
 *     reg_bytes of 0 gives -1 with nothing copied, and overlapping buffers
 *     give -1 after memcpy_s has cleared the destination's reg_bytes bytes.
 *     The element index is not used.
 *  4. Otherwise the field begins at the record's start_bit; for a
 *     bit-indexed record at (stride * elem + start_bit) mod (8 * reg_bytes),
 *     in unsigned 32-bit arithmetic with the stride sign-extended, so the
 *     position wraps within this one register image. Without the
 *     bit-indexed flag the element index is not used.
 *  5. hdk_get_field_info or hdk_set_field_info on the two buffers; 0.
 *     A write whose top partial chunk has bits above the field still
 *     returns 0 (see hdk_set_field_info).
 * Records no consistent table holds are refused with -1, without a message
 * and with both buffers untouched: a field_bits of 0, a bit-indexed record
 * with a reg_bytes of 0, and a field (at its element's position) reaching
 * above bit 8 * reg_bytes - 1. */
CHIP_UTIL_API int32_t hdk_access_reg_field(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                           uint32_t elem, uint32_t *reg_image, uint32_t *field,
                                           uint32_t direction);

/* ---- Value translation tables -----------------------------------------------
 * A caller-owned array of value pairs that translates between two codings
 * in both directions (for example a line-rate code and a rate in Mbit/s).
 * The pair count is passed with every call. Both look-ups scan linearly from
 * the first pair, compare all 32 bits, and stop at the first match, so where
 * several pairs match the one nearest the start wins. The table is only
 * read; no state, no lock, no allocation, nothing printed. */
typedef struct hdk_trans_pair {
  uint32_t m0;
  uint32_t m1;
} hdk_trans_pair;

/* Finds `value` among the m0 members and stores that pair's m1 in *result.
 * Returns 0 when found, 1 when not (result untouched). A count of 0 gives 1
 * without reading the table; so does a null table, whatever the count.
 * A null result turns the call into a membership test: 0 or 1 as above,
 * nothing stored. */
CHIP_UTIL_API int32_t hdk_struct_trans_m0tom1(const hdk_trans_pair *table, uint32_t count,
                                              uint32_t value, uint32_t *result);

/* The reverse look-up: finds `value` among the m1 members and stores that
 * pair's m0. Results and refusals as for hdk_struct_trans_m0tom1. */
CHIP_UTIL_API int32_t hdk_struct_trans_m1tom0(const hdk_trans_pair *table, uint32_t count,
                                              uint32_t value, uint32_t *result);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_REGISTER_H */
