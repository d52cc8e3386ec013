# SPDX-License-Identifier: Apache-2.0
# Checks that every C name the object files OBJECTS (comma separated) give
# public visibility is listed in LISTS. The shared library exports only the
# listed names, so a function marked for export but missing from the lists
# would silently stay internal; this check finds it. Mangled C++ names are
# left out: the interface is C, and the standard library's template
# instantiations are public in the objects but local in the library.
include(${CMAKE_CURRENT_LIST_DIR}/symbol_lists.cmake)
chip_util_read_symbol_lists(listed "${LISTS}")

string(REPLACE "," ";" objects "${OBJECTS}")
set(public "")
foreach(object IN LISTS objects)
  execute_process(COMMAND "${READELF}" --syms --wide "${object}"
    OUTPUT_VARIABLE readelf_output RESULT_VARIABLE readelf_result)
  if(NOT readelf_result EQUAL 0)
    message(FATAL_ERROR "readelf failed on ${object}")
  endif()
  string(REPLACE "\n" ";" lines "${readelf_output}")
  foreach(line IN LISTS lines)
    # Num: Value Size Type Bind Vis Ndx Name
    if(line MATCHES "^ *[0-9]+: [0-9a-fA-F]+ +[0-9]+ +[A-Z_]+ +(GLOBAL|WEAK|UNIQUE) +(DEFAULT|PROTECTED) +([A-Z0-9]+) +([^ ]+)$")
      set(section "${CMAKE_MATCH_3}")
      set(name "${CMAKE_MATCH_4}")
      chip_util_is_toolchain_symbol(from_toolchain "${name}")
      if(NOT section STREQUAL "UND" AND NOT name MATCHES "^_Z" AND NOT from_toolchain)
        list(APPEND public "${name}")
      endif()
    endif()
  endforeach()
endforeach()

list(REMOVE_DUPLICATES public)
set(unlisted ${public})
list(REMOVE_ITEM unlisted ${listed})
if(unlisted)
  list(JOIN unlisted " " unlisted_text)
  message(FATAL_ERROR "public in the objects but not listed (so not exported): ${unlisted_text}")
endif()
list(LENGTH public count)
message(STATUS "${count} public C names in the objects, all listed")
