# SPDX-License-Identifier: Apache-2.0
# Compares the defined dynamic symbols of LIBRARY with the names listed in
# the files of LISTS (comma separated; one name per line, # comments).
# Symbols the toolchain itself adds (sanitizer runtimes, linker markers)
# are left out.
include(${CMAKE_CURRENT_LIST_DIR}/symbol_lists.cmake)
chip_util_read_symbol_lists(expected "${LISTS}")

execute_process(COMMAND "${NM}" -D --defined-only "${LIBRARY}"
  OUTPUT_VARIABLE nm_output RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" nm_lines "${nm_output}")
set(actual "")
foreach(line IN LISTS nm_lines)
  if(line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ @]+)")
    set(kind "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    chip_util_is_toolchain_symbol(from_toolchain "${name}")
    # Type A entries are the version nodes, not symbols.
    if(kind STREQUAL "A" OR from_toolchain)
      continue()
    endif()
    list(APPEND actual "${name}")
  endif()
endforeach()

set(unexpected ${actual})
list(REMOVE_ITEM unexpected ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
if(unexpected OR missing)
  list(JOIN unexpected " " unexpected_text)
  list(JOIN missing " " missing_text)
  message(FATAL_ERROR "${LIBRARY}\n  exported but not listed: ${unexpected_text}\n"
                      "  listed but not exported: ${missing_text}")
endif()
list(LENGTH actual count)
message(STATUS "${count} exported symbols, all listed")
