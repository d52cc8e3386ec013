// SPDX-License-Identifier: Apache-2.0
// chiputil map import, and map check/show on an IP-XACT file, as a user
// runs them: statuses, exact findings pointing into the XML, the JSON
// written and read back.
#include <gtest/gtest.h>
#include "support/tool_run.hpp"
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using test_support::contents;
using test_support::ToolRun;

ToolRun chiputil(const std::string &args) { return test_support::run_tool(CHIPUTIL_PATH, args); }

std::string el(const std::string &name, const std::string &content) {
  return "<ipxact:" + name + ">" + content + "</ipxact:" + name + ">";
}

// Two MAC blocks of one type on line 5 (the second map, if any, on line 6),
// with the given body of CTRL's fields.
std::string component(const std::string &fields, const std::string &second_map = "") {
  const auto block = [&](const std::string &name, const std::string &base) {
    return el("addressBlock", el("name", name) + el("typeIdentifier", "MAC") + el("baseAddress", base) +
                                  el("range", "'h100") + el("width", "32") +
                                  el("register", el("name", "CTRL") + el("addressOffset", "0") +
                                                     el("size", "32") + fields));
  };
  return "<?xml version=\"1.0\"?>\n<ipxact:component "
         "xmlns:ipxact=\"http://www.accellera.org/XMLSchema/IPXACT/1685-2014\">\n" +
         el("name", "lc7") + "\n<ipxact:memoryMaps>\n" +
         el("memoryMap", el("name", "mmio") + block("MAC0", "'h1000") + block("MAC1", "'h2000")) +
         "\n" + second_map + "\n</ipxact:memoryMaps>\n</ipxact:component>\n";
}

std::string field(const std::string &name, int lsb, int bits, const std::string &more = "") {
  return el("field", el("name", name) + el("bitOffset", std::to_string(lsb)) +
                         el("bitWidth", std::to_string(bits)) + more);
}

class ChiputilImport : public ::testing::Test {
 protected:
  std::string dir = ::testing::TempDir() + "chiputil_import_dir." + std::to_string(getpid()) + "/";
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string write(const std::string &name, const std::string &text) {
    std::ofstream(dir + name, std::ios::binary) << text;
    return dir + name;
  }
};

TEST_F(ChiputilImport, ImportsChecksAndShows) {
  const std::string xml = write("lc7.xml", component(
      field("EN", 0, 1) + field("IRQ", 8, 1, el("modifiedWriteValue", "oneToClear"))));
  const std::string json_path = dir + "lc7.json";
  const ToolRun imported = chiputil("map import " + xml + " -o " + json_path);
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.out, "");
  const nlohmann::json doc = nlohmann::json::parse(contents(json_path));
  EXPECT_EQ(doc["chip"], "lc7");
  EXPECT_EQ(doc["buses"], nlohmann::json::array({"mmio"}));
  EXPECT_EQ(doc["blocks"].size(), 1u);
  EXPECT_EQ(doc["instances"][1]["base"], "0x2000");
  EXPECT_EQ(doc["blocks"][0]["registers"][0]["fields"][1]["access"], "w1c");
  EXPECT_EQ(contents(json_path).rfind("{\n  \"chip\": \"lc7\",\n", 0), 0u);  // names first

  // Without -o the map goes to standard output; the JSON it wrote checks
  // as the XML does.
  EXPECT_EQ(chiputil("map import " + xml).out, contents(json_path));
  const ToolRun from_xml = chiputil("map check " + xml);
  const ToolRun from_json = chiputil("map check " + json_path);
  EXPECT_EQ(from_xml.status, 0) << from_xml.err;
  EXPECT_EQ(from_json.status, 0) << from_json.err;
  EXPECT_EQ(from_xml.out.substr(xml.size()), from_json.out.substr(json_path.size()));
  const ToolRun shown = chiputil("map show " + xml);
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, chiputil("map show " + json_path).out);
}

// libxml2 is opened by the first XML file read, never at start-up: the
// dynamic loader's own log (LD_DEBUG=files) shows when it is.
TEST_F(ChiputilImport, LibXml2LoadedOnlyToReadXml) {
  const std::string xml = write("lc7.xml", component(field("EN", 0, 1)));
  const std::string json_path = dir + "lc7.json";
  ASSERT_EQ(chiputil("map import " + xml + " -o " + json_path).status, 0);
  const auto traced = [](const std::string &args) {
    return test_support::run_tool("/usr/bin/env",
                                  "LD_DEBUG=files '" + std::string(CHIPUTIL_PATH) + "' " + args);
  };
  for (const std::string &args : {std::string("--version"), "map check " + json_path}) {
    const ToolRun run = traced(args);
    EXPECT_EQ(run.status, 0) << args;
    EXPECT_EQ(run.err.find("libxml2"), std::string::npos) << args;
  }
  const ToolRun from_xml = traced("map check " + xml);
  EXPECT_EQ(from_xml.status, 0);
  EXPECT_NE(from_xml.err.find("file=libxml2"), std::string::npos) << from_xml.err;
  EXPECT_NE(from_xml.err.find("dynamically loaded by"), std::string::npos) << from_xml.err;
}

TEST_F(ChiputilImport, RefusalsAndUsage) {
  const std::string toggle = write("toggle.xml", component(field("T", 0, 1, el("modifiedWriteValue", "oneToToggle"))));
  const std::string overlap = write("overlap.xml", component(field("A", 0, 4) + field("B", 2, 4)));
  const std::string two = write("two.xml", component(field("EN", 0, 1), el("memoryMap", el("name", "cfg") + el("addressBlock", el("name", "C") + el("baseAddress", "0") + el("range", "4") + el("width", "32") + el("register", el("name", "R") + el("addressOffset", "0") + el("size", "32") + field("F", 0, 1))))));
  const std::string finding = ":5: error: memory map mmio / address block MAC0 / register CTRL / field T: "
                              "modifiedWriteValue 'oneToToggle' is not supported: a read-modify-write "
                              "of its register would change it\n";
  const struct {
    std::string args;
    int status;
    std::string err;
  } cases[] = {
      {"map import " + toggle + " -o " + dir + "t.json", 1,
       toggle + finding + toggle + finding.substr(0, finding.find("MAC0")) + "MAC1" + finding.substr(finding.find("MAC0") + 4) +
           "chiputil map import: 2 errors: nothing written\n"},
      {"map import " + two, 1,
       two + ":2: error: component lc7: 2 memory maps with address blocks (mmio, cfg); an imported map "
             "has one bus: choose one\nchiputil map import: 1 error: nothing written\n"},
      {"map import " + dir + "missing.xml", 1, "chiputil map import: cannot read " + dir + "missing.xml\n"},
      {"map import", 2, "chiputil map import: expected one map FILE (see 'chiputil map import --help')\n"},
      {"map import " + toggle + " --frob", 2,
       "chiputil map import: unknown option '--frob' (see 'chiputil map import --help')\n"},
  };
  for (const auto &c : cases) {
    const ToolRun run = chiputil(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "t.json"));
  EXPECT_EQ(chiputil("map import " + two + " --memory-map cfg -o " + dir + "cfg.json").status, 0);
  EXPECT_EQ(nlohmann::json::parse(contents(dir + "cfg.json"))["buses"][0], "cfg");

  // The checker's findings on an imported map point into the XML; the map
  // is written for the user to mend, with status 1.
  const ToolRun overlapping = chiputil("map import " + overlap + " -o " + dir + "o.json");
  EXPECT_EQ(overlapping.status, 1);
  EXPECT_NE(overlapping.err.find(overlap + ":5: error: block MAC / register CTRL / field B"), std::string::npos)
      << overlapping.err;
  EXPECT_NE(overlapping.err.find("chiputil map import: written, but the map has 1 error (see above)\n"),
            std::string::npos) << overlapping.err;
  EXPECT_TRUE(std::filesystem::exists(dir + "o.json"));
  EXPECT_EQ(chiputil("map check " + toggle).status, 1);

  const ToolRun help = chiputil("map import --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: chiputil map import FILE.xml", 0), 0u);
}

}  // namespace
