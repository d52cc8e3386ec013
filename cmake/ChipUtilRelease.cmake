# SPDX-License-Identifier: Apache-2.0
include_guard(GLOBAL)
# The release this build is, as CHANGELOG.md records it: the section
# "## [<project version>] - <date>", or "## [Unreleased]" (dated today, or
# SOURCE_DATE_EPOCH) while the version has no section yet. Sets
#   CHIP_UTIL_RELEASE_DATE   yyyy-mm-dd, for the manual page
#   CHIP_UTIL_RELEASE_NOTES  the section's "- " items, one list entry each
set(CHIP_UTIL_CHANGELOG ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CHIP_UTIL_CHANGELOG})

file(STRINGS ${CHIP_UTIL_CHANGELOG} chip_util_changelog_lines)
string(REPLACE "." "\\." chip_util_version_pattern "${PROJECT_VERSION}")
set(chip_util_heading "^## \\[${chip_util_version_pattern}\\] - ")
if(NOT chip_util_changelog_lines MATCHES "## \\[${chip_util_version_pattern}\\]")
  message(STATUS "CHANGELOG.md has no section for ${PROJECT_VERSION}: the release notes are "
                 "those of Unreleased")
  set(chip_util_heading "^## \\[Unreleased\\]")
endif()

string(TIMESTAMP CHIP_UTIL_RELEASE_DATE "%Y-%m-%d" UTC)
set(CHIP_UTIL_RELEASE_NOTES "")
set(chip_util_in_section FALSE)
foreach(chip_util_line IN LISTS chip_util_changelog_lines)
  if(chip_util_line MATCHES "${chip_util_heading}")
    set(chip_util_in_section TRUE)
    string(REGEX MATCH "[0-9]+-[0-9]+-[0-9]+$" chip_util_date "${chip_util_line}")
    if(chip_util_date)
      set(CHIP_UTIL_RELEASE_DATE "${chip_util_date}")
    endif()
  elseif(chip_util_line MATCHES "^## ")
    set(chip_util_in_section FALSE)
  elseif(chip_util_in_section AND chip_util_line MATCHES "^- (.*)")
    list(APPEND CHIP_UTIL_RELEASE_NOTES "${CMAKE_MATCH_1}")
  elseif(chip_util_in_section AND chip_util_line MATCHES "^  +(.*)" AND CHIP_UTIL_RELEASE_NOTES)
    # A wrapped item continues the last one.
    list(POP_BACK CHIP_UTIL_RELEASE_NOTES chip_util_last)
    list(APPEND CHIP_UTIL_RELEASE_NOTES "${chip_util_last} ${CMAKE_MATCH_1}")
  endif()
endforeach()
