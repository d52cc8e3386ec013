// Replays a fuzz target without libFuzzer: runs LLVMFuzzerTestOneInput once
// over every file of the directories (or the single files) given on the
// command line, in name order. Each input is handed over in a heap block of
// exactly its size, as libFuzzer does, so that a sanitizer build sees any
// read past its end. A failed invariant aborts inside the target; a path
// that cannot be read makes the run fail.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

bool run_file(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  // An empty input still gets a distinct, zero-sized block.
  const std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), input.get());
  LLVMFuzzerTestOneInput(input.get(), bytes.size());
  return true;
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
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR_OR_FILE...\n", argv[0]);
    return 2;
  }
  size_t runs = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const fs::path path(argv[i]);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      for (const fs::path &file : inputs_of(path, error)) {
        ok = run_file(file) && ok;
        ++runs;
      }
      if (error) {
        std::fprintf(stderr, "cannot list %s: %s\n", path.c_str(), error.message().c_str());
        ok = false;
      }
    } else {
      ok = run_file(path) && ok;
      ++runs;
    }
  }
  std::printf("%zu inputs replayed\n", runs);
  return ok ? 0 : 1;
}
