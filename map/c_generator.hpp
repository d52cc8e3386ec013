// SPDX-License-Identifier: Apache-2.0
// Prints a table plan as C99: <name>_map.h (reg_id, instance, bus, reset
// and enumerated-value constants, and the two extern tables) and
// <name>_map.c (the records, the root table <name>_reg_table and the name
// table <name>_map_names). The output depends only on the plan, so the same
// map gives byte-identical files on every run; it compiles cleanly as C99
// and as C++ with -Wall -Wextra -Wpedantic -Werror.
#pragma once

#include <string>

#include "table_builder.hpp"

namespace chip::map {

struct GeneratedFiles {
  std::string header_name;  // "<name>_map.h"
  std::string header;
  std::string source_name;  // "<name>_map.c"
  std::string source;
};

GeneratedFiles generate_c(const TablePlan &plan);

}  // namespace chip::map
