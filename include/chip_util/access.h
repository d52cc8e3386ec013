// SPDX-License-Identifier: Apache-2.0
/* Access by name that honours the access kinds of a register map.
 *
 * A chip_map_target (map.h: chip_map_find, chip_map_find_addr) names one
 * register or field of a table registered for a device. The calls below
 * read and write it through the library's field functions, and refuse or
 * adapt what the access kind of the target and of its neighbours in the
 * same register forbid:
 *   - a write to a read-only or read-clears target is refused;
 *   - a field write in a register holding write-1-to-clear or
 *     write-1-to-set bits writes 0 there, and 1 to write-0-to-clear bits,
 *     instead of writing back what it read, so a read-modify-write never
 *     clears an interrupt status by accident (the target's own bits take
 *     the value given);
 *   - a field write in a register with a read-clears field is refused: its
 *     read would clear that field (write the whole register instead);
 *   - a read of a write-only target is refused.
 * chip_access_read_effect says what reading a register would do, so that a
 * dump can leave write-only and read-clears registers alone.
 *
 * Only 16- and 32-bit registers are reached. Refusals return -1 and log one
 * line through hdk_debug at level 1:
 *   "\r\n<function>(<dev>, <INSTANCE.REGISTER[.FIELD]>): <reason>"
 * and make no access. Otherwise the result is that of the field functions
 * (register.h): their refusals (-1 with their messages) or the OR of the
 * access functions' statuses. Like them, no lock: two writers of one
 * register must be serialised by the caller. */
#ifndef CHIP_UTIL_ACCESS_H
#define CHIP_UTIL_ACCESS_H

#include <stdint.h>

#include "chip_util/export.h"
#include "chip_util/map.h"

CHIP_UTIL_BEGIN_DECLS

/* What reading the register that holds a target would do. */
#define CHIP_ACCESS_READ_HARMLESS 0u
#define CHIP_ACCESS_READ_WRITE_ONLY 1u  /* the target or its register is write-only */
#define CHIP_ACCESS_READ_CLEARS 2u      /* the register, or a field of it, clears on read */

/* CHIP_ACCESS_READ_HARMLESS, _WRITE_ONLY or _CLEARS for `target`; a null
 * target or one without its module gives CHIP_ACCESS_READ_WRITE_ONLY (not
 * to be read). Reads only the name records. */
CHIP_UTIL_API uint32_t chip_access_read_effect(const chip_map_target *target);

/* Reads the register or field `target` names on device `dev` into *value
 * (a field right-aligned). Refused: a null pointer, a write-only target, a
 * register other than 16 or 32 bits. A read-clears register is read (and
 * so cleared) when asked for by name: only dumps leave it alone. */
CHIP_UTIL_API int32_t chip_access_read(uint32_t dev, const chip_map_target *target,
                                       uint32_t *value);

/* Writes `value` to the register or field `target` names on device `dev`.
 * A whole register: one write of `value`. A field: a field write through
 * the library, or, where neighbours need it (see above), a read of the
 * whole register, the merge, and one write of the whole register.
 * When that read fails, its status is returned and nothing is written.
 * Refused: a null target, a read-only or read-clears target, a value wider
 * than the field or register, a register other than 16 or 32 bits, a field
 * write in a register with a read-clears field. */
CHIP_UTIL_API int32_t chip_access_write(uint32_t dev, const chip_map_target *target,
                                        uint32_t value);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_ACCESS_H */
