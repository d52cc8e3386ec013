// SPDX-License-Identifier: Apache-2.0
// The JSON map reader, model builder and checker on any bytes: never a
// crash, every finding one printable line with a place, and a map that
// passes the checker builds into a table whose every record and instance
// is found again by its own name and by its address.
#include <chip_util/map.h>

#include <string>

#include "c_generator.hpp"
#include "fuzz_support.hpp"
#include "loader.hpp"
#include "report.hpp"
#include "table_builder.hpp"

namespace {

void check_names(const chip_map_names &names) {
  size_t checked = 0;
  for (uint32_t i = 0; i < names.instance_num && checked < 2000; ++i) {
    const chip_map_instance &instance = names.instances[i];
    const chip_map_module &module = names.modules[instance.module];
    for (uint32_t r = 0; r < module.record_num && checked < 2000; ++r, ++checked) {
      const uint32_t reg_id = HDK_REG_ID(instance.module, r);
      char name[512];
      const int32_t length = chip_map_name_of(&names, instance.inst, reg_id, 0, name, sizeof name);
      FUZZ_CHECK(length > 0);
      if (static_cast<size_t>(length) >= sizeof name) {
        continue;  // a name longer than this buffer was cut
      }
      chip_map_target target{};
      FUZZ_CHECK(chip_map_find(&names, name, &target) == CHIP_MAP_FOUND);
      FUZZ_CHECK(target.reg_id == reg_id && target.elem == 0 && target.instance == &instance);
      chip_map_target by_addr{};
      FUZZ_CHECK(chip_map_find_addr(&names, target.addr, &by_addr) == CHIP_MAP_FOUND);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  const chip::map::LoadedMap loaded = chip::map::load_map_text(text, "fuzz.json");
  for (const chip::map::Diagnostic &finding : loaded.findings) {
    const std::string line = chip::map::format_finding(finding);
    FUZZ_CHECK(!finding.message.empty());
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    FUZZ_CHECK(line.rfind("fuzz.json", 0) == 0);
  }
  if (!loaded.ok()) {
    return 0;
  }
  const chip::map::TablePlan plan = chip::map::plan_table(*loaded.map);
  const chip::map::GeneratedFiles files = chip::map::generate_c(plan);
  FUZZ_CHECK(files.header.find("extern hdk_chip_reg_table " + plan.name + "_reg_table;") !=
             std::string::npos);
  const chip::map::BuiltTable built(plan);
  check_names(*built.names());
  return 0;
}
