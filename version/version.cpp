// SPDX-License-Identifier: Apache-2.0
// The library's own version, compiled in from the same generated header the
// drivers include, so that header and library can be compared at run time.
#include "chip_util/version.h"

extern "C" {

uint32_t chip_util_version(void) { return CHIP_UTIL_VERSION; }

const char *chip_util_version_string(void) { return CHIP_UTIL_VERSION_STRING; }

}  // extern "C"
