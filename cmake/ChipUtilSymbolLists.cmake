# SPDX-License-Identifier: Apache-2.0
# Reads the exported-symbol lists (tests/abi/symbols/*.txt): one name per
# line, lines starting with # are comments. A list whose first line is
# `# node <BASE>.<minor>` (for example `# node CHIP_UTIL_1.1`) puts its
# names into that version node; every other list's names go into the base
# node BASE (CHIP_UTIL_1). Both the linker version scripts and the ABI
# tests read the lists through these functions, so they cannot disagree.
# Usable from project code and from cmake -P scripts.
cmake_policy(VERSION 3.25)

# chip_util_read_symbol_list(FILE BASE_NODE OUT_NODE OUT_NAMES)
# An empty BASE_NODE reads the names without checking the node.
function(chip_util_read_symbol_list list_file base_node out_node out_names)
  file(STRINGS "${list_file}" lines)
  set(node "${base_node}")
  set(names "")
  set(first TRUE)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(first AND line MATCHES "^#[ \t]*node[ \t]+([^ \t]+)$")
      set(node "${CMAKE_MATCH_1}")
      string(REPLACE "." "\\." base_pattern "${base_node}")
      if(base_node AND NOT node MATCHES "^${base_pattern}\\.[1-9][0-9]*$")
        message(FATAL_ERROR "${list_file}: version node '${node}' is not ${base_node}.<minor> "
                            "(a later node of this library and major version)")
      endif()
    elseif(line AND NOT line MATCHES "^#")
      list(APPEND names "${line}")
    endif()
    set(first FALSE)
  endforeach()
  set(${out_node} "${node}" PARENT_SCOPE)
  set(${out_names} "${names}" PARENT_SCOPE)
endfunction()

# chip_util_symbol_nodes(PREFIX BASE_NODE LISTS...)
# Sets PREFIX_NODES to the version nodes in order, BASE_NODE first, then by
# minor version (each inherits the one before it), and PREFIX_NAMES_<node>
# to the names of each node.
function(chip_util_symbol_nodes prefix base_node)
  set(nodes "")
  foreach(list_file IN LISTS ARGN)
    chip_util_read_symbol_list("${list_file}" "${base_node}" node names)
    list(APPEND nodes "${node}")
    list(APPEND names_${node} ${names})
  endforeach()
  list(REMOVE_DUPLICATES nodes)
  list(REMOVE_ITEM nodes "${base_node}")
  list(SORT nodes COMPARE NATURAL)
  list(PREPEND nodes "${base_node}")
  foreach(node IN LISTS nodes)
    set(${prefix}_NAMES_${node} "${names_${node}}" PARENT_SCOPE)
  endforeach()
  set(${prefix}_NODES "${nodes}" PARENT_SCOPE)
endfunction()
