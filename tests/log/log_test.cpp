// Log output: the level filter, exact texts, the size limits, heap use and
// refusal, and hdk_file_name_cut. Random texts, levels and devices against
// a model: fuzz/fuzz_bounds_log.cpp.
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using Lines = std::vector<std::string>;

// Only the two low bits of the level count, whatever the device.
TEST(Debug, PrintsTheExactTextWhenALowBitOfTheLevelIsSet) {
  const std::pair<uint32_t, bool> levels[] = {{0, false}, {4, false},        {8, false},
                                              {1, true},  {2, true},         {3, true},
                                              {5, true},  {0xFFFFFFFF, true}};
  for (const auto &[level, printed] : levels) {
    chip_test::PrintCapture capture;
    hdk_debug(0xFFFFFFFF, level, "\r\n%s(%u, 0x%x) error code 0x%x.", "level", level, 0xABCDEFu,
              0xFFFFFFFFu);
    const std::string text =
        "\r\nlevel(" + std::to_string(level) + ", 0xabcdef) error code 0xffffffff.";
    EXPECT_EQ(capture.calls(), printed ? Lines{text} : Lines{}) << level;
  }
}

// hdk_debug prints 512 characters at most, hdk_log_to_file "[name dev=N] "
// and the message 511; a longer text is dropped, never printed in part.
TEST(Debug, LengthLimitsAndThePrefixOfLogToFile) {
  chip_test::PrintCapture capture;
  const std::string a512(512, 'a');
  hdk_debug(0, 1, "%s", a512.c_str());
  hdk_debug(0, 1, "%s", (a512 + "b").c_str());
  EXPECT_EQ(capture.calls(), Lines{a512});

  const auto written = [](const char *name, const std::string &message) {
    Lines lines;
    hdk_log_to_file(3, reinterpret_cast<FILE *>(&lines), chip_test::collect_output, name, "%s",
                    message.c_str());
    return lines;
  };
  const std::string fits(511 - 11, 'f');  // behind "[ab dev=3] "
  const std::string name(511 - 9, 'n');   // fills "[ dev=3] " up
  EXPECT_EQ(written("ab", "x=5"), Lines{"[ab dev=3] x=5"});
  EXPECT_EQ(written("ab", fits), Lines{"[ab dev=3] " + fits});
  EXPECT_EQ(written("ab", fits + "g"), Lines{});
  EXPECT_EQ(written(nullptr, fits.substr(4)), Lines{"[(null) dev=3] " + fits.substr(4)});
  EXPECT_EQ(written(name.c_str(), ""), Lines{"[" + name + " dev=3] "});
  EXPECT_EQ(written((name + "n").c_str(), ""), Lines{});
}

TEST(Debug, DefaultPrintfNullFormatAndPrivateSlot) {
  EXPECT_EQ(g_hdk_printf_func, &printf);
  testing::internal::CaptureStdout();
  hdk_debug(0, 1, "\r\nto stdout %d", 7);
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\r\nto stdout 7");
  chip_test::PrintCapture capture;
  const char *no_format = nullptr;
  hdk_debug(0, 1, no_format);
  EXPECT_TRUE(capture.calls().empty());
  // Stored for the drivers, null from load time.
  EXPECT_EQ(g_hdk_private_log_func, nullptr);
  hdk_private_log_func_register(&abort);
  EXPECT_EQ(g_hdk_private_log_func, &abort);
}

int g_quiet_prints = 0;

// Counts what it is handed and keeps nothing, so that it touches no heap.
int quiet_print(const char *, ...) { return ++g_quiet_prints; }

// A zero size, a filtered message or a null output function touches no heap;
// a message takes one buffer and releases it, even with no print function.
// When the heap refuses, nothing is printed or written, and the next
// message goes out whole.
TEST(Heap, OneBufferPerMessageAndNothingWhenRefused) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const auto heap_use = [](auto call) {
    const chip_test::AllocCounter counter;
    call();
    return std::pair{counter.allocations(), counter.releases()};
  };
  const std::pair<size_t, size_t> none{0, 0}, one{1, 1};
  EXPECT_EQ(heap_use([] { hdk_free(hdk_malloc(0)); }), none);
  EXPECT_EQ(heap_use([] { hdk_free(hdk_malloc_zero(0)); }), none);
  EXPECT_EQ(heap_use([] { hdk_log_to_file(1, stdout, nullptr, "ab", "x"); }), none);
  const hdk_printf_func previous = g_hdk_printf_func;
  EXPECT_EQ(hdk_printf_func_register(quiet_print), 0);
  EXPECT_EQ(heap_use([] { hdk_debug(0, 4, "%s", "filtered"); }), none);
  EXPECT_EQ(heap_use([] { hdk_debug(0, 1, "printed"); }), one);
  EXPECT_EQ(g_quiet_prints, 1);
  EXPECT_EQ(hdk_printf_func_register(nullptr), 0);
  EXPECT_EQ(heap_use([] { hdk_debug(0, 1, "not printed"); }), one);
  EXPECT_EQ(hdk_printf_func_register(previous), 0);

  chip_test::PrintCapture capture;
  Lines lines;
  {
    chip_test::AllocFailure failing(4);
    EXPECT_EQ(hdk_malloc(8), nullptr);
    EXPECT_EQ(hdk_malloc_zero(8), nullptr);
    hdk_debug(0, 1, "lost");
    hdk_log_to_file(7, reinterpret_cast<FILE *>(&lines), chip_test::collect_output, "drv", "x");
    EXPECT_EQ(failing.remaining(), 0u);
  }
  hdk_debug(0, 1, "kept");
  EXPECT_EQ(capture.calls(), Lines{"kept"});
  EXPECT_TRUE(lines.empty());

  // The zeroed block follows a dirtied one, so that a missing fill shows.
  auto *dirty = static_cast<unsigned char *>(hdk_malloc(513));
  std::fill_n(dirty, 513, 0xA5);
  hdk_free(dirty);
  auto *block = static_cast<unsigned char *>(hdk_malloc_zero(513));
  EXPECT_TRUE(std::all_of(block, block + 513, [](unsigned char b) { return b == 0; }));
  hdk_free(block);
}

TEST(FileNameCut, PointsBehindTheLastSeparator) {
  const std::pair<const char *, size_t> cases[] = {
      {"dir/sub/file", 8}, {"dir\\file", 4}, {"a/b\\cd", 4}, {"/x", 1},
      {"file", 0},         {"dir/", 4},      {"", 0}};
  for (const auto &[path, offset] : cases) {
    EXPECT_EQ(hdk_file_name_cut(path), path + offset) << path;
  }
  EXPECT_STREQ(hdk_file_name_cut(nullptr), "<null>");
}

}  // namespace
