// SPDX-License-Identifier: Apache-2.0
// The access kinds at run time, counted on the simulated chip's access log:
// one table over every kind of a field and every kind of its neighbour in
// the same register (what is refused, what is read, what is written, the
// neighbour's bits kept, cleared or set), and every kind of a whole
// register (reads, writes and what a dump may read).
#include <chip_util/access.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "loader.hpp"
#include "support/print_capture.hpp"
#include "table_builder.hpp"

namespace {

constexpr uint32_t kDev = 61;
constexpr uint32_t kAddr = 0x1000;
const char *const kKinds[] = {"rw", "ro", "rclr", "w1c", "w1s", "w0c", "wo"};

// One 32-bit register R at I0 (0x1000): the target field T in bits 0-3 and
// its neighbour N in bits 4-7, or, without field kinds, a register of its
// own kind without fields.
std::unique_ptr<chip::map::BuiltTable> build(const std::string &reg_kind,
                                             const std::string &target_kind,
                                             const std::string &neighbour_kind) {
  std::string fields;
  if (!target_kind.empty()) {
    fields = R"(, "fields": [ { "name": "T", "lsb": 0, "bits": 4, "access": ")" + target_kind +
             R"(" }, { "name": "N", "lsb": 4, "bits": 4, "access": ")" + neighbour_kind + R"(" } ])";
  }
  const std::string text =
      R"({ "chip": "k", "buses": ["mmio"], "blocks": [ { "name": "B", "registers": [ { "name": "R", "offset": 0, "bytes": 4, "access": ")" +
      reg_kind + "\"" + fields +
      R"( } ] } ], "instances": [ { "name": "I0", "block": "B", "base": "0x1000", "bus": "mmio" } ] })";
  const chip::map::LoadedMap loaded = chip::map::load_map_text(text, "kinds.json");
  EXPECT_TRUE(loaded.ok()) << text;
  if (!loaded.ok()) return nullptr;
  auto built = chip::map::build_table(*loaded.map);
  built->table()->ops_table = &chip_sim_reg_ops;
  EXPECT_EQ(hdk_register_reg(kDev, built->table()), 0);
  return built;
}

chip_map_target find(const chip::map::BuiltTable &built, const char *name) {
  chip_map_target target{};
  EXPECT_EQ(chip_map_find(built.names(), name, &target), CHIP_MAP_FOUND) << name;
  return target;
}

struct Accesses {
  size_t reads = 0;
  size_t writes = 0;
  uint32_t written = 0;
};

Accesses counted() {
  Accesses a;
  for (size_t i = 0; i < chip_sim_log_count(); ++i) {
    const chip_sim_access &access = chip_sim_log()[i];
    EXPECT_EQ(access.addr, kAddr);
    if (access.kind == CHIP_SIM_READ) {
      ++a.reads;
    } else {
      ++a.writes;
      a.written = access.value;
    }
  }
  return a;
}

bool is(const std::string &kind, std::initializer_list<const char *> kinds) {
  for (const char *k : kinds) {
    if (kind == k) return true;
  }
  return false;
}

// Writing 5 to T, with 0xFF in the register: refused without a bus access
// for a read-only or read-clears T, and for any T beside a read-clears N
// (its read would clear N); otherwise one read and one write, T = 5 and N
// kept (0xF), written as 0 (w1c, w1s) or as 1 (w0c).
TEST(AccessKinds, FieldWriteOverEveryKindAndNeighbourKind) {
  for (const char *target_kind : kKinds) {
    for (const char *neighbour_kind : kKinds) {
      SCOPED_TRACE(std::string("T ") + target_kind + ", N " + neighbour_kind);
      const auto built = build("rw", target_kind, neighbour_kind);
      ASSERT_NE(built, nullptr);
      chip_sim_reset();
      chip_sim_poke(kDev, kAddr, 0xFF);
      const chip_map_target target = find(*built, "I0.R.T");
      chip_test::PrintCapture capture;
      const int32_t result = chip_access_write(kDev, &target, 5);
      const Accesses a = counted();
      if (is(target_kind, {"ro", "rclr"})) {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(capture.calls(), std::vector<std::string>{
                                       "\r\nchip_access_write(61, I0.R.T): read-only: not written"});
        EXPECT_EQ(a.reads + a.writes, 0u);
      } else if (is(neighbour_kind, {"rclr"})) {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(capture.calls(),
                  std::vector<std::string>{
                      "\r\nchip_access_write(61, I0.R.T): the register clears on read: a field "
                      "write would read it (write the whole register)"});
        EXPECT_EQ(a.reads + a.writes, 0u);
      } else {
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(capture.calls().empty());
        EXPECT_EQ(a.reads, 1u);
        EXPECT_EQ(a.writes, 1u);
        const uint32_t neighbour = is(neighbour_kind, {"w1c", "w1s"}) ? 0x0 : 0xF;
        EXPECT_EQ(a.written, (neighbour << 4) | 0x5);
      }
      // A dump reads the register unless a field of it clears on read.
      const chip_map_target whole = find(*built, "I0.R");
      const bool clears = is(target_kind, {"rclr"}) || is(neighbour_kind, {"rclr"});
      EXPECT_EQ(chip_access_read_effect(&whole),
                clears ? CHIP_ACCESS_READ_CLEARS : CHIP_ACCESS_READ_HARMLESS);
    }
  }
  g_hdk_chip_reg[kDev] = nullptr;
}

// A register without fields, of every kind: reading it (refused only when
// write-only), writing it whole (refused when read-only or read-clears;
// never read first), and what a dump may do with it.
TEST(AccessKinds, WholeRegisterOfEveryKind) {
  for (const char *kind : kKinds) {
    SCOPED_TRACE(kind);
    const auto built = build(kind, "", "");
    ASSERT_NE(built, nullptr);
    const chip_map_target whole = find(*built, "I0.R");
    chip_sim_reset();
    chip_sim_poke(kDev, kAddr, 0xA5);
    chip_test::PrintCapture capture;
    uint32_t value = 0;
    const int32_t read = chip_access_read(kDev, &whole, &value);
    const Accesses after_read = counted();
    chip_sim_log_clear();
    const int32_t write = chip_access_write(kDev, &whole, 0x3C);
    const Accesses after_write = counted();
    const bool write_only = is(kind, {"wo"});
    const bool read_only = is(kind, {"ro", "rclr"});
    EXPECT_EQ(read, write_only ? -1 : 0);
    EXPECT_EQ(after_read.reads, write_only ? 0u : 1u);
    EXPECT_EQ(value, write_only ? 0u : 0xA5u);
    EXPECT_EQ(write, read_only ? -1 : 0);
    EXPECT_EQ(after_write.reads, 0u);
    EXPECT_EQ(after_write.writes, read_only ? 0u : 1u);
    std::vector<std::string> messages;
    if (write_only) messages.push_back("\r\nchip_access_read(61, I0.R): write-only: there is nothing to read");
    if (read_only) messages.push_back("\r\nchip_access_write(61, I0.R): read-only: not written");
    EXPECT_EQ(capture.calls(), messages);
    EXPECT_EQ(chip_access_read_effect(&whole), write_only ? CHIP_ACCESS_READ_WRITE_ONLY
                                               : is(kind, {"rclr"}) ? CHIP_ACCESS_READ_CLEARS
                                                                    : CHIP_ACCESS_READ_HARMLESS);
  }
  g_hdk_chip_reg[kDev] = nullptr;
}

// A field of a write-only register is written without a read, its
// neighbours as 0; a value wider than the field is refused.
TEST(AccessKinds, WriteOnlyRegisterAndWideValue) {
  const auto built = build("wo", "wo", "wo");
  ASSERT_NE(built, nullptr);
  chip_sim_reset();
  const chip_map_target target = find(*built, "I0.R.N");
  EXPECT_EQ(chip_access_write(kDev, &target, 0x9), 0);
  const Accesses a = counted();
  EXPECT_EQ(a.reads, 0u);
  EXPECT_EQ(a.written, 0x90u);
  chip_test::PrintCapture capture;
  EXPECT_EQ(chip_access_write(kDev, &target, 0x10), -1);
  EXPECT_EQ(capture.calls(), std::vector<std::string>{
                                 "\r\nchip_access_write(61, I0.R.N): value 0x10 is wider than 4 bits"});
  g_hdk_chip_reg[kDev] = nullptr;
}

}  // namespace
