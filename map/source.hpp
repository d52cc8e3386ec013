// SPDX-License-Identifier: Apache-2.0
// A map document as every reader hands it on: the JSON of the map format
// and the source line of each of its objects and members, so that findings
// on the model point into the file the user wrote (a JSON map, or the
// IP-XACT file it was imported from).
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "diagnostic.hpp"

namespace chip::map {

struct MapSource {
  nlohmann::json doc;
  SourceLines lines;  // JSON pointer -> line
  std::string file;
};

// The JSON pointer of member `key` of the object at `parent`.
std::string pointer_append(const std::string &parent, const std::string &key);

}  // namespace chip::map
