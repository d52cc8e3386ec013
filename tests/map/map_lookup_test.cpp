// SPDX-License-Identifier: Apache-2.0
// Name and address lookups on the example's generated table: what each
// name finds (instance, reg_id, element, register address and bits) or the
// exact refusal, names written back from indexes, and the read-modify-write
// masks of the access kinds.
#include <chip_util/map.h>
#include <gtest/gtest.h>

#include <string>

#include "lc7_map.h"
#include "loader.hpp"
#include "table_builder.hpp"

namespace {

struct Lookup {
  const char *name;
  int32_t result;
  uint32_t inst, reg_id, elem, addr, start_bit, field_bits;
};

constexpr Lookup kLookups[] = {
    {"MAC1.CTRL.SPEED", CHIP_MAP_FOUND, LC7_MAC1, LC7_MAC_CTRL_SPEED, 0, 0x2000, 4, 3},
    {"MAC1.CTRL", CHIP_MAP_FOUND, LC7_MAC1, LC7_MAC_CTRL, 0, 0x2000, 0, 32},
    {"MAC0.CTRL[0]", CHIP_MAP_FOUND, LC7_MAC0, LC7_MAC_CTRL, 0, 0x1000, 0, 32},
    {"MAC0.VLAN_PRIO[5].PRIO", CHIP_MAP_FOUND, LC7_MAC0, LC7_MAC_VLAN_PRIO_PRIO, 5, 0x1024, 8, 3},
    {"MAC0.VLAN_PRIO[0x7].PRIO", CHIP_MAP_FOUND, LC7_MAC0, LC7_MAC_VLAN_PRIO_PRIO, 7, 0x102C, 8, 3},
    {"MAC0.LANE_LOOPBACK.EN[37]", CHIP_MAP_FOUND, LC7_MAC0, LC7_MAC_LANE_LOOPBACK_EN, 37, 0x1044, 5, 1},
    {"MAC0.LANE_LOOPBACK[1]", CHIP_MAP_FOUND, LC7_MAC0, LC7_MAC_LANE_LOOPBACK, 1, 0x1044, 0, 32},
    {"PHY2.LANE_EQ.GAIN[5]", CHIP_MAP_FOUND, LC7_PHY2, LC7_PHY_LANE_EQ_GAIN, 5, 0x312, 4, 4},
    {"MAC0.VLAN_PRIO.PRIO", CHIP_MAP_BAD_ELEMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.VLAN_PRIO[8].PRIO", CHIP_MAP_BAD_ELEMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.VLAN_PRIO.PRIO[5]", CHIP_MAP_BAD_ELEMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.LANE_LOOPBACK[1].EN[3]", CHIP_MAP_BAD_ELEMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.LANE_LOOPBACK.EN[64]", CHIP_MAP_BAD_ELEMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.CTRL[1]", CHIP_MAP_BAD_ELEMENT, 0, 0, 0, 0, 0, 0},
    {"MAC9.CTRL", CHIP_MAP_NO_INSTANCE, 0, 0, 0, 0, 0, 0},
    {"mac0.CTRL", CHIP_MAP_NO_INSTANCE, 0, 0, 0, 0, 0, 0},
    {"MAC0.NOPE", CHIP_MAP_NO_REGISTER, 0, 0, 0, 0, 0, 0},
    {"PHY0.CTRL", CHIP_MAP_NO_REGISTER, 0, 0, 0, 0, 0, 0},
    {"MAC0.CTRL.NOPE", CHIP_MAP_NO_FIELD, 0, 0, 0, 0, 0, 0},
    {"MAC0", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {"", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {".CTRL", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0..SPEED", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.CTRL.SPEED.X", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.VLAN_PRIO[5x].PRIO", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.VLAN_PRIO[5.PRIO", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.VLAN_PRIO[].PRIO", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
    {"MAC0.VLAN_PRIO[4294967296].PRIO", CHIP_MAP_BAD_ARGUMENT, 0, 0, 0, 0, 0, 0},
};

TEST(MapLookup, NamesFindTheirAccessOrTheExactRefusal) {
  for (const Lookup &c : kLookups) {
    SCOPED_TRACE(c.name);
    chip_map_target target{};
    target.reg_id = 0xDEADBEEF;
    ASSERT_EQ(chip_map_find(&lc7_map_names, c.name, &target), c.result);
    if (c.result != CHIP_MAP_FOUND) {
      EXPECT_EQ(target.reg_id, 0xDEADBEEFu);  // untouched
      continue;
    }
    EXPECT_EQ(target.inst, c.inst);
    EXPECT_EQ(target.reg_id, c.reg_id);
    EXPECT_EQ(target.elem, c.elem);
    EXPECT_EQ(target.addr, c.addr);
    EXPECT_EQ(target.start_bit, c.start_bit);
    EXPECT_EQ(target.field_bits, c.field_bits);
    char name[64];
    ASSERT_GT(chip_map_name_of(&lc7_map_names, target.inst, target.reg_id, target.elem, name, sizeof name), 0);
    chip_map_target again{};
    ASSERT_EQ(chip_map_find(&lc7_map_names, name, &again), CHIP_MAP_FOUND);
    EXPECT_EQ(again.record, target.record);
    EXPECT_EQ(again.addr, target.addr);
    chip_map_target direct{};
    ASSERT_EQ(chip_map_target_of(&lc7_map_names, target.inst, target.reg_id, target.elem, &direct),
              CHIP_MAP_FOUND);
    EXPECT_EQ(direct.instance, target.instance);
    EXPECT_EQ(direct.record, target.record);
    EXPECT_EQ(direct.addr, target.addr);
    EXPECT_EQ(direct.start_bit, target.start_bit);
    EXPECT_EQ(direct.field_bits, target.field_bits);
    EXPECT_EQ(direct.whole_reg_id, target.whole_reg_id);
    EXPECT_EQ(direct.whole_elem, target.whole_elem);
    EXPECT_EQ(direct.rmw_zero, target.rmw_zero);
  }
  chip_map_target target{};
  EXPECT_EQ(chip_map_find(nullptr, "MAC0.CTRL", &target), CHIP_MAP_BAD_ARGUMENT);
  EXPECT_EQ(chip_map_find(&lc7_map_names, nullptr, &target), CHIP_MAP_BAD_ARGUMENT);
  EXPECT_EQ(chip_map_find(&lc7_map_names, "MAC0.CTRL", nullptr), CHIP_MAP_BAD_ARGUMENT);
}

TEST(MapLookup, AddressesFindTheRegisterThatHoldsThem) {
  const struct {
    uint32_t addr;
    const char *name;  // nullptr: no register there
  } cases[] = {
      {0x1000, "MAC0.CTRL"},         {0x1003, "MAC0.CTRL"},      {0x1004, "MAC0.FRAME_COUNT"},
      {0x102F, "MAC0.VLAN_PRIO[7]"}, {0x1030, nullptr},          {0x1047, "MAC0.LANE_LOOPBACK[1]"},
      {0x1053, "MAC0.TX_CMD"},       {0x2053, "MAC1.TX_CMD"},    {0x2054, nullptr},
      {0x303, "PHY2.STATUS"},        {0x412, "PHY3.LANE_EQ[1]"}, {0xFFFFFFFF, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.addr);
    chip_map_target target{};
    const int32_t result = chip_map_find_addr(&lc7_map_names, c.addr, &target);
    if (c.name == nullptr) {
      EXPECT_EQ(result, CHIP_MAP_NO_INSTANCE);
      continue;
    }
    ASSERT_EQ(result, CHIP_MAP_FOUND);
    char name[64];
    chip_map_name_of(&lc7_map_names, target.inst, target.reg_id, target.elem, name, sizeof name);
    EXPECT_STREQ(name, c.name);
    EXPECT_LE(target.addr, c.addr);
    EXPECT_GT(target.addr + target.reg_bytes, c.addr);
  }
}

TEST(MapLookup, NamesOfIndexesAndTheirRefusals) {
  char name[8];
  EXPECT_EQ(chip_map_name_of(&lc7_map_names, LC7_MAC0, LC7_MAC_VLAN_PRIO_PRIO, 3, name, sizeof name),
            static_cast<int32_t>(std::string("MAC0.VLAN_PRIO[3].PRIO").size()));
  EXPECT_STREQ(name, "MAC0.VL");  // cut, terminated
  EXPECT_EQ(chip_map_name_of(&lc7_map_names, 2, LC7_MAC_CTRL, 0, name, sizeof name), CHIP_MAP_NO_INSTANCE);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(chip_map_name_of(&lc7_map_names, 0, LC7_MAC_CTRL, 1, name, sizeof name), CHIP_MAP_BAD_ELEMENT);
  EXPECT_EQ(chip_map_name_of(&lc7_map_names, 0, HDK_REG_ID(0, 999), 0, name, sizeof name),
            CHIP_MAP_INCONSISTENT);
  EXPECT_EQ(chip_map_name_of(nullptr, 0, 0, 0, name, sizeof name), CHIP_MAP_BAD_ARGUMENT);
  EXPECT_EQ(chip_map_name_of(&lc7_map_names, 0, LC7_MAC_CTRL, 0, nullptr, 0), 9);  // "MAC0.CTRL"
  chip_map_target untouched{};
  untouched.addr = 0xDEADBEEF;
  EXPECT_EQ(chip_map_target_of(&lc7_map_names, 2, LC7_MAC_CTRL, 0, &untouched), CHIP_MAP_NO_INSTANCE);
  EXPECT_EQ(chip_map_target_of(&lc7_map_names, 0, LC7_MAC_CTRL, 1, &untouched), CHIP_MAP_BAD_ELEMENT);
  EXPECT_EQ(chip_map_target_of(&lc7_map_names, 0, HDK_REG_ID(0, 999), 0, &untouched),
            CHIP_MAP_INCONSISTENT);
  EXPECT_EQ(chip_map_target_of(&lc7_map_names, 0, LC7_MAC_CTRL, 0, nullptr), CHIP_MAP_BAD_ARGUMENT);
  EXPECT_EQ(chip_map_target_of(nullptr, 0, LC7_MAC_CTRL, 0, &untouched), CHIP_MAP_BAD_ARGUMENT);
  EXPECT_EQ(untouched.addr, 0xDEADBEEFu);
  chip_map_names broken = lc7_map_names;
  broken.table = nullptr;
  chip_map_target target{};
  EXPECT_EQ(chip_map_find(&broken, "MAC0.CTRL", &target), CHIP_MAP_INCONSISTENT);
  EXPECT_EQ(chip_map_find_addr(&broken, 0x1000, &target), CHIP_MAP_INCONSISTENT);
}

// Every access kind on one register, and a w1c lane array over two
// registers: the masks a field write needs, and the access kinds found.
TEST(MapLookup, AccessKindsAndReadModifyWriteMasks) {
  const std::string text = R"({"chip": "k", "buses": ["b"], "blocks": [{"name": "B", "registers": [
    {"name": "R", "offset": 0, "bytes": 4, "fields": [
      {"name": "RW", "lsb": 0, "bits": 2}, {"name": "RO", "lsb": 2, "bits": 2, "access": "ro"},
      {"name": "RC", "lsb": 4, "bits": 2, "access": "rclr"}, {"name": "C1", "lsb": 6, "bits": 3, "access": "w1c"},
      {"name": "S1", "lsb": 9, "bits": 2, "access": "w1s"}, {"name": "C0", "lsb": 11, "bits": 5, "access": "w0c"},
      {"name": "WO", "lsb": 16, "bits": 4, "access": "wo"}]},
    {"name": "L", "offset": 8, "bytes": 2, "access": "w1c", "fields": [
      {"name": "IRQ", "lsb": 1, "bits": 1, "array": {"count": 12, "stride": 3}}]}]}],
    "instances": [{"name": "I", "block": "B", "base": 256}]})";
  const chip::map::LoadedMap loaded = chip::map::load_map_text(text, "k.json");
  ASSERT_TRUE(loaded.ok());
  const auto built = chip::map::build_table(*loaded.map);
  const struct {
    const char *name;
    uint32_t access, rmw_zero, rmw_one, addr, start_bit;
  } cases[] = {
      {"I.R.RW", CHIP_MAP_ACCESS_RW, 0x7C0, 0xF800, 0x100, 0},
      {"I.R.RO", CHIP_MAP_ACCESS_RO, 0x7C0, 0xF800, 0x100, 2},
      {"I.R.RC", CHIP_MAP_ACCESS_RCLR, 0x7C0, 0xF800, 0x100, 4},
      {"I.R.C1", CHIP_MAP_ACCESS_W1C, 0x7C0, 0xF800, 0x100, 6},
      {"I.R.S1", CHIP_MAP_ACCESS_W1S, 0x7C0, 0xF800, 0x100, 9},
      {"I.R.C0", CHIP_MAP_ACCESS_W0C, 0x7C0, 0xF800, 0x100, 11},
      {"I.R.WO", CHIP_MAP_ACCESS_WO, 0x7C0, 0xF800, 0x100, 16},
      {"I.R", CHIP_MAP_ACCESS_RW, 0x7C0, 0xF800, 0x100, 0},
      // Lanes at bits 1, 4, ..., 34 of three registers: 1, 4, ..., 13 in the
      // first, 0 (lane 5 at bit 16), 3, ..., 15 in the second, 2 in the
      // third; the mask is their union, without bits 5, 8, 11 and 14.
      {"I.L.IRQ[5]", CHIP_MAP_ACCESS_W1C, 0xB6DF, 0, 0x10A, 0},
      {"I.L[2]", CHIP_MAP_ACCESS_W1C, 0xB6DF, 0, 0x10C, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    chip_map_target target{};
    ASSERT_EQ(chip_map_find(built->names(), c.name, &target), CHIP_MAP_FOUND);
    EXPECT_EQ(target.access, c.access);
    EXPECT_EQ(target.access, target.record->step >> 25);  // the record's access_type
    EXPECT_EQ(target.rmw_zero, c.rmw_zero);
    EXPECT_EQ(target.rmw_one, c.rmw_one);
    EXPECT_EQ(target.addr, c.addr);
    EXPECT_EQ(target.start_bit, c.start_bit);
  }
}

}  // namespace
