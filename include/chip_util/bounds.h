/* SPDX-License-Identifier: Apache-2.0 */
/* Bounds-checked memory and string functions (libchip_bounds).
 *
 * Every function takes the capacity of its destination in bytes and never
 * writes past it, whatever the other arguments say. A capacity of 0 or above
 * CHIP_BOUNDS_MAX_CAPACITY is refused, as is a null pointer. When a call is
 * refused and the destination is usable (non-null, capacity within range),
 * the destination is cleared as ISO C11 Annex K prescribes for that function,
 * so that no half-written data survives a refusal.
 *
 * Results: 0 for success, EINVAL or ERANGE (from <errno.h>) for a refusal,
 * except for the two formatting functions, which return a character count
 * or -1. */
#ifndef CHIP_UTIL_BOUNDS_H
#define CHIP_UTIL_BOUNDS_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "chip_util/export.h"

CHIP_UTIL_BEGIN_DECLS

/* Largest capacity or count accepted; larger values are taken for a
 * negative number converted to size_t and are refused. */
#define CHIP_BOUNDS_MAX_CAPACITY (SIZE_MAX >> 1)

/* Fills `count` bytes of `dest` with the low byte of `value`.
 * Refuses (EINVAL) a null `dest`, a zero or oversized capacity, and (ERANGE)
 * a `count` above the capacity; in that last case the whole capacity is
 * filled, as Annex K requires, and the result is still ERANGE. The fill is
 * never optimised away. */
CHIP_BOUNDS_API int memset_s(void *dest, size_t capacity, int value, size_t count);

/* Copies `count` bytes from `src` to `dest` and returns 0.
 * Refuses a null pointer, a zero or oversized capacity, a `count` above the
 * capacity and overlapping source and destination regions. A refused copy
 * whose destination is usable leaves its `capacity` bytes all zero. A
 * `count` of 0 copies nothing and succeeds. */
CHIP_BOUNDS_API int memcpy_s(void *dest, size_t capacity, const void *src, size_t count);

/* Copies at most `count` characters of `src` (fewer when its terminating
 * zero comes first) and terminates the copy with a zero byte; returns 0.
 * Refuses a null pointer, a zero or oversized capacity, an oversized count,
 * a copy that would not fit with its terminating zero, and overlapping
 * regions. A count of 0 copies the empty text. A refused
 * copy whose destination is usable gets a zero byte at dest[0]. Never reads
 * `src` past its terminating zero or past `count` characters. */
CHIP_BOUNDS_API int strncpy_s(char *dest, size_t capacity, const char *src, size_t count);

/* Formats into `dest` and returns the number of characters written, not
 * counting the terminating zero. Returns -1, with dest[0] set to zero when
 * `dest` is usable, for a null pointer, a zero or oversized capacity, an
 * encoding error, or a text that does not fit with its terminating zero. */
CHIP_BOUNDS_API int sprintf_s(char *dest, size_t capacity, const char *format, ...)
    CHIP_UTIL_PRINTF(3, 4);

/* Formats at most `max_count` characters into `dest`, then a terminating
 * zero, and returns the number of characters written.
 * `max_count` must be below `capacity` (callers pass capacity - 1).
 * Returns -1 for a null pointer, a zero or oversized capacity, a `max_count`
 * not below the capacity (dest[0] is then set to zero when usable), and an
 * encoding error. A text longer than `max_count` characters is cut there,
 * left zero-terminated in `dest`, and reported with -1: callers that must
 * never show a partial text (the log functions) drop it on -1. */
CHIP_BOUNDS_API int vsnprintf_s(char *dest, size_t capacity, size_t max_count,
                                const char *format, va_list args)
    CHIP_UTIL_PRINTF(4, 0);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_BOUNDS_H */
