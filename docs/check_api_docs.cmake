# SPDX-License-Identifier: Apache-2.0
# Runs Doxygen on DOXYFILE and fails when an exported function has no
# documentation, or when Doxygen reports a broken comment group (the input
# filter would then have lost documentation). Other undocumented names
# (macros, types, members) are counted, and listed in the warnings log.
#   cmake -DDOXYGEN=... -DDOXYFILE=... -DLOG=<WARN_LOGFILE>
#         [-DEXPECT_UNDOCUMENTED=a,b] -P check_api_docs.cmake
# With EXPECT_UNDOCUMENTED the check passes exactly when those functions,
# and no others, are reported: the check's own test.
file(REMOVE "${LOG}")
execute_process(COMMAND "${DOXYGEN}" "${DOXYFILE}" RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS "${LOG}")
  message(FATAL_ERROR "doxygen ${DOXYFILE} failed (${result})")
endif()
file(STRINGS "${LOG}" warnings)
set(undocumented "")
set(where "")
set(broken "")
set(others 0)
foreach(warning IN LISTS warnings)
  if(warning MATCHES "^([^ ]+): warning: Member ([A-Za-z_][A-Za-z0-9_:]*)\\(.*\\(function\\) of .* is not documented")
    list(APPEND undocumented "${CMAKE_MATCH_2}")
    list(APPEND where "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
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
  string(REPLACE "," ";" expected "${EXPECT_UNDOCUMENTED}")
  list(SORT expected)
  list(SORT undocumented)
  if(NOT undocumented STREQUAL expected)
    message(FATAL_ERROR "reported as undocumented: '${undocumented}', expected '${expected}'")
  endif()
  message(STATUS "exactly the undocumented functions reported: ${undocumented}")
  return()
endif()
if(undocumented)
  list(JOIN where "\n  " text)
  message(FATAL_ERROR "exported functions without a contract comment directly above them:\n"
                      "  ${text}")
endif()
message(STATUS "every exported function documented (${others} other undocumented names: ${LOG})")
