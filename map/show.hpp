// SPDX-License-Identifier: Apache-2.0
// `chiputil map show`: every register of every instance and every field,
// with address, bits, access and reset, in address order.
#pragma once

#include <string>

#include "model.hpp"

namespace chip::map {

// A table, one line per register and per field; arrays show their element
// count and stride.
std::string show_text(const Map &map);

// The same as one JSON document: {"chip", "registers": [{"name", "instance",
// "register", "address", "bytes", "access", "reset", "count", "stride",
// "fields": [{"name", "lsb", "bits", "access", "reset", "count", "stride",
// "enums": [{"name", "value"}]}]}]}; resets and enum values as "0x..." text.
std::string show_json(const Map &map);

}  // namespace chip::map
