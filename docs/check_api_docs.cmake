# SPDX-License-Identifier: Apache-2.0
# Runs Doxygen on DOXYFILE and fails when an exported function (a name of
# the symbol lists LISTS, comma separated) has no documentation, or when
# Doxygen reports a broken comment group (the input filter would then have
# lost documentation). Other undocumented names (macros, types, members,
# inline C++ helpers) are counted and stay listed in the warnings log.
#   cmake -DDOXYGEN=... -DDOXYFILE=... -DLOG=<WARN_LOGFILE> -DLISTS=...
#         [-DEXPECT_UNDOCUMENTED=a,b -DEXPECT_EXPORTED=a] -P check_api_docs.cmake
# With the EXPECT_ values the check passes exactly when those functions,
# and no others, are reported (all undocumented ones, and the exported ones
# among them): the check's own test.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/ChipUtilSymbolLists.cmake)

set(exported "")
string(REPLACE "," ";" list_files "${LISTS}")
foreach(list_file IN LISTS list_files)
  chip_util_read_symbol_list("${list_file}" "" node names)
  list(APPEND exported ${names})
endforeach()
if(exported STREQUAL "")
  message(FATAL_ERROR "no exported names in the symbol lists '${LISTS}'")
endif()

file(REMOVE "${LOG}")
execute_process(COMMAND "${DOXYGEN}" "${DOXYFILE}" RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS "${LOG}")
  message(FATAL_ERROR "doxygen ${DOXYFILE} failed (${result})")
endif()
file(STRINGS "${LOG}" warnings)
set(undocumented "")
set(undocumented_exported "")
set(where "")
set(broken "")
set(others 0)
foreach(warning IN LISTS warnings)
  if(warning MATCHES "^([^ ]+): warning: Member ([A-Za-z_][A-Za-z0-9_]*)\\(.*\\(function\\) of .* is not documented")
    list(APPEND undocumented "${CMAKE_MATCH_2}")
    if(CMAKE_MATCH_2 IN_LIST exported)
      list(APPEND undocumented_exported "${CMAKE_MATCH_2}")
      list(APPEND where "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
    else()
      math(EXPR others "${others} + 1")
    endif()
  elseif(warning MATCHES "group|grouping")
    list(APPEND broken "${warning}")
  elseif(warning MATCHES "warning:")
    math(EXPR others "${others} + 1")
  endif()
endforeach()

if(broken)
  list(JOIN broken "\n  " text)
  message(FATAL_ERROR "Doxygen could not group the header comments:\n  ${text}")
endif()
if(DEFINED EXPECT_UNDOCUMENTED)
  foreach(kind IN ITEMS UNDOCUMENTED EXPORTED)
    string(REPLACE "," ";" expected "${EXPECT_${kind}}")
    set(got ${undocumented})
    if(kind STREQUAL "EXPORTED")
      set(got ${undocumented_exported})
    endif()
    list(SORT expected)
    list(SORT got)
    if(NOT got STREQUAL expected)
      message(FATAL_ERROR "reported as ${kind}: '${got}', expected '${expected}'")
    endif()
  endforeach()
  message(STATUS "exactly the undocumented functions reported: ${undocumented} "
                 "(exported: ${undocumented_exported})")
  return()
endif()
if(where)
  list(JOIN where "\n  " text)
  message(FATAL_ERROR "exported functions without a contract comment directly above them:\n"
                      "  ${text}")
endif()
list(LENGTH exported count)
message(STATUS "all ${count} exported names checked: every exported function documented "
               "(${others} other undocumented names: ${LOG})")
