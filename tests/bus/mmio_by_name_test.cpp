// SPDX-License-Identifier: Apache-2.0
// Random writes by name over MMIO land at the bytes the map says: the
// walkthrough's map built in memory, its MACs on a memfd mapped as the BAR,
// and every field and element of it written with random values through
// chip_access_write, against a byte model of the BAR that applies each
// write where chip_map_find places it (read-only fields: refused, nothing
// changed; fields of write-only registers: the other bits written as 0).
#include <chip_util/access.h>
#include <chip_util/bus.h>
#include <chip_util/log.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "loader.hpp"
#include "table_builder.hpp"

namespace {

constexpr uint32_t kDev = 71;
constexpr size_t kBarSize = 0x3000;

// Every field name of the instances on `bus`, elements spelt out.
std::vector<std::string> field_names(const chip_map_names &names, uint32_t bus) {
  std::vector<std::string> all;
  for (uint32_t i = 0; i < names.instance_num; ++i) {
    const chip_map_instance &instance = names.instances[i];
    const hdk_reg_module &module = names.table->modules[instance.module];
    if (module.ops_index != bus) continue;
    const chip_map_module &named = names.modules[instance.module];
    const hdk_reg_info *regs = module.insts[instance.inst].regs;
    for (uint32_t r = 0; r < named.record_num; ++r) {
      const chip_map_record &record = named.records[r];
      if (record.field == nullptr) continue;
      const uint32_t reg_count = regs[record.whole].shape & 0x3FFFFFu;
      const bool field_array = (regs[r].loc & HDK_REG_BIT_INDEXED) != 0;
      const uint32_t count = field_array ? regs[r].shape & 0x3FFFFFu : reg_count;
      for (uint32_t e = 0; e < count; ++e) {
        std::string name = std::string(instance.name) + "." + record.reg;
        if (!field_array && reg_count > 1) name += "[" + std::to_string(e) + "]";
        name += std::string(".") + record.field;
        if (field_array) name += "[" + std::to_string(e) + "]";
        all.push_back(name);
      }
    }
  }
  return all;
}

TEST(MmioByName, RandomWritesLandWhereTheMapSays) {
  const chip::map::LoadedMap loaded = chip::map::load_map(LC7_MAP_FILE);
  ASSERT_TRUE(loaded.ok());
  const auto built = chip::map::build_table(*loaded.map);
  const int fd = memfd_create("lc7-bar", MFD_CLOEXEC);
  ASSERT_EQ(ftruncate(fd, kBarSize), 0);
  auto *view =
      static_cast<uint8_t *>(mmap(nullptr, kBarSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  ASSERT_EQ(chip_mmio_attach_pci(kDev, ("/proc/self/fd/" + std::to_string(fd)).c_str()), 0);
  // mmio is the map's first bus; its second (mdio) is not reached here.
  const hdk_reg_ops ops[] = {chip_mmio_reg_ops, chip_mdio_reg_ops};
  built->table()->ops_table = ops;
  ASSERT_EQ(hdk_register_reg(kDev, built->table()), 0);

  const std::vector<std::string> names = field_names(*built->names(), 0);
  ASSERT_GT(names.size(), 100u);
  std::vector<uint8_t> model(kBarSize, 0);
  std::mt19937 random(1206);
  const hdk_printf_func print = g_hdk_printf_func;
  hdk_printf_func_register(nullptr);
  for (int i = 0; i < 5000; ++i) {
    const std::string &name = names[random() % names.size()];
    chip_map_target target{};
    ASSERT_EQ(chip_map_find(built->names(), name.c_str(), &target), CHIP_MAP_FOUND) << name;
    const uint32_t mask = target.field_bits >= 32 ? ~0u : (1u << target.field_bits) - 1;
    const uint32_t value = static_cast<uint32_t>(random()) & mask;
    const bool read_only = target.access == CHIP_MAP_ACCESS_RO;
    ASSERT_EQ(chip_access_write(kDev, &target, value), read_only ? -1 : 0) << name;
    if (!read_only) {
      uint32_t word = 0;
      std::memcpy(&word, &model[target.addr], 4);  // x86: the BAR's little-endian order
      if (built->names()->modules[HDK_REG_ID_MODULE(target.reg_id)]
              .records[HDK_REG_ID_INDEX(target.whole_reg_id)]
              .access == CHIP_MAP_ACCESS_WO) {
        word = 0;
      }
      word = (word & ~(mask << target.start_bit)) | (value << target.start_bit);
      std::memcpy(&model[target.addr], &word, 4);
    }
    ASSERT_EQ(std::memcmp(view, model.data(), kBarSize), 0) << name << " = " << value;
    if (target.access != CHIP_MAP_ACCESS_WO) {
      uint32_t back = ~0u;
      ASSERT_EQ(chip_access_read(kDev, &target, &back), 0) << name;
      uint32_t word = 0;
      std::memcpy(&word, &model[target.addr], 4);
      ASSERT_EQ(back, (word >> target.start_bit) & mask) << name;
    }
  }
  hdk_printf_func_register(print);
  g_hdk_chip_reg[kDev] = nullptr;
  chip_bus_detach(kDev);
  munmap(view, kBarSize);
  close(fd);
}

}  // namespace
