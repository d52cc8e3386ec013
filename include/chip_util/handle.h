// SPDX-License-Identifier: Apache-2.0
/* Prepared field handles, merged writes, polling and unregistering a table.
 *
 * The hdk_ field functions of register.h validate the whole path on every
 * call. A driver that touches the same field again and again prepares a
 * handle once instead: chip_field_prepare32 / chip_field_prepare16 run the
 * same checks, with the same refusals and log lines, and fill a small plain
 * record with what the access needs (access functions, device number,
 * address, shift, mask, width, whether a write reads first). Reads and
 * writes through the handle then do only the bus access.
 *
 * Validity: a handle is a copy, not a reference. It stays right while the
 * table it was prepared from stays registered and unchanged. After
 * chip_unregister_reg, a replacing hdk_register_reg, a new resolver for the
 * device or a change of the table's records, prepare the handle again: the
 * old one still calls the access functions it copied.
 *
 * Results: every function returns a chip_status that keeps a refusal apart
 * from a bus error. `result` is CHIP_OK, CHIP_REFUSED (nothing was called,
 * nothing stored), CHIP_BUS_ERROR (an access function returned non-zero) or
 * CHIP_TIMEOUT (polling only); `bus` is the OR of the statuses of the access
 * functions called, 0 when none failed or none was called.
 *
 * No function here allocates memory on success or takes a lock; the only
 * allocation is inside hdk_debug when a refusal is logged. Two writers of
 * one register must be serialised by the caller, as for the hdk_ writes. */
#ifndef CHIP_UTIL_HANDLE_H
#define CHIP_UTIL_HANDLE_H

#include <stdint.h>

#include "chip_util/export.h"
#include "chip_util/register.h"

CHIP_UTIL_BEGIN_DECLS

/* chip_status.result values. */
#define CHIP_OK 0
#define CHIP_REFUSED 1
#define CHIP_BUS_ERROR 2
#define CHIP_TIMEOUT 3

typedef struct chip_status {
  int32_t result; /* CHIP_OK, CHIP_REFUSED, CHIP_BUS_ERROR or CHIP_TIMEOUT */
  int32_t bus;    /* OR of the access functions' statuses */
} chip_status;

/* chip_field32.flags / chip_field16.flags */
#define CHIP_FIELD_READS_FIRST 0x1u /* a write reads the register first */
#define CHIP_FIELD_WHOLE 0x2u       /* the register as a whole word */

/* One element of a field of a 32-bit register, located. For a whole
 * register mask is 0xFFFFFFFF, shift 0 and width 32. dev, inst, reg_id and
 * elem are kept for refusal messages only. Fill it with
 * chip_field_prepare32; the members are public so that an inline layer (the
 * C++ header) can do the access itself, but a hand-made record is never
 * checked. */
typedef struct chip_field32 {
  hdk_read32_func read;
  hdk_write32_func write;
  uint32_t dev;
  uint32_t addr;
  uint32_t mask;  /* the field's bits in the register */
  uint8_t shift;  /* the field's lowest bit (effective start bit) */
  uint8_t width;  /* field bits */
  uint8_t flags;  /* CHIP_FIELD_READS_FIRST, CHIP_FIELD_WHOLE */
  uint8_t reserved;
  uint32_t inst;
  uint32_t reg_id;
  uint32_t elem;
} chip_field32;

/* The same for a 16-bit register: 16-bit address (wrapped modulo 2^16 as
 * the hdk_ functions wrap it) and mask. */
typedef struct chip_field16 {
  hdk_read16_func read;
  hdk_write16_func write;
  uint32_t dev;
  uint16_t addr;
  uint16_t mask;
  uint8_t shift;
  uint8_t width;
  uint8_t flags;
  uint8_t reserved;
  uint32_t inst;
  uint32_t reg_id;
  uint32_t elem;
} chip_field16;

/* ---- Preparing ------------------------------------------------------------
 * Validates (dev, inst, reg_id, elem) once, in the order of the hdk_ field
 * functions, and fills *field. Refusals return CHIP_REFUSED, leave *field
 * untouched and log what the field functions log, under the name
 * "chip_field_prepare32" / "chip_field_prepare16" (so that the log tells
 * which call refused):
 *   - the parameter check (codes 0x2, 0x4, 0x8, 0x10; silent for a chip id
 *     of 320 or more or a chip without a table);
 *   - reg_bytes not 4 (or 2): "\r\n<name>(dev, inst, 0x<reg_id>, elem)
 *     error code 0xffffffff.";
 *   - a null `field`: no message;
 *   - a field that does not lie inside one register at this element, a
 *     bit-indexed element below bit 0, no ops_table, or a null read or
 *     write function of this width: the error-code message as above.
 *     Stricter than the field functions on one point: a handle needs both
 *     access functions even where one kind of access would not use one.
 * Whole-register access applies, as in the field functions, when whole_reg
 * is set or field_bits equals the register width. The chip id is resolved
 * once; the resolver is not called again through the handle. */
CHIP_UTIL_API chip_status chip_field_prepare32(chip_field32 *field, uint32_t dev, uint32_t inst,
                                               uint32_t reg_id, uint32_t elem);
CHIP_UTIL_API chip_status chip_field_prepare16(chip_field16 *field, uint32_t dev, uint32_t inst,
                                               uint32_t reg_id, uint32_t elem);

/* ---- Reading and writing through a handle ---------------------------------
 * A null handle or value pointer, or a handle never prepared (null access
 * functions, as a zeroed record or one a refused prepare left alone has):
 * CHIP_REFUSED, no message, nothing called. (A read looks at the read
 * function only, a write at both.)
 *
 * Read: one read call. A field read stores the field of the word read
 * (which starts as 0, so a failing read that stores nothing gives 0); a
 * whole-register read hands `value` itself to the access function, exactly
 * as the field functions do. CHIP_BUS_ERROR with the status when it fails.
 *
 * Write: the value must fit the field (below 2^width), otherwise
 * CHIP_REFUSED and "\r\nchip_field_write32(dev, inst, 0x<reg_id>, elem,
 * value) error code 0xffffffff." (the 16-bit name for the 16-bit call).
 * Then, as hdk_write_reg32_field: read (when CHIP_FIELD_READS_FIRST),
 * merge, write to the same address; the write is issued even when the read
 * fails, and bus is the OR of both statuses.
 *
 * Strict write: the same, except that a failed read stops it: no write is
 * issued, CHIP_BUS_ERROR with the read's status. Use it where writing back
 * a word that was never read would clobber the other fields. */
CHIP_UTIL_API chip_status chip_field_read32(const chip_field32 *field, uint32_t *value);
CHIP_UTIL_API chip_status chip_field_write32(const chip_field32 *field, uint32_t value);
CHIP_UTIL_API chip_status chip_field_write32_strict(const chip_field32 *field, uint32_t value);
CHIP_UTIL_API chip_status chip_field_read16(const chip_field16 *field, uint16_t *value);
CHIP_UTIL_API chip_status chip_field_write16(const chip_field16 *field, uint16_t value);
CHIP_UTIL_API chip_status chip_field_write16_strict(const chip_field16 *field, uint16_t value);

/* ---- Merged writes ----------------------------------------------------------
 * Writes values[i] into fields[i] for i below count with one read (when any
 * of the fields reads first) and one write of the register. Always strict:
 * a failed read issues no write. Refused (CHIP_REFUSED, nothing called):
 *   - a null array, a count of 0, or fields[0] null or never prepared: no
 *     message;
 * then field by field, the first failure deciding:
 *   - a null entry: no message;
 *   - a field on another device, register address or access functions
 *     than fields[0], a whole-register handle, or a field whose bits
 *     overlap an earlier one's: "\r\nchip_field_write32_merged(dev, inst,
 *     0x<reg_id>, elem) error code 0xffffffff." naming that field;
 *   - a value too wide for its field: the value message of
 *     chip_field_write32, under the name "chip_field_write32_merged".
 * (The 16-bit call logs "chip_field_write16_merged".)
 * Bits of the register outside every field keep the value read (or 0 when
 * no field reads first). */
CHIP_UTIL_API chip_status chip_field_write32_merged(const chip_field32 *const *fields,
                                                    const uint32_t *values, uint32_t count);
CHIP_UTIL_API chip_status chip_field_write16_merged(const chip_field16 *const *fields,
                                                    const uint16_t *values, uint32_t count);

/* ---- Polling ----------------------------------------------------------------
 * The clock and the wait that polling uses. A null chip_poll_clock, or a
 * null member, means the OS layer's: hdk_time_usecs and osal_usleep. A
 * driver can hand in a simulated clock (or a test a recording one). */
typedef struct chip_poll_clock {
  uint64_t (*now_us)(void *context);
  void (*sleep_us)(void *context, uint32_t us);
  void *context;
} chip_poll_clock;

/* Reads the field until it equals `expected`: read; if equal, CHIP_OK; if
 * the read failed, CHIP_BUS_ERROR at once; if timeout_us have passed since
 * the first read began, CHIP_TIMEOUT; else sleep interval_us and read
 * again. So the last read is made after the timeout has passed, a timeout
 * of 0 reads once, and the sleep between reads is exactly interval_us
 * (0 reads back to back). *last (when not null) receives every value read,
 * so it holds the last one on return. Refused (CHIP_REFUSED, no message,
 * nothing read) for a null or never prepared handle or a value that does
 * not fit the field. */
CHIP_UTIL_API chip_status chip_field_poll32(const chip_field32 *field, uint32_t expected,
                                            uint32_t interval_us, uint32_t timeout_us,
                                            const chip_poll_clock *clock, uint32_t *last);
CHIP_UTIL_API chip_status chip_field_poll16(const chip_field16 *field, uint16_t expected,
                                            uint32_t interval_us, uint32_t timeout_us,
                                            const chip_poll_clock *clock, uint16_t *last);

/* ---- Unregistering ----------------------------------------------------------
 * Removes `table` from the chip id that `dev` resolves to: the slot becomes
 * empty and later accesses of that chip id are refused silently, as for a
 * chip that never had a table. Returns 0 when removed; 1 for a device
 * number above 319; -1, changing nothing, when the resolved chip id is 320
 * or more, `table` is null, or the slot holds another table (so a late
 * unregistration never removes a table registered after it). The table
 * itself is not written. Like registration, it must not run while another
 * thread accesses that chip. */
CHIP_UTIL_API int32_t chip_unregister_reg(uint32_t dev, const hdk_chip_reg_table *table);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_HANDLE_H */
