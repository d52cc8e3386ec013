// SPDX-License-Identifier: Apache-2.0
// `chiputil reg` as a person types it: by address on an mmio: file (the
// bytes checked in the file), on the simulated chip, with --trace, --json
// and watch, and every refusal with its one-line message and exit status.
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

// A 4 KiB file of zeros standing in for a BAR.
class RegFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "bar." + std::to_string(getpid()) + "." +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::ofstream(path_, std::ios::binary) << std::string(4096, '\0');
    bus_ = "--bus mmio:" + path_;
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::vector<uint8_t> bytes(size_t from, size_t count) const {
    std::ifstream file(path_, std::ios::binary);
    std::vector<uint8_t> all{std::istreambuf_iterator<char>(file), {}};
    return {all.begin() + static_cast<long>(from), all.begin() + static_cast<long>(from + count)};
  }
  std::string path_;
  std::string bus_;
};

struct Case {
  std::string args;  // after "reg"; BUS stands for the --bus option
  int status;
  std::string out;
  std::string err;
};

TEST_F(RegFile, CommandLinesByAddress) {
  const auto expand = [&](std::string args) {
    const size_t at = args.find("BUS");
    return at == std::string::npos ? args : args.replace(at, 3, bus_);
  };
  const Case cases[] = {
      {"write BUS 0x10 0x11223344", 0, "", ""},
      {"write BUS --width 16 0x16 0xa1b2", 0, "", ""},
      {"read BUS 0x10", 0, "0x10: 0x11223344\n", ""},
      {"read BUS --width 16 0x12", 0, "0x12: 0x1122\n", ""},
      {"read --bus mmio:PATH@0x10 0x4", 0, "0x4: 0xa1b20000\n", ""},
      {"dump BUS 0xc 3", 0, "0xc: 0x00000000\n0x10: 0x11223344\n0x14: 0xa1b20000\n", ""},
      {"read BUS --trace 0x10", 0, "0x10: 0x11223344\n",
       "trace: mmio read32 0x10 -> 0x11223344 status 0\n"},
      {"write BUS --trace 0x20 7", 0, "", "trace: mmio write32 0x20 <- 0x7 status 0\n"},
      {"watch BUS --until 0x1122 --mask 0xffff0000 --timeout 0 0x10", 1, "0x10: 0x11223344\n",
       "chiputil reg watch: timeout after 0 ms: 0x10 & 0xffff0000 is 0x11220000, waiting for "
       "0x00001122\n"},
      {"watch BUS --until 0x11220000 --mask 0xffff0000 0x10", 0, "0x10: 0x11223344\n", ""},
      {"read BUS 0x12", 1, "",
       "chiputil reg read: chip_mmio_read32(0, 0x12): address not aligned to 4 bytes\n"},
      {"dump BUS 0xffc 2", 1, "0xffc: 0x00000000\n0x1000: XXXXXXXX\n",
       "chiputil reg dump: chip_mmio_read32(0, 0x1000): address outside the mapping\n"},
      {"read --bus mmio:PATH@0x2000 0", 1, "",
       "chiputil reg read: chip_mmio_attach_file(0, ...): nothing to map: the range is empty\n"},
      {"read --bus sim --trace 0x40", 0, "0x40: 0x00000000\n",
       "trace: sim read32 0x40 -> 0x0 status 0\n"},
      {"read --bus sim --width 16 0x10000", 1, "",
       "chiputil reg read: the simulated chip's 16-bit registers end at 0xffff\n"},
      {"write BUS --width 16 0x10 0x10000", 2, "",
       "chiputil reg write: VALUE '0x10000' is not a number of 16 bits (see 'chiputil reg write "
       "--help')\n"},
      {"read 0x10", 2, "", "chiputil reg read: missing --bus (see 'chiputil reg read --help')\n"},
      {"read --bus pcie:1 0", 2, "",
       "chiputil reg read: bus 'pcie:1': expected mmio:PATH[@OFFSET], mdio:IFACE:PHY[:DEVAD], "
       "i2c:/dev/i2c-N:ADDR or sim (see 'chiputil reg read --help')\n"},
      {"read --bus mdio:eth0:x 0", 2, "",
       "chiputil reg read: bus 'mdio:eth0:x': 'x' is not a number up to 0xffff (see 'chiputil "
       "reg read --help')\n"},
      {"read BUS --width 8 0", 2, "",
       "chiputil reg read: --width takes 16 or 32 (see 'chiputil reg read --help')\n"},
      {"watch BUS 0", 2, "",
       "chiputil reg watch: missing --until (see 'chiputil reg watch --help')\n"},
      {"poke BUS 0", 2, "",
       "chiputil reg: unknown action 'poke' (expected read, write, dump or watch) (see "
       "'chiputil reg --help')\n"},
  };
  for (const Case &c : cases) {
    std::string args = expand(c.args);
    if (const size_t at = args.find("PATH"); at != std::string::npos) args.replace(at, 4, path_);
    const ToolRun run = chiputil("reg " + args);
    std::string err = c.err;
    EXPECT_EQ(run.status, c.status) << args;
    EXPECT_EQ(run.out, c.out) << args;
    EXPECT_EQ(run.err, err) << args;
  }
  const std::vector<uint8_t> written = {0x44, 0x33, 0x22, 0x11, 0, 0, 0xB2, 0xA1};
  EXPECT_EQ(bytes(0x10, 8), written);
  EXPECT_EQ(bytes(0x20, 4), (std::vector<uint8_t>{7, 0, 0, 0}));
}

TEST_F(RegFile, JsonParsesBack) {
  ASSERT_EQ(chiputil("reg write " + bus_ + " 0x8 0xdeadbeef").status, 0);
  const ToolRun read = chiputil("reg read " + bus_ + " --json 0x8");
  ASSERT_EQ(read.status, 0) << read.err;
  const auto one = nlohmann::json::parse(read.out);
  EXPECT_EQ(one, (nlohmann::json{{"address", 8}, {"width", 32}, {"value", 0xDEADBEEFu}}));
  const ToolRun dump = chiputil("reg dump " + bus_ + " --json --width 16 0xffc 3");
  EXPECT_EQ(dump.status, 1);
  const auto all = nlohmann::json::parse(dump.out);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[1], (nlohmann::json{{"address", 0xFFE}, {"width", 16}, {"value", 0}}));
  EXPECT_TRUE(all[2]["value"].is_null());
}

}  // namespace
