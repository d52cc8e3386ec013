// SPDX-License-Identifier: Apache-2.0
// Turns a map document into the model: every key checked against the
// format (unknown and missing keys, wrong types, malformed numbers, unknown
// access kinds), every finding collected with its line and path.
#pragma once

#include "diagnostic.hpp"
#include "model.hpp"
#include "source.hpp"

namespace chip::map {

// The model of `source`. Parts that cannot be read are left out (and
// reported in `findings`), so the checker can still look at the rest; the
// model is only fit for generation when no error was reported.
Map build_model(const MapSource &source, Diagnostics &findings);

}  // namespace chip::map
