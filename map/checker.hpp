// SPDX-License-Identifier: Apache-2.0
// The checks run on every map before anything is generated. Every problem
// is reported, not only the first, each with its file, line and path:
// fields that overlap or run past their register (for any element),
// registers of one block that overlap (arrays included), values that do not
// fit a record field (naming the limit), duplicate names and names that
// collide once made into C identifiers, reset and enumerated values wider
// than their field, access kinds that make a plain read-modify-write
// destroy bits (warnings), and everything that cannot be expressed in the
// register records or reached through the field functions.
#pragma once

#include <string>

#include "diagnostic.hpp"
#include "model.hpp"

namespace chip::map {

// Appends the findings on `map` to `findings`. `name` replaces the chip's
// name in the generated C names (the generator's --name); empty keeps it.
void check_map(const Map &map, Diagnostics &findings, const std::string &name = "");

// Whether any finding is an error.
bool has_errors(const Diagnostics &findings);

}  // namespace chip::map
