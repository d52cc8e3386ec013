// Log output: exact texts, the level filter, the size limits, heap use and
// refusal, and hdk_file_name_cut. Random texts, levels and devices against
// a model: fuzz/fuzz_bounds_log.cpp.
#include <gtest/gtest.h>

#include <utility>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using Lines = std::vector<std::string>;

// printf until a driver registers its own print function. Only the two low
// bits of the level count; the text goes out whole, "\r\n" and lower-case
// hexadecimal included, or not at all when it passes 512 characters.
TEST(Debug, LevelFilterExactTextsAndTheLengthLimit) {
  EXPECT_EQ(g_hdk_printf_func, &printf);
  chip_test::PrintCapture capture;
  for (const uint32_t level : {0u, 4u, 8u, 1u, 2u, 3u, 5u, 0xFFFFFFFFu}) {
    hdk_debug(0xFFFFFFFF, level, "\r\n%s(%u) error code 0x%x.", "f", level, 0xABCDEF00u | level);
  }
  const std::string a512(512, 'a');
  hdk_debug(0, 1, "%s", a512.c_str());
  hdk_debug(0, 1, "%s", (a512 + "b").c_str());
  EXPECT_EQ(capture.calls(), (Lines{"\r\nf(1) error code 0xabcdef01.", "\r\nf(2) error code 0xabcdef02.",
                                    "\r\nf(3) error code 0xabcdef03.", "\r\nf(5) error code 0xabcdef05.",
                                    "\r\nf(4294967295) error code 0xffffffff.", a512}));
}

// "[name dev=N] " and the message, 511 characters at most, or nothing.
TEST(LogToFile, PrefixAndTheLengthLimit) {
  Lines lines;
  const auto write = [&lines](const char *name, const std::string &message) {
    hdk_log_to_file(3, reinterpret_cast<FILE *>(&lines), chip_test::collect_output, name, "%s",
                    message.c_str());
  };
  const std::string fits(511 - 11, 'f');  // behind "[ab dev=3] "
  const std::string name(511 - 9, 'n');   // fills "[ dev=3] " up
  write("ab", fits);
  write("ab", fits + "g");
  write(nullptr, "x=5");
  write(name.c_str(), "");
  write((name + "n").c_str(), "");
  EXPECT_EQ(lines, (Lines{"[ab dev=3] " + fits, "[(null) dev=3] x=5", "[" + name + " dev=3] "}));
}

int g_quiet_prints = 0;

// Counts what it is handed and keeps nothing, so that it touches no heap.
int quiet_print(const char *, ...) { return ++g_quiet_prints; }

// A printed message takes one buffer and releases it; a filtered one, a
// null output function or a zero size none. When the heap refuses, nothing
// is printed or written, and the next message goes out whole.
TEST(Heap, OneBufferPerPrintedMessageAndNothingWhenRefused) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const auto heap_use = [](auto call) {
    const chip_test::AllocCounter counter;
    call();
    return std::pair{counter.allocations(), counter.releases()};
  };
  const std::pair<size_t, size_t> none{0, 0}, one{1, 1};
  EXPECT_EQ(heap_use([] { hdk_free(hdk_malloc_zero(0)); }), none);
  EXPECT_EQ(heap_use([] { hdk_log_to_file(1, stdout, nullptr, "ab", "x"); }), none);
  const hdk_printf_func previous = g_hdk_printf_func;
  hdk_printf_func_register(quiet_print);
  EXPECT_EQ(heap_use([] { hdk_debug(0, 4, "%s", "filtered"); }), none);
  EXPECT_EQ(heap_use([] { hdk_debug(0, 1, "printed"); }), one);
  EXPECT_EQ(g_quiet_prints, 1);
  hdk_printf_func_register(previous);

  chip_test::PrintCapture capture;
  Lines lines;
  {
    const chip_test::AllocFailure failing(3);
    EXPECT_EQ(hdk_malloc_zero(8), nullptr);
    hdk_debug(0, 1, "lost");
    hdk_log_to_file(7, reinterpret_cast<FILE *>(&lines), chip_test::collect_output, "drv", "x");
    EXPECT_EQ(failing.remaining(), 0u);
  }
  hdk_debug(0, 1, "kept");
  EXPECT_EQ(capture.calls(), Lines{"kept"});
  EXPECT_TRUE(lines.empty());
}

// A pointer into the caller's path, behind its last '/' or '\'.
TEST(FileNameCut, PointsBehindTheLastSeparator) {
  const char *path = "a/b\\cd";
  EXPECT_EQ(hdk_file_name_cut(path), path + 4);
  EXPECT_EQ(hdk_file_name_cut(path + 4), path + 4);
  EXPECT_STREQ(hdk_file_name_cut(nullptr), "<null>");
}

}  // namespace
