// Log output when the heap refuses the message buffer: nothing is printed
// or written, never part of a message, and the next message goes out whole.
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::AllocFailure;

TEST(HeapRefusal, PlainBlocksAreNull) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  AllocFailure failing(2);
  EXPECT_EQ(hdk_malloc(8), nullptr);
  EXPECT_EQ(hdk_malloc_zero(8), nullptr);
}

TEST(HeapRefusal, DebugPrintsNothing) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  chip_test::PrintCapture capture;
  {
    AllocFailure failing;
    hdk_debug(0, 1, "lost %u", 1u);
  }
  EXPECT_TRUE(capture.calls().empty());
  hdk_debug(0, 1, "kept %u", 2u);
  EXPECT_EQ(capture.calls(), std::vector<std::string>{"kept 2"});
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int collect(FILE *context, const char *format, ...) {
  auto *lines = reinterpret_cast<std::vector<std::string> *>(context);
  char text[600];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  lines->emplace_back(text);
  return length;
}
#pragma GCC diagnostic pop

TEST(HeapRefusal, LogToFileWritesNothing) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  std::vector<std::string> lines;
  auto *context = reinterpret_cast<FILE *>(&lines);
  {
    AllocFailure failing;
    hdk_log_to_file(7, context, collect, "drv", "lost");
  }
  EXPECT_TRUE(lines.empty());
  hdk_log_to_file(7, context, collect, "drv", "kept");
  EXPECT_EQ(lines, std::vector<std::string>{"[drv dev=7] kept"});
}

}  // namespace
