// Log output: the level filter, the exact texts handed to the print and
// output functions, the size limits, the heap wrappers and hdk_file_name_cut.
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <string>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::PrintCapture;

TEST(Heap, MallocZeroClearsEveryByte) {
  for (uint32_t size : {1u, 513u, 4096u}) {
    // Dirty the heap first so that a missing fill would show.
    void *dirty = hdk_malloc(size);
    ASSERT_NE(dirty, nullptr);
    std::fill_n(static_cast<unsigned char *>(dirty), size, 0xA5);
    hdk_free(dirty);
    auto *block = static_cast<unsigned char *>(hdk_malloc_zero(size));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(std::all_of(block, block + size, [](unsigned char b) { return b == 0; })) << size;
    hdk_free(block);
  }
}

// Only the two low bits of the level count, whatever the device.
TEST(Debug, PrintsTheExactTextWhenALowBitOfTheLevelIsSet) {
  struct Case {
    uint32_t dev;
    uint32_t level;
    int32_t check;
  };
  const Case cases[] = {{0, 0, 0}, {0, 4, 0}, {7, 8, 0}, {0, 1, 1}, {0, 6, 2}, {0xFFFFFFFF, 6, 2},
                        {3, 3, 3}, {7, 5, 1}, {7, 0xFFFFFFFF, 3}};
  for (const Case &c : cases) {
    EXPECT_EQ(hdk_log_level_check(c.dev, c.level), c.check) << c.level;
    PrintCapture capture;
    hdk_debug(c.dev, c.level, "\r\n%s(%u, 0x%x) error code 0x%x.", "level", c.level, 0x800000u,
              0xFFFFFFFFu);
    if (c.check == 0) {
      EXPECT_TRUE(capture.calls().empty()) << c.level;
      continue;
    }
    ASSERT_EQ(capture.calls().size(), 1u) << c.level;
    EXPECT_EQ(capture.calls()[0], "\r\nlevel(" + std::to_string(c.level) +
                                      ", 0x800000) error code 0xffffffff.");
    EXPECT_EQ(capture.formats()[0], "%s");
  }
}

TEST(Debug, PrintsUpTo512CharactersWholeAndDropsLonger) {
  PrintCapture capture;
  const std::string exact(512, 'a');
  const std::string longer(513, 'b');
  hdk_debug(0, 1, "%s", exact.c_str());
  hdk_debug(0, 1, "%s", longer.c_str());
  ASSERT_EQ(capture.calls().size(), 1u) << "a message is never printed in part";
  EXPECT_EQ(capture.calls()[0], exact);
}

// A zero size, a filtered message or a null output function touches no heap;
// a printed message takes one buffer and releases it, even with no print
// function.
TEST(Heap, Use) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const hdk_printf_func previous = g_hdk_printf_func;
  {
    PrintCapture capture;
    const chip_test::AllocCounter counter;
    EXPECT_EQ(hdk_malloc(0), nullptr);
    EXPECT_EQ(hdk_malloc_zero(0), nullptr);
    hdk_free(nullptr);
    hdk_debug(0, 4, "%s", "never formatted");
    hdk_log_to_file(1, stdout, nullptr, "ab", "x");
    EXPECT_EQ(counter.allocations(), 0u);
    EXPECT_EQ(counter.releases(), 0u);
    EXPECT_TRUE(capture.calls().empty());
  }
  hdk_printf_func_register(nullptr);
  {
    const chip_test::AllocCounter counter;
    hdk_debug(0, 1, "x");
    EXPECT_EQ(counter.allocations(), 1u);
    EXPECT_EQ(counter.releases(), 1u);
  }
  hdk_printf_func_register(previous);
}

TEST(Debug, NullPrintFunctionOrFormatPrintsNothingAndRegisterReturnsZero) {
  PrintCapture capture;
  const hdk_printf_func previous = g_hdk_printf_func;
  const char *no_format = nullptr;
  hdk_debug(0, 1, no_format);
  EXPECT_EQ(hdk_printf_func_register(nullptr), 0);
  EXPECT_EQ(g_hdk_printf_func, nullptr);
  hdk_debug(0, 1, "dropped");
  EXPECT_EQ(hdk_printf_func_register(previous), 0);
  EXPECT_EQ(g_hdk_printf_func, previous);
  EXPECT_TRUE(capture.calls().empty());
}

TEST(Debug, DefaultPrintFunctionIsPrintfOnStandardOutput) {
  EXPECT_EQ(g_hdk_printf_func, &printf);
  testing::internal::CaptureStdout();
  hdk_debug(0, 1, "\r\nto stdout %d", 7);
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\r\nto stdout 7");
}

struct FileCall {
  FILE *context;
  std::string format;
  std::string text;
};
std::vector<FileCall> g_file_calls;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int capture_output(FILE *context, const char *format, ...) {
  va_list args;
  va_start(args, format);
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_file_calls.push_back({context, format, text});
  return 0;
}
#pragma GCC diagnostic pop

// "[name dev=N] " and the message, 511 characters at most in all, or nothing.
TEST(LogToFile, PrefixAndMessageUpTo511Characters) {
  const std::string fits(511 - std::string("[ab dev=3] ").size(), 'f');
  const std::string name_fills(511 - std::string("[ dev=3] ").size(), 'n');
  const std::string name_overflows = name_fills + "n";
  struct Case {
    const char *name;
    std::string message;
    std::string written;  // empty: nothing is written
  };
  const Case cases[] = {
      {"ab", "x=5", "[ab dev=3] x=5"},
      {nullptr, "m", "[(null) dev=3] m"},
      {"ab", fits, "[ab dev=3] " + fits},
      {"ab", fits + "g", ""},
      {name_fills.c_str(), "", "[" + name_fills + " dev=3] "},
      {name_overflows.c_str(), "", ""},
  };
  auto *context = reinterpret_cast<FILE *>(0x1234);
  for (const Case &c : cases) {
    g_file_calls.clear();
    hdk_log_to_file(3, context, &capture_output, c.name, "%s", c.message.c_str());
    if (c.written.empty()) {
      EXPECT_TRUE(g_file_calls.empty()) << c.message.size();
      continue;
    }
    ASSERT_EQ(g_file_calls.size(), 1u) << c.written;
    EXPECT_EQ(g_file_calls[0].context, context) << "the context is passed through";
    EXPECT_EQ(g_file_calls[0].format, "%s");
    EXPECT_EQ(g_file_calls[0].text, c.written);
  }
}

TEST(PrivateLogSlot, StoresWhatIsRegistered) {
  EXPECT_EQ(g_hdk_private_log_func, nullptr) << "null from load time";
  const hdk_private_log_func func = [] {};
  hdk_private_log_func_register(func);
  EXPECT_EQ(g_hdk_private_log_func, func);
  hdk_private_log_func_register(nullptr);
  EXPECT_EQ(g_hdk_private_log_func, nullptr);
}

TEST(FileNameCut, PointsBehindTheLastSeparator) {
  struct Case {
    const char *path;
    size_t expected_offset;
  };
  const Case cases[] = {{"dir/sub/file", 8}, {"dir\\file", 4}, {"a/b\\cd", 4}, {"/x", 1},
                        {"file", 0},         {"dir/", 4},      {"", 0}};
  for (const Case &c : cases) {
    EXPECT_EQ(hdk_file_name_cut(c.path), c.path + c.expected_offset) << c.path;
  }
  EXPECT_STREQ(hdk_file_name_cut(nullptr), "<null>");
}

}  // namespace
