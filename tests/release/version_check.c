// SPDX-License-Identifier: Apache-2.0
/* The version a driver sees, three ways: the header macros, the running
 * library's answer and the project version CMake passes in
 * (CHIP_UTIL_PROJECT_VERSION). All must agree, and the encoded numbers
 * must order versions as a driver's "library older than my headers" test
 * expects. Compiled as C99, as drivers are. */
#include <stdio.h>
#include <string.h>

#include <chip_util/chip_util.h>

static int failures;

static void check(int ok, const char *what) {
  if (!ok) {
    printf("FAIL: %s\n", what);
    ++failures;
  }
}

int main(void) {
  char from_fields[32];
  snprintf(from_fields, sizeof from_fields, "%d.%d.%d", CHIP_UTIL_VERSION_MAJOR,
           CHIP_UTIL_VERSION_MINOR, CHIP_UTIL_VERSION_PATCH);
  check(strcmp(CHIP_UTIL_VERSION_STRING, CHIP_UTIL_PROJECT_VERSION) == 0,
        "CHIP_UTIL_VERSION_STRING is the project version");
  check(strcmp(from_fields, CHIP_UTIL_PROJECT_VERSION) == 0,
        "MAJOR.MINOR.PATCH spell the project version");
  check(strcmp(chip_util_version_string(), CHIP_UTIL_VERSION_STRING) == 0,
        "chip_util_version_string() is the headers' version");
  check(chip_util_version() == CHIP_UTIL_VERSION, "chip_util_version() is CHIP_UTIL_VERSION");
  check(CHIP_UTIL_VERSION ==
            (((uint32_t)CHIP_UTIL_VERSION_MAJOR << 16) | ((uint32_t)CHIP_UTIL_VERSION_MINOR << 8) |
             (uint32_t)CHIP_UTIL_VERSION_PATCH),
        "CHIP_UTIL_VERSION is 0xMMmmpp");
  check(CHIP_UTIL_VERSION_ENCODE(1, 9, 255) < CHIP_UTIL_VERSION_ENCODE(1, 10, 0) &&
            CHIP_UTIL_VERSION_ENCODE(1, 255, 255) < CHIP_UTIL_VERSION_ENCODE(2, 0, 0),
        "encoded versions order by minor before patch and major before minor");
  if (failures == 0) {
    printf("version %s agrees: headers, library and project\n", chip_util_version_string());
  }
  return failures == 0 ? 0 : 1;
}
