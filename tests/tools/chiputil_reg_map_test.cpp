// SPDX-License-Identifier: Apache-2.0
// `chiputil reg --map` as a person types it: names of the walkthrough's
// map on an mmio: file (the bytes checked in the file) and on the simulated
// chip; a dump that reads neither write-only nor read-clears registers
// (checked in its --trace); the refusals with their one-line messages.
#include <gtest/gtest.h>
#include "support/tool_run.hpp"
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using test_support::ToolRun;

ToolRun chiputil(const std::string &args) { return test_support::run_tool(CHIPUTIL_PATH, args); }

std::vector<uint8_t> file_bytes(const std::string &path, size_t from, size_t count) {
  std::ifstream file(path, std::ios::binary);
  std::vector<uint8_t> all{std::istreambuf_iterator<char>(file), {}};
  return {all.begin() + static_cast<long>(from), all.begin() + static_cast<long>(from + count)};
}

const std::string kMap = std::string("--map ") + LC7_MAP_FILE;

// The MACs of the walkthrough's map sit at 0x1000 and 0x2000 of the mmio bus.
TEST(ChiputilRegMap, ByNameOnAnMmioFile) {
  const std::string bar = ::testing::TempDir() + "lc7_bar." + std::to_string(getpid());
  std::ofstream(bar, std::ios::binary) << std::string(0x3000, '\0');
  const std::string bus = kMap + " --bus mmio:" + bar;
  struct Case {
    std::string args;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"write " + bus + " MAC1.CTRL.SPEED S10G", 0, "", ""},
      {"write " + bus + " MAC1.CTRL.PORT_ENABLE 1", 0, "", ""},
      {"write " + bus + " MAC1.VLAN_PRIO[5].PRIO 6", 0, "", ""},
      {"write " + bus + " MAC0.LANE_LOOPBACK.EN[33] 1", 0, "", ""},
      {"read " + bus + " MAC1.CTRL.SPEED", 0, "MAC1.CTRL.SPEED = 0x3 S10G\n", ""},
      {"read " + bus + " MAC1.CTRL", 0,
       "MAC1.CTRL @0x2000                0x00000031\n"
       "  PORT_ENABLE                    0x1\n"
       "  SPEED                          0x3 S10G\n",
       ""},
      {"read " + bus + " --trace MAC1.VLAN_PRIO[5].PRIO", 0, "MAC1.VLAN_PRIO[5].PRIO = 0x6\n",
       "trace: mmio read32 0x2024 -> 0x600 status 0\n"
       "trace: field read hdk_read_reg32_field(0, 1, 0x5, 5) value 0x6 status 0\n"},
      {"write " + bus + " MAC0.FRAME_COUNT 1", 1, "",
       "chiputil reg write: chip_access_write(0, MAC0.FRAME_COUNT): read-only: not written\n"},
      {"read " + bus + " MAC0.TX_CMD", 1, "", "chiputil reg read: MAC0.TX_CMD: not read (write-only)\n"},
      {"write " + bus + " MAC1.CTRL.SPEED 8", 1, "",
       "chiputil reg write: chip_access_write(0, MAC1.CTRL.SPEED): value 0x8 is wider than 3 "
       "bits\n"},
      {"read " + bus + " PHY0.STATUS", 1, "",
       "chiputil reg read: 'PHY0.STATUS' is on bus mdio, not on the one given with --bus\n"},
      {"read " + bus + " MAC1.VLAN_PRIO[8]", 1, "",
       "chiputil reg read: 'MAC1.VLAN_PRIO[8]': an array needs [n] within its count, and only an "
       "array takes one\n"},
      {"read " + bus + " MAC9.CTRL", 1, "", "chiputil reg read: 'MAC9.CTRL': no instance of that name\n"},
      {"write " + bus + " MAC1.CTRL.SPEED FAST", 2, "",
       "chiputil reg write: VALUE 'FAST' is neither a number nor one of the field's enums (see "
       "'chiputil reg write --help')\n"},
  };
  for (const Case &c : cases) {
    const ToolRun run = chiputil("reg " + c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_EQ(run.out, c.out) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  EXPECT_EQ(file_bytes(bar, 0x2000, 4), (std::vector<uint8_t>{0x31, 0, 0, 0}));
  EXPECT_EQ(file_bytes(bar, 0x2024, 4), (std::vector<uint8_t>{0, 0x06, 0, 0}));
  EXPECT_EQ(file_bytes(bar, 0x1044, 4), (std::vector<uint8_t>{0x02, 0, 0, 0}));
  const ToolRun json = chiputil("reg read " + bus + " --json MAC1.CTRL");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(nlohmann::json::parse(json.out),
            (nlohmann::json{{"name", "MAC1.CTRL"}, {"address", 0x2000}, {"width", 32},
                            {"value", 0x31}, {"fields", {{"PORT_ENABLE", 1}, {"SPEED", 3}}}}));
  std::remove(bar.c_str());
}

// The walkthrough chip decoded on the simulated chip, with a trace that
// shows one read per readable register and none of TX_CMD (write-only).
TEST(ChiputilRegMap, DumpOfTheWalkthroughChip) {
  const ToolRun dump = chiputil("reg dump " + kMap + " --bus sim --trace");
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("MAC0.CTRL @0x1000                0x00000000\n"
                          "  PORT_ENABLE                    0x0\n"
                          "  SPEED                          0x0 S10M\n"),
            std::string::npos);
  EXPECT_NE(dump.out.find("MAC1.TX_CMD @0x2050              not read (write-only)\n"),
            std::string::npos);
  EXPECT_NE(dump.out.find("PHY3.LANE_EQ[1] @0x412           0x0000\n  GAIN[4]"), std::string::npos);
  EXPECT_EQ(dump.err.find("0x1050"), std::string::npos);
  EXPECT_EQ(dump.err.find("write"), std::string::npos);
  const ToolRun json = chiputil("reg dump " + kMap + " --bus sim --json MAC0");
  ASSERT_EQ(json.status, 0);
  const auto all = nlohmann::json::parse(json.out);
  ASSERT_EQ(all.size(), 13u);  // CTRL, FRAME_COUNT, 8 VLAN_PRIO, 2 LANE_LOOPBACK, TX_CMD
  EXPECT_EQ(all[12], (nlohmann::json{{"name", "MAC0.TX_CMD"}, {"address", 0x1050}, {"width", 32},
                                     {"skipped", "write-only"}}));
}

// A dump leaves a read-clears register unread and says so; reading it by
// name reads it.
TEST(ChiputilRegMap, DumpNeverReadsReadClears) {
  const std::string map = ::testing::TempDir() + "rclr_map." + std::to_string(getpid()) + ".json";
  std::ofstream(map) << R"({ "chip": "c", "buses": ["mmio"], "blocks": [ { "name": "B",
    "registers": [ { "name": "IRQ", "offset": 0, "bytes": 4, "access": "rclr" },
                   { "name": "MIX", "offset": 4, "bytes": 4,
                     "fields": [ { "name": "A", "lsb": 0, "bits": 4 },
                                 { "name": "CNT", "lsb": 8, "bits": 8, "access": "rclr" } ] },
                   { "name": "ID", "offset": 8, "bytes": 4, "access": "ro" } ] } ],
    "instances": [ { "name": "U0", "block": "B", "base": "0x100", "bus": "mmio" } ] })";
  const ToolRun dump = chiputil("reg dump --map " + map + " --bus sim --trace");
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "U0.IRQ @0x100                    not read (read clears it)\n"
            "U0.MIX @0x104                    not read (read clears it)\n"
            "U0.ID @0x108                     0x00000000\n");
  EXPECT_EQ(dump.err, "trace: sim read32 0x108 -> 0x0 status 0\n"
                      "trace: field read hdk_read_reg32_field(0, 0, 0x4, 0) value 0x0 status 0\n");
  const ToolRun read = chiputil("reg read --map " + map + " --bus sim --trace U0.IRQ");
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out, "U0.IRQ @0x100                    0x00000000\n");
  const ToolRun write = chiputil("reg write --map " + map + " --bus sim U0.MIX.A 1");
  EXPECT_EQ(write.status, 1);
  EXPECT_EQ(write.err,
            "chiputil reg write: chip_access_write(0, U0.MIX.A): the register clears on read: a "
            "field write would read it (write the whole register)\n");
  std::remove(map.c_str());
}

}  // namespace
