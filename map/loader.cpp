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

namespace {

// Builds and checks the model of a source that was read. The document is
// let go before the check, so that the check reuses its memory.
void build_and_check(std::optional<MapSource> source, const std::string &name,
                     LoadedMap &loaded) {
  if (!source) {
    return;
  }
  loaded.map = build_model(*source, loaded.findings);
  const bool checkable = source->doc.is_object();  // otherwise there is nothing to check
  source.reset();
  if (checkable) {
    check_map(*loaded.map, loaded.findings, name);
  }
}

}  // namespace

// A JSON map is first read without noting lines, which halves the time of
// a clean load (what `chiputil reg` does before every access). Only a map
// that gives any finding is read again with its lines, so that every
// finding points at its line: the result is the same either way.
LoadedMap load_map_text(std::string_view text, const std::string &file, const std::string &name) {
  if (!is_ipxact(text, file)) {
    LoadedMap quick;
    build_and_check(read_json_map(text, file, quick.findings, JsonLines::skip), name, quick);
    if (quick.map && quick.findings.empty()) {
      return quick;
    }
  }
  LoadedMap loaded;
  build_and_check(read_map_source(text, file, loaded.findings), name, loaded);
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
  // Read straight into a string of the file's size (one allocation for a
  // map of any size); a file that grows meanwhile is read to its end.
  std::string text;
  const auto size = std::filesystem::file_size(path, error);
  text.resize(error ? 65536 : static_cast<size_t>(size) + 1);
  size_t length = 0;
  size_t got = 0;
  while ((got = std::fread(text.data() + length, 1, text.size() - length, file)) > 0) {
    length += got;
    if (length == text.size()) {
      text.resize(2 * text.size());
    }
  }
  text.resize(length);
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
