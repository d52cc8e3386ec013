# SPDX-License-Identifier: Apache-2.0
# Shared by the ABI check scripts.

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/ChipUtilSymbolLists.cmake)

# chip_util_read_symbol_lists(OUT LISTS): the names listed in the files of
# LISTS (comma separated), whatever their version node.
function(chip_util_read_symbol_lists out lists)
  string(REPLACE "," ";" list_files "${lists}")
  set(names "")
  foreach(list_file IN LISTS list_files)
    chip_util_read_symbol_list("${list_file}" "" node list_names)
    list(APPEND names ${list_names})
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# chip_util_is_toolchain_symbol(OUT NAME): whether NAME is one the toolchain
# itself adds (sanitizer runtimes, coverage, linker markers) rather than
# one of the library's own.
function(chip_util_is_toolchain_symbol out name)
  if(name MATCHES "^(_init|_fini|__bss_start|_edata|_end)$"
     OR name MATCHES "^__(asan|ubsan|lsan|tsan|sanitizer|sancov|gcov|llvm|odr_asan)")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()
