// SPDX-License-Identifier: Apache-2.0
// Findings as the user reads them, one line each:
//   FILE:LINE: error: block MAC / register CTRL / field SPEED: message
#pragma once

#include <string>

#include "diagnostic.hpp"

namespace chip::map {

std::string format_finding(const Diagnostic &finding);

// Findings in line order (findings without a line last), stable otherwise.
void sort_findings(Diagnostics &findings);

}  // namespace chip::map
