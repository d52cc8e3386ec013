// SPDX-License-Identifier: Apache-2.0
#include "loader.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "checker.hpp"
#include "json_reader.hpp"
#include "model_builder.hpp"
#include "report.hpp"

namespace chip::map {

bool LoadedMap::ok() const { return map.has_value() && !has_errors(findings); }

std::optional<MapSource> read_map_source(std::string_view text, const std::string &file,
                                         Diagnostics &findings) {
  return read_json_map(text, file, findings);
}

LoadedMap load_map_text(std::string_view text, const std::string &file, const std::string &name) {
  LoadedMap loaded;
  if (const std::optional<MapSource> source = read_map_source(text, file, loaded.findings)) {
    loaded.map = build_model(*source, loaded.findings);
    if (source->doc.is_object()) {  // otherwise there is nothing to check
      check_map(*loaded.map, loaded.findings, name);
    }
  }
  sort_findings(loaded.findings);
  return loaded;
}

LoadedMap load_map(const std::string &path, const std::string &name) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LoadedMap failed;
    failed.findings.push_back({Severity::error, path, 0, "",
                               std::string("cannot read the file: ") + std::strerror(errno)});
    return failed;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return load_map_text(text, path, name);
}

}  // namespace chip::map
