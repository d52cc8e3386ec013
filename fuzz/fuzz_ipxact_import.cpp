// SPDX-License-Identifier: Apache-2.0
// Fuzzes the IP-XACT importer and its number evaluator. Byte 0 picks:
//   0 the rest is a whole file;
//   1 the rest is the body of an address block inside a fixed 1685-2014
//     component (so that mutations reach registers, fields and arrays);
//   2 the same inside a 1685-2022 component;
//   3 the rest is a number or expression.
// Invariants: the importer never throws or crashes, returns a document
// exactly when it reports no error, every finding names the file and has a
// message, and a document has one bus, instances whose block exists, and a
// source line for every block and register. An expression that evaluates
// gives the same value in parentheses.
#include <nlohmann/json.hpp>

#include <set>
#include <string_view>

#include "fuzz_support.hpp"
#include "map/ipxact_import.hpp"
#include "map/ipxact_value.hpp"

namespace {

constexpr std::string_view kHead2014 =
    "<?xml version=\"1.0\"?>\n<ipxact:component "
    "xmlns:ipxact=\"http://www.accellera.org/XMLSchema/IPXACT/1685-2014\">\n"
    "<ipxact:name>fz</ipxact:name>\n<ipxact:parameters><ipxact:parameter parameterId=\"p1\">"
    "<ipxact:name>W</ipxact:name><ipxact:value>8*4</ipxact:value></ipxact:parameter>"
    "</ipxact:parameters>\n<ipxact:memoryMaps><ipxact:memoryMap><ipxact:name>mm</ipxact:name>\n"
    "<ipxact:addressBlock><ipxact:name>b0</ipxact:name><ipxact:baseAddress>'h1000"
    "</ipxact:baseAddress><ipxact:range>4096</ipxact:range><ipxact:width>32</ipxact:width>\n";
constexpr std::string_view kHead2022 =
    "<?xml version=\"1.0\"?>\n<ipxact:component "
    "xmlns:ipxact=\"http://www.accellera.org/XMLSchema/IPXACT/1685-2022\">\n"
    "<ipxact:name>fz</ipxact:name>\n<ipxact:memoryMaps><ipxact:memoryMap>"
    "<ipxact:name>mm</ipxact:name>\n<ipxact:addressUnitBits>8</ipxact:addressUnitBits>\n"
    "<ipxact:addressBlock><ipxact:name>b0</ipxact:name><ipxact:baseAddress>0</ipxact:baseAddress>"
    "<ipxact:range>'h100</ipxact:range><ipxact:width>32</ipxact:width>\n";
constexpr std::string_view kTail =
    "\n</ipxact:addressBlock></ipxact:memoryMap></ipxact:memoryMaps></ipxact:component>\n";

void check_import(const std::string &xml) {
  const chip::map::Imported result = chip::map::import_ipxact(xml, "fuzz.xml");
  bool error = false;
  for (const chip::map::Diagnostic &finding : result.findings) {
    FUZZ_CHECK(finding.file == "fuzz.xml");
    FUZZ_CHECK(!finding.message.empty());
    FUZZ_CHECK(finding.message.find('\n') == std::string::npos);
    error = error || finding.severity == chip::map::Severity::error;
  }
  FUZZ_CHECK(result.doc.is_null() == error);
  if (error) return;
  const nlohmann::json &doc = result.doc;
  FUZZ_CHECK(doc.at("buses").size() == 1);
  std::set<std::string> types;
  for (size_t b = 0; b < doc.at("blocks").size(); ++b) {
    const nlohmann::json &block = doc["blocks"][b];
    types.insert(block.at("name").get<std::string>());
    const std::string pointer = "/blocks/" + std::to_string(b);
    FUZZ_CHECK(result.lines.count(pointer) == 1);
    FUZZ_CHECK(!block.at("registers").empty());
    for (size_t r = 0; r < block["registers"].size(); ++r) {
      FUZZ_CHECK(result.lines.count(pointer + "/registers/" + std::to_string(r)) == 1);
    }
  }
  for (const nlohmann::json &instance : doc.at("instances")) {
    FUZZ_CHECK(types.count(instance.at("block").get<std::string>()) == 1);
    FUZZ_CHECK(instance.at("bus") == doc["buses"][0]);
  }
}

void check_expression(const std::string &text) {
  const chip::map::ipxact::ParameterLookup lookup =
      [](std::string_view name) -> std::optional<std::string> {
    if (name == "A") return "'h10";
    if (name == "B") return "A * 2 + A";
    if (name == "LOOP") return "LOOP + 1";
    return std::nullopt;
  };
  const chip::map::ipxact::Evaluated plain = chip::map::ipxact::evaluate(text, lookup);
  FUZZ_CHECK(plain.value.has_value() == plain.error.empty());
  const chip::map::ipxact::Evaluated wrapped = chip::map::ipxact::evaluate("(" + text + ")", lookup);
  if (plain.value && !wrapped.value) {
    FUZZ_CHECK(wrapped.error == "expression nested too deeply");
  } else if (plain.value) {
    FUZZ_CHECK(*wrapped.value == *plain.value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input input{data, size};
  const uint8_t mode = input.u8() % 4;
  const std::string rest = input.bytes(size);
  if (mode == 0) check_import(rest);
  if (mode == 1) check_import(std::string(kHead2014) + rest + std::string(kTail));
  if (mode == 2) check_import(std::string(kHead2022) + rest + std::string(kTail));
  if (mode == 3) check_expression(rest);
  return 0;
}
