# SPDX-License-Identifier: Apache-2.0
# What users of the libraries see of them: the versioned symbol set of the
# shared libraries and the chip_util:: target names, the same whether the
# project is installed (find_package) or added with add_subdirectory.

# The exported interface of each shared library is listed, one name per
# line, in tests/abi/symbols/*.txt: bounds.txt for libchip_bounds, every other
# file for libchip_util. The same lists feed the ABI tests, so one edit
# declares a symbol everywhere.
set(CHIP_UTIL_SYMBOL_LIST_DIR ${PROJECT_SOURCE_DIR}/tests/abi/symbols)
file(GLOB CHIP_UTIL_SYMBOL_LISTS CONFIGURE_DEPENDS ${CHIP_UTIL_SYMBOL_LIST_DIR}/*.txt)
list(REMOVE_ITEM CHIP_UTIL_SYMBOL_LISTS ${CHIP_UTIL_SYMBOL_LIST_DIR}/bounds.txt)
set(CHIP_BOUNDS_SYMBOL_LISTS ${CHIP_UTIL_SYMBOL_LIST_DIR}/bounds.txt)

include(ChipUtilSymbolLists)

# chip_util_version_script(TARGET BASE_NODE LISTS...)
# Links the shared library TARGET with a version script made from the
# lists: the names of plain lists go into BASE_NODE (the ABI of the first
# release of this major version), those of a list headed `# node
# BASE_NODE.<minor>` into that later node, which inherits the one before
# it. Drivers linked against an older release keep resolving their symbols,
# and a driver that uses a newer function is refused by an older library at
# load time rather than at the call. All else is local: helpers that leak
# out of the objects by accident (template instantiations of the standard
# library default to public visibility) stay internal.
function(chip_util_version_script target base_node)
  set(list_names "")
  foreach(list_file IN LISTS ARGN)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
    get_filename_component(list_name ${list_file} NAME)
    list(APPEND list_names ${list_name})
  endforeach()
  chip_util_symbol_nodes(symbols ${base_node} ${ARGN})
  set(text "")
  set(previous "")
  foreach(node IN LISTS symbols_NODES)
    if(symbols_NAMES_${node} STREQUAL "")
      message(FATAL_ERROR "No exported names listed for ${target} node ${node} in: ${ARGN}")
    endif()
    string(APPEND text "${node} {\n  global:\n")
    foreach(name IN LISTS symbols_NAMES_${node})
      string(APPEND text "    ${name};\n")
    endforeach()
    if(previous STREQUAL "")
      string(APPEND text "  local: *;\n};\n")
    else()
      string(APPEND text "} ${previous};\n")
    endif()
    set(previous ${node})
  endforeach()
  string(REGEX REPLACE "\n$" "" CHIP_UTIL_VERSION_NODES "${text}")
  list(JOIN list_names ", " CHIP_UTIL_VERSION_LISTS)
  set(map_file ${PROJECT_BINARY_DIR}/symbol_versions/${target}.map)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/symbol_version.map.in ${map_file} @ONLY)
  target_link_options(${target} PRIVATE "LINKER:--version-script=${map_file}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map_file})
  set_property(TARGET ${target} PROPERTY CHIP_UTIL_VERSION_NODE ${base_node})
endfunction()

# One node per library and major version: the SONAME changes with the major
# version, and the node name with it.
chip_util_version_script(chip_util CHIP_UTIL_${PROJECT_VERSION_MAJOR} ${CHIP_UTIL_SYMBOL_LISTS})
chip_util_version_script(chip_bounds CHIP_BOUNDS_${PROJECT_VERSION_MAJOR} ${CHIP_BOUNDS_SYMBOL_LISTS})

# chip_util::<name> everywhere: the exported names of the installed package,
# and aliases of the same names for projects that add this one as a
# subdirectory.
set_target_properties(chip_bounds PROPERTIES EXPORT_NAME bounds)
set_target_properties(chip_util_static PROPERTIES EXPORT_NAME chip_util_static)
add_library(chip_util::chip_util ALIAS chip_util)
add_library(chip_util::bounds ALIAS chip_bounds)
add_library(chip_util::chip_util_static ALIAS chip_util_static)
if(TARGET chip_sim)
  set_target_properties(chip_sim PROPERTIES EXPORT_NAME sim)
  add_library(chip_util::sim ALIAS chip_sim)
endif()
