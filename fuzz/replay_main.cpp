// SPDX-License-Identifier: Apache-2.0
// Replays a fuzz target without libFuzzer: `replay DRAWS FILE...` runs
// LLVMFuzzerTestOneInput on every file, then on DRAWS inputs drawn from a
// fixed seed: a replayed input with one to four bytes changed and sometimes
// cut, or (one time in four) up to 256 fresh bytes. So every ordinary build
// runs a short, repeatable randomized test of the target's model. The
// environment variable CHIP_UTIL_FUZZ_REPLAY_DRAWS, when set, replaces
// DRAWS: with 0 only the committed inputs run, which shows whether they
// alone pin every case the model checks. Each input is handed over in a
// heap block of exactly its size, as libFuzzer does. A failed invariant
// aborts inside the target; a file that cannot be read fails the run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

using Bytes = std::vector<uint8_t>;

static void run(const Bytes &input) {
  const Bytes block(input);  // its heap block holds exactly the input
  LLVMFuzzerTestOneInput(block.data(), block.size());
}

int main(int argc, char **argv) {
  std::vector<Bytes> replayed;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) return std::fprintf(stderr, "cannot read %s\n", argv[i]), 1;
    run(replayed.emplace_back(std::istreambuf_iterator<char>(in),
                              std::istreambuf_iterator<char>()));
  }
  const char *const draws_override = std::getenv("CHIP_UTIL_FUZZ_REPLAY_DRAWS");
  const char *const draws_text = draws_override != nullptr ? draws_override : argc > 1 ? argv[1] : "0";
  const unsigned long draws = std::strtoul(draws_text, nullptr, 10);
  std::mt19937 rng(20261206u);
  const auto below = [&rng](size_t bound) { return static_cast<size_t>(rng() % bound); };
  for (unsigned long i = 0; i < draws; ++i) {
    const bool fresh = replayed.empty() || below(4) == 0;
    Bytes input = fresh ? Bytes(below(257)) : replayed[below(replayed.size())];
    for (size_t n = fresh ? input.size() : 1 + below(4); n > 0 && !input.empty(); --n)
      input[fresh ? n - 1 : below(input.size())] = static_cast<uint8_t>(rng());
    if (!fresh && below(4) == 0) input.resize(below(input.size() + 1));
    run(input);
  }
  std::printf("%zu inputs replayed, %lu drawn\n", replayed.size(), draws);
  return 0;
}
