// SPDX-License-Identifier: Apache-2.0
// What chiputil fmea tells a person about a command beyond the parsed
// result: the input that the result leaves out.
#pragma once

#include <string>
#include <vector>

namespace chiputil {

// FMEA option names in the order of their types, 1 to 8.
inline constexpr const char *kFmeaOptionNames[] = {"read", "read_his", "positive", "neo",
                                                   "wc",   "rc",       "inject",   "inject_undo"};

// One line of printable text per finding, in the order of the option types
// and then the dfx list: parameters written in an option that the parser
// could not read, a repeated key or option of which only the first counts,
// a dfx list without its ']', and decimal numbers that a dfx list passes
// over because it also holds a 0x number. Text from the command is quoted.
std::vector<std::string> fmea_command_notes(const char *command);

}  // namespace chiputil
