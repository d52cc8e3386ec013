/* SPDX-License-Identifier: Apache-2.0 */
/* Symbol visibility for the exported C interface.
 *
 * The libraries are built with hidden visibility by default; only functions
 * and globals marked with these macros appear in the dynamic symbol table. */
#ifndef CHIP_UTIL_EXPORT_H
#define CHIP_UTIL_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define CHIP_UTIL_API __attribute__((visibility("default")))
#define CHIP_BOUNDS_API __attribute__((visibility("default")))
#else
#define CHIP_UTIL_API
#define CHIP_BOUNDS_API
#endif

#ifdef __cplusplus
#define CHIP_UTIL_BEGIN_DECLS extern "C" {
#define CHIP_UTIL_END_DECLS }
#else
#define CHIP_UTIL_BEGIN_DECLS
#define CHIP_UTIL_END_DECLS
#endif

/* A conversion to uint32_t in the public macros: a C cast in C, a
 * static_cast in C++, so that drivers built with -Wold-style-cast see no
 * warning from a macro they expand. */
#ifdef __cplusplus
#define CHIP_UTIL_U32(x) static_cast<uint32_t>(x)
#else
#define CHIP_UTIL_U32(x) ((uint32_t)(x))
#endif

/* printf-style format checking for variadic log functions. */
#if defined(__GNUC__) || defined(__clang__)
#define CHIP_UTIL_PRINTF(fmt_index, first_arg) \
  __attribute__((format(printf, fmt_index, first_arg)))
#else
#define CHIP_UTIL_PRINTF(fmt_index, first_arg)
#endif

#endif /* CHIP_UTIL_EXPORT_H */
