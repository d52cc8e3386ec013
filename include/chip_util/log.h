/* SPDX-License-Identifier: Apache-2.0 */
/* Plain heap wrappers and log output.
 *
 * Log text goes to a replaceable print function (standard output's printf
 * by default) or, for hdk_log_to_file, to an output function of the
 * caller's choosing. Each printed message is formatted in a heap buffer of
 * its own that is released before the call returns; no log state lives
 * between calls and no lock is taken. */
#ifndef CHIP_UTIL_LOG_H
#define CHIP_UTIL_LOG_H

#include <stdint.h>
#include <stdio.h>

#include "chip_util/export.h"

CHIP_UTIL_BEGIN_DECLS

/* Print function: the calling shape of printf. Its result is ignored. */
typedef int (*hdk_printf_func)(const char *format, ...);

/* Output function of hdk_log_to_file: the calling shape of fprintf, so that
 * fprintf itself can be passed with a stream as the context. The library
 * hands the context through unchanged and never dereferences it, so any
 * pointer the output function understands may be passed (cast to FILE *). */
typedef int (*hdk_log_output_func)(FILE *context, const char *format, ...);

/* A slot kept for the drivers; the library stores it and never calls it. */
typedef void (*hdk_private_log_func)(void);

/* Where hdk_debug prints; holds printf from load time, null silences it. */
CHIP_UTIL_API extern hdk_printf_func g_hdk_printf_func;
/* Set by hdk_private_log_func_register; never read by the library. */
CHIP_UTIL_API extern hdk_private_log_func g_hdk_private_log_func;

/* A block of `size` bytes from malloc, or null. A size of 0 gives null
 * without calling malloc. */
CHIP_UTIL_API void *hdk_malloc(uint32_t size);

/* Releases a block from hdk_malloc or hdk_malloc_zero; null is ignored. */
CHIP_UTIL_API void hdk_free(void *block);

/* As hdk_malloc, with the block filled with zero bytes. */
CHIP_UTIL_API void *hdk_malloc_zero(uint32_t size);

/* The part of `path` after its last '/' or '\\': a pointer into `path`
 * itself (`path` when it holds no separator, its terminating zero when it
 * ends in one), or the constant "<null>" for a null path. Copies nothing. */
CHIP_UTIL_API const char *hdk_file_name_cut(const char *path);

/* `level` AND 3: non-zero means a message of that level is printed. The
 * device number plays no part. */
CHIP_UTIL_API int32_t hdk_log_level_check(uint32_t dev, uint32_t level);

/* Formats the message (at most 512 characters) and hands it to
 * g_hdk_printf_func as ("%s", text). Adds no prefix and no line end.
 * A level whose two low bits are 0 returns at once, before any allocation.
 * A message longer than 512 characters, a null format, a failed allocation
 * or a null print function: nothing is printed. Never prints part of a
 * message. */
CHIP_UTIL_API void hdk_debug(uint32_t dev, uint32_t level, const char *format, ...)
    CHIP_UTIL_PRINTF(3, 4);

/* Hands output(context, "%s", text) the text "[name dev=N] " followed by
 * the formatted message, 511 characters at most in all. Applies no level
 * filter and adds no line end. A null output function returns at once,
 * before any allocation; a null name prints as "(null)". A text that would
 * pass 511 characters, a null format or a failed allocation: nothing is
 * written. */
CHIP_UTIL_API void hdk_log_to_file(uint32_t dev, FILE *context, hdk_log_output_func output,
                                   const char *name, const char *format, ...)
    CHIP_UTIL_PRINTF(5, 6);

/* Stores `print` (null allowed: it silences hdk_debug) into
 * g_hdk_printf_func; always returns 0. Takes effect with the next message. */
CHIP_UTIL_API int32_t hdk_printf_func_register(hdk_printf_func print);

/* Stores `func` (null allowed) into g_hdk_private_log_func. */
CHIP_UTIL_API void hdk_private_log_func_register(hdk_private_log_func func);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_LOG_H */
