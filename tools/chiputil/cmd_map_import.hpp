// SPDX-License-Identifier: Apache-2.0
// chiputil map import, an action of 'chiputil map' (cmd_map.cpp).
#pragma once

#include "cli.hpp"

namespace chiputil {

extern const char *const kMapImportHelp;

// Imports operands[0] (options "output", "memory-map"); exit status.
int run_map_import(const ParsedOptions &options);

}  // namespace chiputil
