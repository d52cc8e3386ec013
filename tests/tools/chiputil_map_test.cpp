// SPDX-License-Identifier: Apache-2.0
// chiputil map as a user runs it: statuses, exact messages, generated files
// the same byte for byte on every run, and show --json parsed back.
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

const std::string kLc7 = LINE_CARD_DIR "/lc7.json";

TEST(ChiputilMap, StatusesAndMessages) {
  const std::string scratch = ::testing::TempDir() + "chiputil_map_bad." + std::to_string(getpid());
  std::ofstream(scratch) << "{\"chip\": \"t\", \"buses\": [\"b\"],\n\"blocks\": [{\"name\": \"B\", "
                            "\"registers\": [\n{\"name\": \"R\", \"offset\": 0, \"bytes\": 4, "
                            "\"fields\": [{\"name\": \"F\", \"lsb\": 30, \"bits\": 4}]}]}],\n"
                            "\"instances\": []}\n";
  const struct {
    std::string args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {"map check " + kLc7, 0,
       kLc7 + ": map lc7: 2 blocks, 8 registers, 7 fields, 6 instances; no errors, 0 warnings\n", ""},
      {"map check " + scratch, 1, "",
       scratch + ":2: warning: block B: no instance uses this block: nothing is generated for "
                 "it\n" +
           scratch + ":3: error: block B / register R / field F: bits 30-33 lie outside the "
                     "32-bit register\nchiputil map check: 1 error, 1 warning\n"},
      {"map show /no/such.json", 1, "",
       "/no/such.json: error: cannot read the file: No such file or directory\n"
       "chiputil map show: 1 error, 0 warnings\n"},
      {"map check /", 1, "", "/: error: is a directory, not a map file\nchiputil map check: 1 error, 0 warnings\n"},
      {"map frob", 2, "",
       "chiputil map: unknown action 'frob' (expected check, gen, show or import) (see 'chiputil map "
       "--help')\n"},
      {"map gen " + kLc7, 2, "", "chiputil map gen: missing -o DIR (see 'chiputil map gen --help')\n"},
      {"map show a.json b.json", 2, "",
       "chiputil map show: expected one map FILE (see 'chiputil map show --help')\n"},
      {"map check --json x", 2, "",
       "chiputil map check: unknown option '--json' (see 'chiputil map check --help')\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args);
    const ToolRun run = chiputil(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
  std::remove(scratch.c_str());
  for (const char *action : {"check", "gen", "show"}) {
    const ToolRun help = chiputil(std::string("map ") + action + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(std::string("usage: chiputil map ") + action, 0), 0u) << help.out;
  }
}

TEST(ChiputilMap, GeneratesTheSameFilesEveryTime) {
  const std::filesystem::path dir = ::testing::TempDir() + "chiputil_map_gen." + std::to_string(getpid());
  for (const char *run : {"a", "b"}) {
    const ToolRun gen = chiputil("map gen " + kLc7 + " -o " + (dir / run).string() + " --name LC-7");
    ASSERT_EQ(gen.status, 0) << gen.err;
    EXPECT_EQ(gen.out, "wrote " + (dir / run / "lc_7_map.h").string() + " and " +
                           (dir / run / "lc_7_map.c").string() + "\n");
  }
  for (const char *file : {"lc_7_map.h", "lc_7_map.c"}) {
    const std::string first = contents((dir / "a" / file).string());
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, contents((dir / "b" / file).string()));
  }
  EXPECT_NE(contents((dir / "a" / "lc_7_map.h").string()).find("#define LC_7_MAC1 1u"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(ChiputilMap, ShowJsonListsRegistersInAddressOrder) {
  const ToolRun show = chiputil("map show --json " + kLc7);
  ASSERT_EQ(show.status, 0) << show.err;
  const nlohmann::json doc = nlohmann::json::parse(show.out);
  const nlohmann::json &registers = doc["registers"];
  ASSERT_EQ(registers.size(), 2u * 5 + 4u * 3);
  for (size_t i = 1; i < registers.size(); ++i) {
    EXPECT_LE(registers[i - 1]["address"], registers[i]["address"]);
  }
  EXPECT_EQ(registers[0], nlohmann::json::parse(R"({"name": "PHY0.MODE_CTRL", "instance": "PHY0",
      "register": "MODE_CTRL", "address": 256, "bytes": 2, "access": "rw", "reset": "0x0",
      "count": 1, "stride": 0, "fields": [{"name": "MODE", "lsb": 12, "bits": 4, "access": "rw",
      "reset": "0x0", "count": 1, "stride": 0, "enums": []}]})"));
}

}  // namespace
