// SPDX-License-Identifier: Apache-2.0
// Numbers and expressions as IP-XACT files write them: plain decimal, C hex
// (0x1000), SystemVerilog literals ('h1000, 32'h0000_1000, 'b1010, 'd12,
// 'o17), and the SystemVerilog expressions EDA tools put in addresses and
// reset values: + - * / % ** << >> & | ^ ~ ! comparisons && || ?:,
// replication {8{1'b1}} and concatenation of sized values, $pow and
// $clog2, and parameter references. Anything else is refused with a message
// naming it; nothing is guessed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace chip::map::ipxact {

// The expression text of the parameter a reference names (by parameterId
// or by name), or nullopt when no parameter has that id or name.
using ParameterLookup = std::function<std::optional<std::string>(std::string_view)>;

struct Evaluated {
  std::optional<uint64_t> value;  // set when the text evaluated
  std::string error;              // why not, one line, when value is unset
};

// Evaluates `text` to a number from 0 to 2^64 - 1. Intermediate results may
// be negative but stay within +-(2^64 - 1); a result outside, a division by
// zero, a shift by 64 or more, x/z digits, a sized literal whose digits do
// not fit its size, an unsupported function or operator, an unknown
// parameter and parameters that refer to themselves are refused.
// `lookup` may be empty (no parameters).
Evaluated evaluate(std::string_view text, const ParameterLookup &lookup = {});

}  // namespace chip::map::ipxact
