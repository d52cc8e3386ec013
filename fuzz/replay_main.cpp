// Replays a fuzz target without libFuzzer: runs LLVMFuzzerTestOneInput once
// over every file of the directories (or the single files) given on the
// command line, in name order, then over `--random N` inputs drawn from a
// fixed seed: each is a replayed file with a few bytes changed or cut, or
// fresh random bytes. The drawn inputs make every ordinary build a short,
// repeatable randomized test of the target's model. Each input is handed
// over in a heap block of exactly its size, as libFuzzer does, so that a
// sanitizer build sees any read past its end. A failed invariant aborts
// inside the target; a path that cannot be read makes the run fail.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

void run_input(const Bytes &bytes) {
  // An empty input still gets a distinct, zero-sized block.
  const std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), input.get());
  LLVMFuzzerTestOneInput(input.get(), bytes.size());
}

bool run_file(const fs::path &path, std::vector<Bytes> &replayed) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  replayed.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  run_input(replayed.back());
  return true;
}

// A replayed input with one to four bytes replaced and sometimes cut short,
// or (one time in four, or with nothing replayed) up to 256 fresh bytes.
Bytes draw_input(const std::vector<Bytes> &replayed, std::mt19937 &rng) {
  auto below = [&rng](size_t bound) { return static_cast<size_t>(rng() % bound); };
  if (replayed.empty() || below(4) == 0) {
    Bytes fresh(below(257));
    for (uint8_t &byte : fresh) {
      byte = static_cast<uint8_t>(rng());
    }
    return fresh;
  }
  Bytes input = replayed[below(replayed.size())];
  if (input.empty()) {
    return input;
  }
  for (size_t changes = 1 + below(4); changes > 0; --changes) {
    input[below(input.size())] = static_cast<uint8_t>(rng());
  }
  if (below(4) == 0) {
    input.resize(below(input.size() + 1));
  }
  return input;
}

// The regular files of `dir`, sorted, skipping dot files (.gitkeep).
std::vector<fs::path> inputs_of(const fs::path &dir, std::error_code &error) {
  std::vector<fs::path> files;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    const fs::path &path = it->path();
    if (it->is_regular_file() && path.filename().string().front() != '.') {
      files.push_back(path);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char **argv) {
  unsigned long random_runs = 0;
  int first_path = 1;
  if (argc > 2 && std::string(argv[1]) == "--random") {
    random_runs = std::strtoul(argv[2], nullptr, 10);
    first_path = 3;
  }
  if (argc <= first_path) {
    std::fprintf(stderr, "usage: %s [--random N] DIR_OR_FILE...\n", argv[0]);
    return 2;
  }
  size_t runs = 0;
  bool ok = true;
  std::vector<Bytes> replayed;
  for (int i = first_path; i < argc; ++i) {
    const fs::path path(argv[i]);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      for (const fs::path &file : inputs_of(path, error)) {
        ok = run_file(file, replayed) && ok;
        ++runs;
      }
      if (error) {
        std::fprintf(stderr, "cannot list %s: %s\n", path.c_str(), error.message().c_str());
        ok = false;
      }
    } else {
      ok = run_file(path, replayed) && ok;
      ++runs;
    }
  }
  std::mt19937 rng(20261206u);
  for (unsigned long i = 0; i < random_runs; ++i) {
    run_input(draw_input(replayed, rng));
  }
  std::printf("%zu inputs replayed, %lu drawn\n", runs, random_runs);
  return ok ? 0 : 1;
}
