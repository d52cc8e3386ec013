// SPDX-License-Identifier: Apache-2.0
#include "loader.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "checker.hpp"
#include "ipxact_import.hpp"
#include "json_reader.hpp"
#include "model_builder.hpp"
#include "report.hpp"

namespace chip::map {

bool LoadedMap::ok() const { return map.has_value() && !has_errors(findings); }

namespace {

// IP-XACT is XML: named so, or starting with an XML declaration or element.
bool is_ipxact(std::string_view text, const std::string &file) {
  const auto dot = file.rfind('.');
  if (dot != std::string::npos) {
    std::string extension = file.substr(dot);
    for (char &c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension == ".xml") return true;
    if (extension == ".json") return false;
  }
  const auto first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[first] == '<';
}

}  // namespace

std::optional<MapSource> read_map_source(std::string_view text, const std::string &file,
                                         Diagnostics &findings) {
  if (!is_ipxact(text, file)) return read_json_map(text, file, findings);
  Imported imported = import_ipxact(text, file);
  findings.insert(findings.end(), imported.findings.begin(), imported.findings.end());
  if (imported.doc.is_null()) return std::nullopt;
  return MapSource{std::move(imported.doc), std::move(imported.lines), file};
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

namespace {

// The whole file, or why it cannot be read (never an exception: a
// directory or a read error is one finding like a missing file).
std::optional<std::string> read_file(const std::string &path, std::string &why) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    why = "is a directory, not a map file";
    return std::nullopt;
  }
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    why = std::string("cannot read the file: ") + std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    why = "cannot read the file";
    return std::nullopt;
  }
  return text;
}

}  // namespace

LoadedMap load_map(const std::string &path, const std::string &name) {
  std::string why;
  const std::optional<std::string> text = read_file(path, why);
  if (!text) {
    LoadedMap failed;
    failed.findings.push_back({Severity::error, path, 0, "", why});
    return failed;
  }
  return load_map_text(*text, path, name);
}

}  // namespace chip::map
