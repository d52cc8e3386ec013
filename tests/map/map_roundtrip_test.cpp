// SPDX-License-Identifier: Apache-2.0
// The generator proved by its results, not restated: randomized maps are
// built into tables, registered on the simulated chip, and random fields
// and elements, named as a user names them, are written and read through
// the library. Every access must reach exactly the address and bits that a
// small reference model of the map gives, and the name and address lookups
// must agree. The example's table, compiled from generated C, must be the
// in-memory table record for record.
#include <chip_util/chip_util.h>
#include <chip_util/sim.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "c_generator.hpp"
#include "lc7_map.h"
#include "loader.hpp"
#include "table_builder.hpp"

namespace {

using nlohmann::json;
constexpr uint32_t kDev = 9;

// One random map: blocks of 2- or 4-byte registers, some register arrays
// (strides up or down), some registers holding one lane array of fields
// that runs over several registers, the others random non-overlapping
// fields of random access kinds; instances on two buses.
json random_map(std::mt19937 &rng) {
  auto below = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  const char *kinds[] = {"rw", "ro", "rclr", "w1c", "w1s", "w0c", "wo"};
  json blocks = json::array();
  json instances = json::array();
  uint32_t base = 0x1000;
  const uint32_t block_count = 1 + below(3);
  for (uint32_t b = 0; b < block_count; ++b) {
    const uint32_t bytes = below(2) ? 4 : 2;
    const uint32_t width = 8 * bytes;
    json registers = json::array();
    uint32_t offset = 0x40;  // room for negative strides below
    for (uint32_t r = 0, count = 1 + below(6); r < count; ++r) {
      json reg = {{"name", "R" + std::to_string(r)}, {"offset", offset}, {"bytes", bytes},
                  {"access", kinds[below(7)]}};
      json fields = json::array();
      uint32_t span = 1;
      const uint32_t shape = below(3);
      if (shape == 0) {  // a lane array over up to three registers
        const uint32_t bits = 1 + below(4);
        const uint32_t stride = bits + below(3);
        uint32_t lanes = 0;
        while (lanes < 3 * width / stride) {
          const uint32_t p = stride * lanes;
          if (p % width + bits > width) break;
          ++lanes;
        }
        fields.push_back({{"name", "LANE"}, {"lsb", 0}, {"bits", bits}, {"access", kinds[below(7)]},
                          {"array", {{"count", lanes}, {"stride", stride}}}});
        span = (stride * (lanes - 1)) / width + 1;
      } else {
        if (shape == 1) {
          const int32_t step = static_cast<int32_t>(bytes * (1 + below(2))) * (below(2) ? 1 : -1);
          const uint32_t n = 1 + below(5);
          reg["array"] = {{"count", n}, {"stride", step}};
          if (step < 0) {
            reg["offset"] = offset + static_cast<uint32_t>(-step) * (n - 1);
          }
          span = static_cast<uint32_t>(std::abs(step)) * n / bytes + 1;
        }
        for (uint32_t lsb = below(3), f = 0; lsb < width; ++f) {
          const uint32_t bits = 1 + below(std::min<uint32_t>(width - lsb, 9));
          fields.push_back({{"name", "F" + std::to_string(f)}, {"lsb", lsb}, {"bits", bits},
                            {"access", kinds[below(7)]}});
          lsb += bits + below(4);
        }
      }
      reg["fields"] = fields;
      registers.push_back(reg);
      offset += bytes * (span + 1);
    }
    blocks.push_back({{"name", "B" + std::to_string(b)}, {"registers", registers}});
    for (uint32_t i = 0, count = 1 + below(3); i < count; ++i) {
      instances.push_back({{"name", "B" + std::to_string(b) + "I" + std::to_string(i)},
                           {"block", "B" + std::to_string(b)},
                           {"base", base},
                           {"bus", below(2) ? "one" : "two"}});
      base += 0x1000;
    }
  }
  return {{"chip", "rt"}, {"buses", {"one", "two"}}, {"blocks", blocks}, {"instances", instances}};
}

// Where the map says element `elem` of a field (or of a whole register)
// lies: its register's address, its lowest bit and its width.
struct Spot {
  uint32_t addr;
  uint32_t bit;
  uint32_t bits;
};

Spot reference_spot(const json &inst, const json &reg, const json *field, uint32_t elem) {
  const uint32_t bytes = reg["bytes"];
  const uint32_t width = 8 * bytes;
  uint32_t addr = inst["base"].get<uint32_t>() + reg["offset"].get<uint32_t>();
  if (reg.contains("array")) {
    addr += static_cast<uint32_t>(reg["array"]["stride"].get<int32_t>() * static_cast<int32_t>(elem));
  }
  if (field == nullptr) {
    if (!reg.contains("array")) addr += elem * bytes;  // a lane array's further registers
    return {addr, 0, width};
  }
  uint32_t bit = (*field)["lsb"];
  if (field->contains("array")) {
    const uint32_t position = bit + (*field)["array"]["stride"].get<uint32_t>() * elem;
    addr += (position / width) * bytes;
    bit = position % width;
  }
  return {addr, bit, (*field)["bits"]};
}

uint32_t element_count(const json &reg, const json *field, uint32_t bytes) {
  if (reg.contains("array")) return reg["array"]["count"];
  if (field != nullptr) return field->contains("array") ? (*field)["array"]["count"].get<uint32_t>() : 1u;
  uint32_t span = 1;  // the whole register: one element per register a lane array runs over
  for (const json &f : reg["fields"]) {
    if (f.contains("array")) {
      span = (f["array"]["stride"].get<uint32_t>() * (f["array"]["count"].get<uint32_t>() - 1)) / (8 * bytes) + 1;
    }
  }
  return span;
}

std::string access_name_of(const json &inst, const json &reg, const json *field, uint32_t elem) {
  const bool reg_array = element_count(reg, nullptr, reg["bytes"]) > 1;
  std::string name = inst["name"].get<std::string>() + "." + reg["name"].get<std::string>();
  if (reg_array && (field == nullptr || reg.contains("array"))) name += "[" + std::to_string(elem) + "]";
  if (field != nullptr) {
    name += "." + (*field)["name"].get<std::string>();
    if (field->contains("array")) name += "[" + std::to_string(elem) + "]";
  }
  return name;
}

TEST(MapRoundTrip, RandomFieldsReachTheAddressAndBitsOfTheMap) {
  std::mt19937 rng(1685);
  for (int map_round = 0; map_round < 40; ++map_round) {
    const json doc = random_map(rng);
    SCOPED_TRACE(doc.dump());
    const chip::map::LoadedMap loaded = chip::map::load_map_text(doc.dump(1), "rt.json");
    ASSERT_TRUE(loaded.ok()) << (loaded.findings.empty() ? "" : loaded.findings[0].message);
    const auto built = chip::map::build_table(*loaded.map);
    const hdk_reg_ops ops[2] = {chip_sim_reg_ops, chip_sim_reg_ops};
    built->table()->ops_table = ops;
    ASSERT_EQ(hdk_register_reg(kDev, built->table()), 0);
    const chip_map_names *names = built->names();
    chip_sim_reset();

    for (int access = 0; access < 200; ++access) {
      const json &inst = doc["instances"][rng() % doc["instances"].size()];
      const json *block = nullptr;
      for (const json &b : doc["blocks"]) {
        if (b["name"] == inst["block"]) block = &b;
      }
      const json &reg = (*block)["registers"][rng() % (*block)["registers"].size()];
      const uint32_t bytes = reg["bytes"];
      const json *field = rng() % 4 == 0 ? nullptr : &reg["fields"][rng() % reg["fields"].size()];
      const uint32_t elem = static_cast<uint32_t>(rng() % element_count(reg, field, bytes));
      const std::string name = access_name_of(inst, reg, field, elem);
      SCOPED_TRACE(name);
      const Spot spot = reference_spot(inst, reg, field, elem);

      chip_map_target target{};
      ASSERT_EQ(chip_map_find(names, name.c_str(), &target), CHIP_MAP_FOUND);
      EXPECT_EQ(target.addr, spot.addr);
      EXPECT_EQ(target.start_bit, spot.bit);
      EXPECT_EQ(target.field_bits, spot.bits);
      char back[128];
      chip_map_name_of(names, target.inst, target.reg_id, target.elem, back, sizeof back);
      EXPECT_EQ(std::string(back), name);
      chip_map_target by_addr{};
      ASSERT_EQ(chip_map_find_addr(names, spot.addr + static_cast<uint32_t>(rng() % bytes), &by_addr), CHIP_MAP_FOUND);
      EXPECT_EQ(by_addr.reg_id, target.whole_reg_id);
      EXPECT_EQ(by_addr.elem, target.whole_elem);
      EXPECT_EQ(by_addr.instance, target.instance);

      // The write: one read (unless write-only) and one write, both at the
      // map's address, changing exactly the map's bits.
      const uint32_t mask = spot.bits == 32 ? 0xFFFFFFFFu : ((1u << spot.bits) - 1u) << spot.bit;
      const uint32_t old_word = static_cast<uint32_t>(rng()) & (bytes == 2 ? 0xFFFFu : 0xFFFFFFFFu);
      const uint32_t value = static_cast<uint32_t>(rng()) & (mask >> spot.bit);
      chip_sim_poke(kDev, spot.addr, old_word);
      chip_sim_log_clear();
      const bool write_only = (field != nullptr ? field->value("access", reg.value("access", "rw"))
                                                : reg.value("access", "rw")) == "wo";
      const bool whole = field == nullptr;
      const int32_t status =
          bytes == 4 ? hdk_write_reg32_field(kDev, target.inst, target.reg_id, elem, value)
                     : hdk_write_reg16_field(kDev, target.inst, target.reg_id, elem, static_cast<uint16_t>(value));
      ASSERT_EQ(status, 0);
      const uint32_t expected =
          whole ? value : (((write_only ? 0u : old_word) & ~mask) | (value << spot.bit));
      ASSERT_EQ(chip_sim_log_count(), whole || write_only ? 1u : 2u);
      const chip_sim_access &written = chip_sim_log()[chip_sim_log_count() - 1];
      EXPECT_EQ(written.kind, CHIP_SIM_WRITE);
      EXPECT_EQ(written.addr, spot.addr);
      EXPECT_EQ(written.width, 8 * bytes);
      EXPECT_EQ(written.value, expected & (bytes == 2 ? 0xFFFFu : 0xFFFFFFFFu));
      EXPECT_EQ(chip_sim_log()[0].addr, spot.addr);
    }
  }
}

TEST(MapRoundTrip, GeneratedExampleTableIsTheInMemoryTable) {
  std::ifstream in(LC7_MAP_FILE);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const chip::map::LoadedMap loaded = chip::map::load_map_text(text, "lc7.json");
  ASSERT_TRUE(loaded.ok());
  const auto built = chip::map::build_table(*loaded.map);
  const hdk_chip_reg_table &mine = *built->table();
  ASSERT_EQ(mine.module_num, lc7_reg_table.module_num);
  for (uint32_t m = 0; m < mine.module_num; ++m) {
    const hdk_reg_module &a = mine.modules[m];
    const hdk_reg_module &b = lc7_reg_table.modules[m];
    ASSERT_EQ(a.inst_num, b.inst_num);
    EXPECT_EQ(a.ops_index, b.ops_index);
    for (uint32_t i = 0; i < a.inst_num; ++i) {
      ASSERT_EQ(a.insts[i].reg_num, b.insts[i].reg_num);
      EXPECT_EQ(a.insts[i].base_addr, b.insts[i].base_addr);
      EXPECT_EQ(0, std::memcmp(a.insts[i].regs, b.insts[i].regs, a.insts[i].reg_num * sizeof(hdk_reg_info)));
    }
    const chip_map_module &na = built->names()->modules[m];
    const chip_map_module &nb = lc7_map_names.modules[m];
    ASSERT_EQ(na.record_num, nb.record_num);
    for (uint32_t r = 0; r < na.record_num; ++r) {
      EXPECT_STREQ(na.records[r].reg, nb.records[r].reg);
      EXPECT_EQ(na.records[r].field == nullptr, nb.records[r].field == nullptr);
      EXPECT_EQ(na.records[r].access, nb.records[r].access);
      EXPECT_EQ(na.records[r].reset, nb.records[r].reset);
      EXPECT_EQ(na.records[r].whole, nb.records[r].whole);
      EXPECT_EQ(na.records[r].rmw_zero, nb.records[r].rmw_zero);
    }
  }
  // Generation depends on the map alone: the same files every time.
  const chip::map::GeneratedFiles once = chip::map::generate_c(chip::map::plan_table(*loaded.map));
  const chip::map::GeneratedFiles again = chip::map::generate_c(chip::map::plan_table(*loaded.map));
  EXPECT_EQ(once.header, again.header);
  EXPECT_EQ(once.source, again.source);
  // The hand-written form of the same records costs as much: the table is
  // the records and nothing more.
  static_assert(sizeof(hdk_reg_info) == 28);
  EXPECT_EQ(LC7_MAC_CTRL_SPEED_S1G, 2u);
  EXPECT_EQ(LC7_PHY3, 3u);
}

}  // namespace
