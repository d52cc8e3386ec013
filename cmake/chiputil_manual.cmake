# SPDX-License-Identifier: Apache-2.0
# Writes the manual page chiputil(1) from the tool's own help, run with
#   cmake -DTOOL=<chiputil> -DEXAMPLES=<file> -DVERSION=<x.y.z> -DDATE=<yyyy-mm-dd>
#         -DOUTPUT=<chiputil.1> -P chiputil_manual.cmake
# SYNOPSIS and DESCRIPTION come from `chiputil --help`, one COMMANDS
# subsection per command from `chiputil COMMAND --help`, and EXAMPLES from
# the EXAMPLES file: blocks headed "== COMMAND". A command without examples
# is left out of EXAMPLES; the test release.manual.commands names it.
include(${CMAKE_CURRENT_LIST_DIR}/ChipUtilToolHelp.cmake)

# Help text as roff that keeps its line breaks and alignment: backslashes
# and minus signs escaped, lines that would read as requests guarded.
function(roff_verbatim out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

chip_util_tool_help(main_help "${TOOL}" --help)
chip_util_tool_commands(commands "${main_help}")

# The usage lines open the help; the rest describes the tool.
string(REGEX MATCH "^usage: [^\n]*(\n       [^\n]*)*" usage "${main_help}")
string(LENGTH "${usage}" usage_length)
string(SUBSTRING "${main_help}" ${usage_length} -1 description)
string(REGEX REPLACE "^\n+" "" description "${description}")
string(REGEX REPLACE "(^|\n)(usage:|      ) " "\\1" usage "${usage}")

file(READ "${EXAMPLES}" examples_text)
string(REPLACE ";" "\\;" examples_text "${examples_text}")
string(REPLACE "\n" ";" example_lines "${examples_text}")
set(current "")
foreach(line IN LISTS example_lines)
  if(line MATCHES "^== ([a-z][a-z0-9_-]*)$")
    set(current "${CMAKE_MATCH_1}")
    set(example_${current} "")
  elseif(current AND NOT line MATCHES "^#")
    string(APPEND example_${current} "${line}\n")
  endif()
endforeach()

roff_verbatim(synopsis "${usage}")
roff_verbatim(description "${description}")
set(page [[.\" Generated from chiputil's own help and docs/chiputil-examples.txt by
.\" cmake/chiputil_manual.cmake; edit those, not this file.
]])
string(APPEND page ".TH CHIPUTIL 1 \"${DATE}\" \"chiputil ${VERSION}\" \"User Commands\"\n"
       ".SH NAME\nchiputil \\- chip bring\\-up tasks done by libchip_util\n"
       ".SH SYNOPSIS\n${synopsis}"
       ".SH DESCRIPTION\n${description}"
       ".SH COMMANDS\n")
foreach(command IN LISTS commands)
  chip_util_tool_help(help "${TOOL}" ${command} --help)
  roff_verbatim(help "${help}")
  string(APPEND page ".SS ${command}\n${help}")
endforeach()
string(APPEND page ".SH EXAMPLES\n")
foreach(command IN LISTS commands)
  if(DEFINED example_${command})
    roff_verbatim(example "${example_${command}}")
    string(APPEND page ".SS ${command}\n${example}")
  endif()
endforeach()
string(APPEND page ".SH SEE ALSO\n"
       "The libchip_util headers (\\fI#include <chip_util/chip_util.h>\\fR), whose API\n"
       "reference the \\fBdocs\\fR target of the source tree builds.\n")
file(WRITE "${OUTPUT}" "${page}")
