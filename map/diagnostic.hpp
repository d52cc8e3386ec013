// SPDX-License-Identifier: Apache-2.0
// What the map reader, the IP-XACT importer and the checker report: one
// finding per record, every finding collected (never only the first), each
// naming the file, the line where the reader knows it, and the path in the
// map ("block MAC / register CTRL / field SPEED").
#pragma once

#include <map>
#include <string>
#include <vector>

namespace chip::map {

enum class Severity { warning, error };

struct Diagnostic {
  Severity severity = Severity::error;
  std::string file;     // as the user named it
  unsigned line = 0;    // 1-based; 0 when the reader does not know it
  std::string path;     // "block MAC / register CTRL / field SPEED", or empty
  std::string message;  // one line, no trailing period
};

using Diagnostics = std::vector<Diagnostic>;

// Line of each object or member of a map document, keyed by its JSON
// pointer ("/blocks/0/registers/2/fields/1"); the reader of a file fills it
// so that later stages can place their findings in the source.
using SourceLines = std::map<std::string, unsigned>;

}  // namespace chip::map
