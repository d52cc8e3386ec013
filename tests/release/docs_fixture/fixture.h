// SPDX-License-Identifier: Apache-2.0
/* A header written as those of include/chip_util/ are, for the test of the
 * API documentation check: three functions lack a contract comment
 * directly above them (fixture_after_heading, fixture_bare and, in
 * fixture.hpp, fixture_cpp_bare); all others have one. symbols.txt names
 * the C functions as exported, so only the first two fail the check. */
#ifndef FIXTURE_H
#define FIXTURE_H

#include <stdint.h>

CHIP_UTIL_BEGIN_DECLS

/* Documented alone. Returns 0. */
CHIP_UTIL_API int32_t fixture_alone(void);

/* Documented as a pair: both return their argument. */
CHIP_UTIL_API int32_t fixture_pair_a(int32_t x);
CHIP_UTIL_API int32_t fixture_pair_b(int32_t x);

/* ==== A section heading, then a blank line ================================ */

CHIP_UTIL_API int32_t fixture_after_heading(void);

/* A record whose member is documented after it. */
typedef struct fixture_record {
  uint32_t a; /* the member */
  /* Documented above, inside the record. */
  uint32_t b;
} fixture_record;

CHIP_UTIL_API void fixture_bare(fixture_record *record);

/* Text with \xHH, name@host and a `code` span, printed as written. */
CHIP_UTIL_API void fixture_escapes(void);

CHIP_UTIL_END_DECLS

#endif /* FIXTURE_H */
