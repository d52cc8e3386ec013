// SPDX-License-Identifier: Apache-2.0
// chiputil map check|gen|show: register maps read, checked, generated into
// C tables and shown, through the map library of map/.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "checker.hpp"
#include "c_generator.hpp"
#include "cli.hpp"
#include "cmd_map_import.hpp"
#include "loader.hpp"
#include "report.hpp"
#include "show.hpp"
#include "table_builder.hpp"
#include "text.hpp"

namespace chiputil {
namespace {

constexpr const char *kHelp =
    "usage: chiputil map check FILE\n"
    "       chiputil map gen FILE -o DIR [--name NAME]\n"
    "       chiputil map show [--json] FILE\n"
    "       chiputil map import FILE.xml [-o FILE.json] [--memory-map NAME]\n"
    "\n"
    "FILE is a register map (JSON, see docs/register-map.md) or an IP-XACT component (.xml,\n"
    "see docs/ipxact-import.md), read as the map 'map import' makes of it.\n"
    "check  lists every problem of the map, one line each (FILE:LINE: error: PATH: message);\n"
    "       exit status 1 when there is an error, 0 when there are only warnings.\n"
    "gen    checks the map, then writes DIR/NAME_map.h and DIR/NAME_map.c: the register\n"
    "       table NAME_reg_table, its name table NAME_map_names and a constant per record\n"
    "       and per instance. NAME is the map's chip name unless --name gives one.\n"
    "show   prints every register and field of every instance with address, bits, access\n"
    "       and reset, in address order (--json: one JSON document).\n"
    "import writes an IP-XACT component's registers as a JSON register map.\n"
    "'chiputil map ACTION --help' describes one action.\n";

constexpr const char *kCheckHelp =
    "usage: chiputil map check FILE\n"
    "\n"
    "Reads the register map FILE and prints every problem on standard error, one line each:\n"
    "  FILE:LINE: error: block MAC / register CTRL / field SPEED: message\n"
    "then a summary. Exit status 1 when there is an error, 0 when there are only warnings.\n";

constexpr const char *kGenHelp =
    "usage: chiputil map gen FILE -o|--output DIR [--name NAME]\n"
    "\n"
    "Checks the register map FILE (as 'map check' does) and, when it has no error, writes\n"
    "DIR/NAME_map.h and DIR/NAME_map.c (C99, also clean as C++): the register table\n"
    "NAME_reg_table (set its ops_table, then hdk_register_reg), the name table\n"
    "NAME_map_names for chip_map_find, and the constants NAME_BLOCK_REGISTER[_FIELD] (reg_id),\n"
    "NAME_INSTANCE (instance index), _RESET and enumerated values, all upper case.\n"
    "NAME defaults to the map's chip name. DIR is created when missing. The files are the\n"
    "same, byte for byte, on every run.\n";

constexpr const char *kShowHelp =
    "usage: chiputil map show [--json] FILE\n"
    "\n"
    "Prints every register of every instance of the register map FILE, and every field,\n"
    "with address, bits, access and reset, in address order. An array shows its element\n"
    "count and stride. --json prints one JSON document instead. A map with errors is not\n"
    "shown (see 'chiputil map check').\n";

// Prints the findings; returns the number of errors.
size_t print_findings(const chip::map::Diagnostics &findings) {
  size_t errors = 0;
  for (const chip::map::Diagnostic &finding : findings) {
    std::fprintf(stderr, "%s\n", chip::map::format_finding(finding).c_str());
    errors += finding.severity == chip::map::Severity::error ? 1 : 0;
  }
  return errors;
}

std::string count_text(size_t count, const char *unit) {
  return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

int refuse_map(const std::string &command, const chip::map::LoadedMap &loaded) {
  const size_t errors = print_findings(loaded.findings);
  return refused(command, count_text(errors, "error") + ", " +
                              count_text(loaded.findings.size() - errors, "warning"));
}

bool write_file(const std::filesystem::path &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

int run_check(const ParsedOptions &options) {
  const std::string &file = options.operands[0];
  const chip::map::LoadedMap loaded = chip::map::load_map(file);
  if (!loaded.ok()) {
    return refuse_map("map check", loaded);
  }
  const size_t warnings = loaded.findings.size() - print_findings(loaded.findings);
  size_t registers = 0;
  size_t fields = 0;
  for (const chip::map::Block &block : loaded.map->blocks) {
    registers += block.registers.size();
    for (const chip::map::Register &reg : block.registers) {
      fields += reg.fields.size();
    }
  }
  std::printf("%s: map %s: %s, %s, %s, %s; no errors, %s\n", file.c_str(),
              loaded.map->chip.c_str(), count_text(loaded.map->blocks.size(), "block").c_str(),
              count_text(registers, "register").c_str(), count_text(fields, "field").c_str(),
              count_text(loaded.map->instances.size(), "instance").c_str(),
              count_text(warnings, "warning").c_str());
  return kExitOk;
}

int run_gen(const ParsedOptions &options) {
  if (!options.has("output")) {
    return usage_error("map gen", "missing -o DIR");
  }
  const std::string name = options.has("name") ? options.values.at("name") : "";
  const chip::map::LoadedMap loaded = chip::map::load_map(options.operands[0], name);
  if (!loaded.ok()) {
    return refuse_map("map gen", loaded);
  }
  print_findings(loaded.findings);
  chip::map::TablePlan plan = chip::map::plan_table(*loaded.map, name);
  plan.source = std::filesystem::path(options.operands[0]).filename().string();
  const chip::map::GeneratedFiles files = chip::map::generate_c(plan);
  const std::filesystem::path dir = options.values.at("output");
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    return refused("map gen", "cannot create " + chiputil::quoted(dir.string()) + ": " + error.message());
  }
  for (const auto &[file_name, text] :
       {std::pair{files.header_name, files.header}, std::pair{files.source_name, files.source}}) {
    if (!write_file(dir / file_name, text)) {
      return refused("map gen", "cannot write " + chiputil::quoted((dir / file_name).string()));
    }
  }
  std::printf("wrote %s and %s\n", (dir / files.header_name).c_str(),
              (dir / files.source_name).c_str());
  return kExitOk;
}

int run_show(const ParsedOptions &options) {
  const chip::map::LoadedMap loaded = chip::map::load_map(options.operands[0]);
  if (!loaded.ok()) {
    return refuse_map("map show", loaded);
  }
  const std::string text =
      options.has("json") ? chip::map::show_json(*loaded.map) : chip::map::show_text(*loaded.map);
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

struct Action {
  const char *name;
  const char *help;
  std::vector<OptionSpec> options;
  int (*run)(const ParsedOptions &);
};

}  // namespace

int run_map(int argc, char **argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::fputs(kHelp, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  const Action actions[] = {
      {"check", kCheckHelp, {}, run_check},
      {"gen", kGenHelp, {{"output", true, 'o'}, {"name", true}}, run_gen},
      {"show", kShowHelp, {{"json", false}}, run_show},
      {"import", kMapImportHelp, {{"output", true, 'o'}, {"memory-map", true}}, run_map_import},
  };
  const std::string name = argv[1];
  for (const Action &action : actions) {
    if (name != action.name) {
      continue;
    }
    const std::string command = "map " + name;
    const ParsedOptions options = parse_options(argc - 1, argv + 1, action.options);
    if (options.help) {
      std::fputs(action.help, stdout);
      return kExitOk;
    }
    if (!options.error.empty()) {
      return usage_error(command, options.error);
    }
    if (options.operands.size() != 1) {
      return usage_error(command, "expected one map FILE");
    }
    return action.run(options);
  }
  return usage_error("map", "unknown action " + chiputil::quoted(name) +
                                " (expected check, gen, show or import)");
}

}  // namespace chiputil
