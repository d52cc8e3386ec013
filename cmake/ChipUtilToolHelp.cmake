# SPDX-License-Identifier: Apache-2.0
# Reads chiputil's own help, so that the manual page, the shell completion
# and their tests follow the commands the tool has without being edited.
cmake_policy(VERSION 3.25)

# chip_util_tool_help(OUT TOOL ARGS...): the standard output of `TOOL
# ARGS...`, which must succeed and print something.
function(chip_util_tool_help out tool)
  execute_process(COMMAND "${tool}" ${ARGN} RESULT_VARIABLE result
                  OUTPUT_VARIABLE text ERROR_VARIABLE error)
  if(NOT result EQUAL 0 OR text STREQUAL "")
    list(JOIN ARGN " " args)
    message(FATAL_ERROR "'chiputil ${args}' failed (${result}) or printed nothing: ${error}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# chip_util_tool_commands(OUT HELP_TEXT): the command names of the
# "commands:" block of the main help, in order, each once. A command line
# is indented by exactly two blanks ("  j0 encode ..."); its continuation
# lines are indented further.
function(chip_util_tool_commands out help_text)
  string(REPLACE ";" "\\;" help_text "${help_text}")
  string(REPLACE "\n" ";" lines "${help_text}")
  set(in_block FALSE)
  set(commands "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^commands:")
      set(in_block TRUE)
    elseif(line STREQUAL "")
      set(in_block FALSE)
    elseif(in_block AND line MATCHES "^  ([a-z][a-z0-9_-]*)")
      list(APPEND commands "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES commands)
  if(commands STREQUAL "")
    message(FATAL_ERROR "no 'commands:' block with commands in chiputil's help")
  endif()
  set(${out} "${commands}" PARENT_SCOPE)
endfunction()
