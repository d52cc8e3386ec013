// SPDX-License-Identifier: Apache-2.0
// What `chiputil reg dump --map` costs on a large map, as a person runs it:
// the whole command, started as a process, on a map of 500 registers and
// 5,000 fields (5 blocks of 100 registers of 10 fields, one instance each)
// against the simulated chip. Beside it in the same run: the command that
// does nothing but start (`chiputil --version`) and the one that only reads
// and checks the map (`chiputil map check`), so that the table shows where
// the time goes. The goal for the dump is under 50 ms.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ratio_report.hpp"

extern char **environ;

namespace {

// The map, written once to a temporary file.
std::string write_map() {
  char path[] = "/tmp/chip_util_dump_bench_XXXXXX.json";
  const int fd = mkstemps(path, 5);
  if (fd < 0) return {};
  std::string text = "{\"chip\": \"big\", \"buses\": [\"mmio\"], \"blocks\": [\n";
  for (int b = 0; b < 5; ++b) {
    text += (b > 0 ? ",\n" : "") + std::string("{\"name\": \"BLK") + std::to_string(b) +
            "\", \"registers\": [\n";
    for (int r = 0; r < 100; ++r) {
      text += (r > 0 ? ",\n" : "") + std::string("{\"name\": \"R") + std::to_string(r) +
              "\", \"offset\": " + std::to_string(r * 16) + ", \"bytes\": 4, \"fields\": [";
      for (int f = 0; f < 10; ++f) {
        text += (f > 0 ? ", " : "") + std::string("{\"name\": \"F") + std::to_string(f) +
                "\", \"lsb\": " + std::to_string(f * 3) + ", \"bits\": 3, \"reset\": " +
                std::to_string(f % 8) + ", \"access\": \"" + (f % 3 == 0 ? "ro" : "rw") + "\"}";
      }
      text += "]}";
    }
    text += "]}";
  }
  text += "],\n\"instances\": [\n";
  for (int b = 0; b < 5; ++b) {
    text += (b > 0 ? ",\n" : "") + std::string("{\"name\": \"BLK") + std::to_string(b) +
            "_A\", \"block\": \"BLK" + std::to_string(b) + "\", \"base\": " +
            std::to_string(b * 0x10000) + ", \"bus\": \"mmio\"}";
  }
  text += "]}\n";
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return written ? path : std::string();
}

const std::string g_map = write_map();

// Runs chiputil with `args`, its output to /dev/null; true when it exits 0.
bool run(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  std::string program = CHIPUTIL_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string &arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

void Command(benchmark::State &state, std::vector<std::string> args) {
  if (g_map.empty()) {
    state.SkipWithError("cannot write the map");
    return;
  }
  for (std::string &arg : args) {
    if (arg == "MAP") arg = g_map;
  }
  for (auto _ : state) {
    if (!run(args)) {
      state.SkipWithError("chiputil failed");
      return;
    }
  }
}

}  // namespace

#define CHIP_COMMAND(name, ...)                                                          \
  BENCHMARK_CAPTURE(Command, name, std::vector<std::string>{__VA_ARGS__})                \
      ->Name("chiputil/" #name)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(10) \
      ->ReportAggregatesOnly()->ComputeStatistics("min", chip_bench::fastest)

CHIP_COMMAND(start, "--version");
CHIP_COMMAND(map_check, "map", "check", "MAP");
CHIP_COMMAND(reg_dump_sim, "reg", "dump", "--map", "MAP", "--bus", "sim");

int main(int argc, char **argv) {
  const int status = chip_bench::run_with_ratios(
      argc, argv, {{"chiputil/reg_dump_sim", "chiputil/map_check"}});
  if (!g_map.empty()) std::remove(g_map.c_str());
  return status;
}
