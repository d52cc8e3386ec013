// SPDX-License-Identifier: Apache-2.0
// chiputil map import: an IP-XACT component's registers as a JSON register
// map, checked as 'map check' checks a map.
#include "cmd_map_import.hpp"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "checker.hpp"
#include "ipxact_import.hpp"
#include "model_builder.hpp"
#include "report.hpp"

namespace chiputil {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Keys in the order a reader of the map expects them: names first, then
// placement, then contents.
constexpr const char *kKeyOrder[] = {"chip",  "name",   "block",  "description", "buses",
                                     "offset", "base",  "bus",    "bytes",       "lsb",
                                     "bits",   "count", "stride", "value",       "access",
                                     "reset",  "array", "enums",  "fields",      "registers",
                                     "blocks", "instances"};

ordered_json in_order(const json &value) {
  if (value.is_array()) {
    ordered_json out = ordered_json::array();
    for (const json &item : value) out.push_back(in_order(item));
    return out;
  }
  if (!value.is_object()) return ordered_json(value);
  ordered_json out = ordered_json::object();
  for (const char *key : kKeyOrder) {
    if (value.contains(key)) out[key] = in_order(value[key]);
  }
  for (const auto &[key, item] : value.items()) {
    if (!out.contains(key)) out[key] = in_order(item);
  }
  return out;
}

}  // namespace

const char *const kMapImportHelp =
    "usage: chiputil map import FILE.xml [-o|--output FILE.json] [--memory-map NAME]\n"
    "\n"
    "Reads the IP-XACT component FILE.xml (IEEE 1685-2014 or 1685-2022) and writes its\n"
    "registers as a register map (docs/register-map.md) to FILE.json, or to standard output\n"
    "without -o. The component is the chip and its memory map the one bus; --memory-map\n"
    "chooses one when several have address blocks. What a map cannot express is refused,\n"
    "one line each (FILE:LINE: error: PATH: message); docs/ipxact-import.md gives the rules.\n"
    "The map is then checked as 'map check' does; its findings point into FILE.xml.\n"
    "Exit status: 0 written (warnings printed); 1 refused, or written but the map has\n"
    "errors; 2 bad usage.\n";

int run_map_import(const ParsedOptions &options) {
  const std::string &path = options.operands[0];
  std::ifstream in(path, std::ios::binary);
  if (!in) return refused("map import", "cannot read " + path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  chip::map::IpxactOptions import_options;
  if (options.has("memory-map")) import_options.memory_map = options.values.at("memory-map");

  chip::map::Imported imported = chip::map::import_ipxact(text, path, import_options);
  chip::map::Diagnostics findings = imported.findings;
  if (!imported.doc.is_null()) {
    const chip::map::MapSource source{imported.doc, imported.lines, path};
    const chip::map::Map map = chip::map::build_model(source, findings);
    chip::map::check_map(map, findings);
  }
  chip::map::sort_findings(findings);
  size_t errors = 0;
  for (const chip::map::Diagnostic &finding : findings) {
    std::fprintf(stderr, "%s\n", chip::map::format_finding(finding).c_str());
    errors += finding.severity == chip::map::Severity::error ? 1 : 0;
  }
  if (imported.doc.is_null()) {
    return refused("map import", std::to_string(errors) + (errors == 1 ? " error" : " errors") +
                                     ": nothing written");
  }
  const std::string json_text = in_order(imported.doc).dump(2) + "\n";
  if (options.has("output")) {
    const std::string &output = options.values.at("output");
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out << json_text;
    out.close();
    if (!out) return refused("map import", "cannot write " + output);
  } else {
    std::fputs(json_text.c_str(), stdout);
  }
  if (errors != 0) {
    return refused("map import", "written, but the map has " + std::to_string(errors) +
                                     (errors == 1 ? " error" : " errors") + " (see above)");
  }
  return kExitOk;
}

}  // namespace chiputil
