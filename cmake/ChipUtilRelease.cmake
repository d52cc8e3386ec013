# SPDX-License-Identifier: Apache-2.0
include_guard(GLOBAL)
# The release this build is, as CHANGELOG.md records it: the section
# "## [<project version>] - <date>", or "## [Unreleased]" (dated today, or
# SOURCE_DATE_EPOCH) while the version has no section yet. Sets
#   CHIP_UTIL_RELEASE_DATE   yyyy-mm-dd, for the manual page
#   CHIP_UTIL_RELEASE_NOTES  the section's "- " items, one list entry each,
#                            with ; [ and ] encoded (a CMake list would
#                            split or join items on them): decode them with
#                            chip_util_release_decode()
set(CHIP_UTIL_CHANGELOG ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CHIP_UTIL_CHANGELOG})

string(ASCII 1 chip_util_semicolon)
string(ASCII 2 chip_util_open_bracket)
string(ASCII 3 chip_util_close_bracket)

# chip_util_release_decode(VAR): ; [ and ] back in the text of VAR.
function(chip_util_release_decode var)
  set(text "${${var}}")
  string(REPLACE "${chip_util_semicolon}" ";" text "${text}")
  string(REPLACE "${chip_util_open_bracket}" "[" text "${text}")
  string(REPLACE "${chip_util_close_bracket}" "]" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

file(READ ${CHIP_UTIL_CHANGELOG} chip_util_changelog)
string(REPLACE ";" "${chip_util_semicolon}" chip_util_changelog "${chip_util_changelog}")
string(REPLACE "[" "${chip_util_open_bracket}" chip_util_changelog "${chip_util_changelog}")
string(REPLACE "]" "${chip_util_close_bracket}" chip_util_changelog "${chip_util_changelog}")
string(REPLACE "\n" ";" chip_util_changelog_lines "${chip_util_changelog}")
string(REPLACE "." "\\." chip_util_version_pattern "${PROJECT_VERSION}")
set(chip_util_heading "## ${chip_util_open_bracket}${chip_util_version_pattern}${chip_util_close_bracket} - ")
if(NOT chip_util_changelog MATCHES "\n${chip_util_heading}")
  message(STATUS "CHANGELOG.md has no section for ${PROJECT_VERSION}: the release notes are "
                 "those of Unreleased")
  set(chip_util_heading "## ${chip_util_open_bracket}Unreleased${chip_util_close_bracket}")
endif()

string(TIMESTAMP CHIP_UTIL_RELEASE_DATE "%Y-%m-%d" UTC)
set(CHIP_UTIL_RELEASE_NOTES "")
set(chip_util_in_section FALSE)
foreach(chip_util_line IN LISTS chip_util_changelog_lines)
  if(chip_util_line MATCHES "^${chip_util_heading}")
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
