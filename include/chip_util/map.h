// SPDX-License-Identifier: Apache-2.0
/* Names of a register table: what a register map generates beside the
 * table itself, so that tools and logs speak in names.
 *
 * `chiputil map gen` (or the in-memory table builder of the map tools)
 * writes, for a chip, the register table and one chip_map_names record
 * that names every module, record and instance of it. The lookups below
 * turn a name ("MAC1.CTRL.SPEED", "MAC1.VLAN_PRI[5].PRI", "MAC1.CTRL")
 * or an address into everything an access needs: the instance index, the
 * reg_id and element to pass to the field functions, the record, the
 * register address and bits the element reaches, the access kind and the
 * masks for a safe read-modify-write. Nothing here depends on a device
 * number or touches hardware.
 *
 * All records are plain const data, laid out as below; the lookups only
 * read them and the register table they point to. No allocation, no lock,
 * no state: every function may run on any number of threads at once. */
#ifndef CHIP_UTIL_MAP_H
#define CHIP_UTIL_MAP_H

#include <stddef.h>
#include <stdint.h>

#include "chip_util/export.h"
#include "chip_util/register.h"

CHIP_UTIL_BEGIN_DECLS

/* Access kinds, as stored in the access_type of every generated record.
 * A write-only register has access_type 7, so the field writes of the
 * library never read it first. */
#define CHIP_MAP_ACCESS_RW 0u   /* read-write */
#define CHIP_MAP_ACCESS_RO 1u   /* read-only */
#define CHIP_MAP_ACCESS_RCLR 2u /* read-only; a read clears it */
#define CHIP_MAP_ACCESS_W1C 3u  /* readable; writing 1 clears a bit */
#define CHIP_MAP_ACCESS_W1S 4u  /* readable; writing 1 sets a bit */
#define CHIP_MAP_ACCESS_W0C 5u  /* readable; writing 0 clears a bit */
#define CHIP_MAP_ACCESS_WO 7u   /* write-only */

/* One enumerated value of a field. */
typedef struct chip_map_enum {
  const char *name;
  uint64_t value;
} chip_map_enum;

/* The names of one hdk_reg_info record; a module's chip_map_record array
 * runs parallel to the regs array of its instances (same index).
 *
 * Every register has one whole-register record (field NULL) and one
 * record per field. For the whole-register record of a 2- or 4-byte
 * register, rmw_zero holds the bits of its write-1-to-clear and
 * write-1-to-set fields and rmw_one those of its write-0-to-clear fields:
 * a read-modify-write of one field must write the rmw_zero bits as 0 and
 * the rmw_one bits as 1, or it clears (or sets) them by writing back what
 * it read. For a bit-indexed field array the masks are the union over its
 * elements' positions in their registers. Both are 0 on every other
 * record; a field record finds them through `whole`. */
typedef struct chip_map_record {
  const char *reg;   /* register name */
  const char *field; /* field name; NULL for the whole-register record */
  uint32_t access;   /* CHIP_MAP_ACCESS_*, equal to the record's access_type */
  uint32_t whole;    /* register index of this register's whole-register record */
  uint64_t reset;    /* reset value (its low 64 bits when wider) */
  /* A reset value wider than 64 bits as a field buffer (ceil(bits / 32)
   * words, most significant word first), or NULL. */
  const uint32_t *reset_words;
  uint32_t rmw_zero;
  uint32_t rmw_one;
  uint32_t enum_num;
  const chip_map_enum *enums;
} chip_map_record;

/* The names of one module of the table (same index). A block type whose
 * instances use one bus is one module named like the block type; one
 * whose instances use several buses is one module per bus, named
 * "<block>_<bus>". */
typedef struct chip_map_module {
  const char *name;
  const char *block; /* the block type's name */
  uint32_t record_num;
  const chip_map_record *records;
} chip_map_module;

/* One instance: its name (unique in the chip), base address, and where it
 * sits in the table (module index, and instance index within the module:
 * the `inst` argument of the field functions). */
typedef struct chip_map_instance {
  const char *name;
  uint32_t base_addr;
  uint32_t module;
  uint32_t inst;
} chip_map_instance;

/* The root of a chip's names. `table` is the register table they name;
 * module_num equals table->module_num. buses[i] is the bus served by
 * table->ops_table[i]. */
typedef struct chip_map_names {
  const char *chip;
  uint32_t bus_num;
  const char *const *buses;
  hdk_chip_reg_table *table;
  uint32_t module_num;
  const chip_map_module *modules;
  uint32_t instance_num;
  const chip_map_instance *instances;
} chip_map_names;

/* Everything an access to one element of one record needs, whatever the
 * device. `addr`, `start_bit` and `field_bits` say which register the
 * element lies in and which of its bits it covers, computed exactly as the
 * field functions compute them (a bit-indexed element past the register
 * carries into the following registers of a 2- or 4-byte register, and
 * wraps inside a wider register's image; 2-byte registers use 16-bit
 * addresses). A whole-register record covers bits 0 to 8 * reg_bytes - 1.
 * whole_reg_id and whole_elem name the whole-register record and element
 * of the register that holds the element; rmw_zero and rmw_one are its
 * masks (see chip_map_record). */
typedef struct chip_map_target {
  const chip_map_instance *instance;
  const chip_map_module *module;
  const chip_map_record *names;
  const hdk_reg_info *record;
  uint32_t inst; /* instance index within the module */
  uint32_t reg_id;
  uint32_t elem;
  uint32_t whole_reg_id;
  uint32_t whole_elem;
  uint32_t addr;
  uint32_t start_bit;
  uint32_t field_bits;
  uint32_t reg_bytes;
  uint32_t access;
  uint32_t rmw_zero;
  uint32_t rmw_one;
} chip_map_target;

/* Results of the lookups. */
#define CHIP_MAP_FOUND 0
#define CHIP_MAP_BAD_ARGUMENT (-1)   /* a null pointer, or a malformed name */
#define CHIP_MAP_NO_INSTANCE (-2)    /* no instance of that name / at that address */
#define CHIP_MAP_NO_REGISTER (-3)    /* the instance's block has no such register */
#define CHIP_MAP_NO_FIELD (-4)       /* the register has no such field */
#define CHIP_MAP_BAD_ELEMENT (-5)    /* element missing, out of range, or not an array */
#define CHIP_MAP_INCONSISTENT (-6)   /* the names and the table disagree */

/* Finds "INSTANCE.REGISTER" or "INSTANCE.REGISTER.FIELD", where an array
 * register takes "[n]" after REGISTER and a field array "[n]" after FIELD
 * (decimal or 0x hex). "MAC1.CTRL" names the whole-register record; an
 * array register named without "[n]" is refused with CHIP_MAP_BAD_ELEMENT,
 * as is an index on something that is not an array. Names compare exactly
 * (case matters). Fills *target and returns CHIP_MAP_FOUND, or returns one
 * of the codes above with *target untouched. Never reads past the name's
 * terminating NUL. */
CHIP_UTIL_API int32_t chip_map_find(const chip_map_names *names, const char *name,
                                    chip_map_target *target);

/* Finds the register that holds byte address `addr`: the whole-register
 * record and element of the first instance, in the order of
 * names->instances, one of whose registers covers addr (a register of
 * reg_bytes bytes covers reg_bytes addresses). Fills *target (start_bit 0,
 * field_bits 8 * reg_bytes) and returns CHIP_MAP_FOUND, or
 * CHIP_MAP_NO_INSTANCE when no register covers addr, CHIP_MAP_BAD_ARGUMENT
 * for a null pointer, CHIP_MAP_INCONSISTENT when the names and the table
 * disagree. *target is untouched unless found. */
CHIP_UTIL_API int32_t chip_map_find_addr(const chip_map_names *names, uint32_t addr,
                                         chip_map_target *target);

/* Fills *target for (module, inst, reg_id, elem) as chip_map_find would for
 * the name chip_map_name_of gives them, without a search by name: the
 * way to walk every register of a large map. The module index comes from
 * reg_id. Returns CHIP_MAP_FOUND, or CHIP_MAP_BAD_ARGUMENT for a null
 * pointer, CHIP_MAP_NO_INSTANCE when no instance sits at (module, inst),
 * CHIP_MAP_BAD_ELEMENT for an element past the record's count,
 * CHIP_MAP_INCONSISTENT for a record index the names or the table lack.
 * *target is untouched unless found. */
CHIP_UTIL_API int32_t chip_map_target_of(const chip_map_names *names, uint32_t inst,
                                         uint32_t reg_id, uint32_t elem,
                                         chip_map_target *target);

/* Writes the name of (module, inst, reg_id, elem), as chip_map_find reads
 * it ("MAC1.VLAN_PRI[5].PRI"), into buf (size bytes, NUL-terminated; "[n]"
 * only on arrays). Returns the length of the full name, as snprintf does
 * (a result >= size means it was cut), or a negative CHIP_MAP_* code when
 * the indexes name nothing (buf then holds "" when size > 0). The module
 * index comes from reg_id. */
CHIP_UTIL_API int32_t chip_map_name_of(const chip_map_names *names, uint32_t inst,
                                       uint32_t reg_id, uint32_t elem, char *buf, size_t size);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_MAP_H */
