// SPDX-License-Identifier: Apache-2.0
// The C++ layer's style: line comments, declarations in namespace chip.
#pragma once

namespace chip {

// Documented with line comments,
// two of them.
int fixture_cpp_documented(int x);

int fixture_cpp_bare(int x);

}  // namespace chip
