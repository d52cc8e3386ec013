# SPDX-License-Identifier: Apache-2.0
# chiputil's manual page, built from the tool's own help (see
# chiputil_manual.cmake) each time the tool or its examples change, and its
# bash completion. Included from the top-level CMakeLists.txt when the tool
# is built; sets CHIP_UTIL_MANUAL_PAGE, CHIP_UTIL_MANUAL_EXAMPLES and
# CHIP_UTIL_COMPLETION_FILE for the install rules and the tests.
include(ChipUtilRelease)

set(CHIP_UTIL_MANUAL_PAGE ${PROJECT_BINARY_DIR}/man/chiputil.1)
set(CHIP_UTIL_MANUAL_EXAMPLES ${PROJECT_SOURCE_DIR}/docs/chiputil-examples.txt)
set(CHIP_UTIL_COMPLETION_FILE ${PROJECT_SOURCE_DIR}/packaging/bash-completion/chiputil)

# gzip -n: no name or time stamp in the header, so that the same page
# compresses to the same bytes (reproducible packages).
add_custom_command(OUTPUT ${CHIP_UTIL_MANUAL_PAGE} ${CHIP_UTIL_MANUAL_PAGE}.gz
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:chiputil> -DEXAMPLES=${CHIP_UTIL_MANUAL_EXAMPLES}
          -DVERSION=${PROJECT_VERSION} -DDATE=${CHIP_UTIL_RELEASE_DATE}
          -DOUTPUT=${CHIP_UTIL_MANUAL_PAGE}
          -P ${PROJECT_SOURCE_DIR}/cmake/chiputil_manual.cmake
  COMMAND sh -c "gzip -9n -c '${CHIP_UTIL_MANUAL_PAGE}' > '${CHIP_UTIL_MANUAL_PAGE}.gz'"
  DEPENDS chiputil ${CHIP_UTIL_MANUAL_EXAMPLES}
          ${PROJECT_SOURCE_DIR}/cmake/chiputil_manual.cmake
          ${PROJECT_SOURCE_DIR}/cmake/ChipUtilToolHelp.cmake
  COMMENT "Writing the manual page chiputil(1) from chiputil --help"
  VERBATIM)
add_custom_target(chiputil_manual ALL DEPENDS ${CHIP_UTIL_MANUAL_PAGE}.gz)
