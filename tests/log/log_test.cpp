// Log output: the level filter, the exact texts handed to the print and
// output functions, the size limits and hdk_file_name_cut.
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::PrintCapture;

TEST(LogLevel, OnlyTheTwoLowBitsCount) {
  EXPECT_EQ(hdk_log_level_check(0, 6), 2);
  EXPECT_EQ(hdk_log_level_check(0xFFFFFFFF, 6), 2);
  EXPECT_EQ(hdk_log_level_check(7, 0xFFFFFFFF), 3);
  EXPECT_EQ(hdk_log_level_check(7, 4), 0);
}

class DebugLevel : public ::testing::TestWithParam<std::pair<uint32_t, bool>> {};

TEST_P(DebugLevel, PrintsExactlyWhenALowBitIsSet) {
  const auto [level, printed] = GetParam();
  PrintCapture capture;
  hdk_debug(3, level, "\r\nlevel %u", level);
  if (printed) {
    ASSERT_EQ(capture.calls().size(), 1u);
    EXPECT_EQ(capture.calls()[0], "\r\nlevel " + std::to_string(level));
    EXPECT_EQ(capture.formats()[0], "%s");
  } else {
    EXPECT_TRUE(capture.calls().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, DebugLevel,
                         ::testing::Values(std::pair{0u, false}, std::pair{4u, false},
                                           std::pair{8u, false}, std::pair{1u, true},
                                           std::pair{2u, true}, std::pair{3u, true},
                                           std::pair{5u, true}, std::pair{0xFFFFFFFFu, true}));

TEST(Debug, FilteredLevelAllocatesNothing) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  PrintCapture capture;
  const chip_test::AllocCounter counter;
  hdk_debug(0, 4, "%s", "never formatted");
  EXPECT_EQ(counter.allocations(), 0u);
  EXPECT_TRUE(capture.calls().empty());
}

TEST(Debug, PrintedMessageTakesAndReleasesOneBuffer) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const hdk_printf_func previous = g_hdk_printf_func;
  hdk_printf_func_register(nullptr);  // the buffer is still taken, formatted and released
  {
    const chip_test::AllocCounter counter;
    hdk_debug(0, 1, "x");
    EXPECT_EQ(counter.allocations(), 1u);
    EXPECT_EQ(counter.releases(), 1u);
  }
  hdk_printf_func_register(previous);
}

TEST(Debug, RegisterMessageFormatIsExact) {
  PrintCapture capture;
  hdk_debug(0, 1, "\r\n%s(%u, %u, 0x%x, %u) error code 0x%x.", "hdk_access_reg_field", 0u, 1u,
            0x00800000u, 0u, 0x2u);
  hdk_debug(3, 1, "\r\n%s(%u, %u, 0x%x, %u, %u) error code 0x%x.", "hdk-write-reg32-field", 3u,
            0u, 0x5u, 0u, 8u, 0xFFFFFFFFu);
  ASSERT_EQ(capture.calls().size(), 2u);
  EXPECT_EQ(capture.calls()[0], "\r\nhdk_access_reg_field(0, 1, 0x800000, 0) error code 0x2.");
  EXPECT_EQ(capture.calls()[1],
            "\r\nhdk-write-reg32-field(3, 0, 0x5, 0, 8) error code 0xffffffff.");
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

TEST(Debug, NullPrintFunctionSilencesAndRegisterAlwaysReturnsZero) {
  const hdk_printf_func previous = g_hdk_printf_func;
  EXPECT_EQ(hdk_printf_func_register(nullptr), 0);
  EXPECT_EQ(g_hdk_printf_func, nullptr);
  hdk_debug(0, 1, "dropped");
  EXPECT_EQ(hdk_printf_func_register(previous), 0);
  EXPECT_EQ(g_hdk_printf_func, previous);
}

TEST(Debug, DefaultPrintFunctionIsPrintfOnStandardOutput) {
  EXPECT_EQ(g_hdk_printf_func, &printf);
  testing::internal::CaptureStdout();
  hdk_debug(0, 1, "\r\nto stdout %d", 7);
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\r\nto stdout 7");
}

TEST(Debug, NullFormatPrintsNothing) {
  PrintCapture capture;
  const char *no_format = nullptr;
  hdk_debug(0, 1, no_format);
  EXPECT_TRUE(capture.calls().empty());
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

TEST(LogToFile, PrefixesNameAndDevice) {
  g_file_calls.clear();
  auto *context = reinterpret_cast<FILE *>(0x1234);
  hdk_log_to_file(3, context, &capture_output, "ab", "x=%d", 5);
  ASSERT_EQ(g_file_calls.size(), 1u);
  EXPECT_EQ(g_file_calls[0].context, context) << "the context is passed through";
  EXPECT_EQ(g_file_calls[0].format, "%s");
  EXPECT_EQ(g_file_calls[0].text, "[ab dev=3] x=5");
  EXPECT_EQ(g_file_calls[0].text.size(), 14u);
}

TEST(LogToFile, HoldsAtMost511CharactersWithThePrefix) {
  g_file_calls.clear();
  const std::string prefix = "[ab dev=3] ";
  const std::string fits(511 - prefix.size(), 'f');
  const std::string too_long(512 - prefix.size(), 'g');
  hdk_log_to_file(3, nullptr, &capture_output, "ab", "%s", fits.c_str());
  hdk_log_to_file(3, nullptr, &capture_output, "ab", "%s", too_long.c_str());
  ASSERT_EQ(g_file_calls.size(), 1u);
  EXPECT_EQ(g_file_calls[0].text, prefix + fits);
}

TEST(LogToFile, PrefixThatLeavesNoRoomDropsTheMessage) {
  g_file_calls.clear();
  const std::string name_fills(511 - std::string("[ dev=3] ").size(), 'n');
  hdk_log_to_file(3, nullptr, &capture_output, name_fills.c_str(), "%s", "");
  ASSERT_EQ(g_file_calls.size(), 1u) << "a 511-character prefix with an empty message fits";
  EXPECT_EQ(g_file_calls[0].text.size(), 511u);
  const std::string name_overflows(name_fills + "n");
  hdk_log_to_file(3, nullptr, &capture_output, name_overflows.c_str(), "%s", "");
  EXPECT_EQ(g_file_calls.size(), 1u);
}

TEST(LogToFile, NullOutputFunctionDoesNothing) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const chip_test::AllocCounter counter;
  hdk_log_to_file(1, stdout, nullptr, "ab", "x");
  EXPECT_EQ(counter.allocations(), 0u);
}

TEST(LogToFile, FprintfCanBePassedDirectly) {
  FILE *stream = tmpfile();
  ASSERT_NE(stream, nullptr);
  hdk_log_to_file(12, stream, &fprintf, "mac", "link %s", "up");
  rewind(stream);
  char text[64] = {};
  ASSERT_NE(fgets(text, sizeof text, stream), nullptr);
  fclose(stream);
  EXPECT_STREQ(text, "[mac dev=12] link up");
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
