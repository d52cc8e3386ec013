// SPDX-License-Identifier: Apache-2.0
// The one entry point from a map file to a checked model: read the file,
// hand it to the reader of its kind (a JSON map, or an IP-XACT component
// imported into one), build the model and check it. Every finding is
// collected.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "diagnostic.hpp"
#include "model.hpp"
#include "source.hpp"

namespace chip::map {

struct LoadedMap {
  std::optional<Map> map;  // absent when the file could not be read as a map at all
  Diagnostics findings;    // in line order
  bool ok() const;         // a model and no error
};

// Reads the map document in `text`, named `file`, by its kind: IP-XACT when
// the file is named .xml (or, named neither .xml nor .json, starts with
// '<'), JSON otherwise.
std::optional<MapSource> read_map_source(std::string_view text, const std::string &file,
                                         Diagnostics &findings);

// Reads, builds and checks the map in `text`. `name` is the generator's
// --name (empty: the chip's name), which the checker's C-name collisions use.
LoadedMap load_map_text(std::string_view text, const std::string &file,
                        const std::string &name = "");

// The same for the file at `path` (named `path` in findings); a file that
// cannot be read is one finding without a line.
LoadedMap load_map(const std::string &path, const std::string &name = "");

}  // namespace chip::map
