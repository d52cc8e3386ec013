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

TEST(HeapRefusal, LogToFileWritesNothing) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  std::vector<std::string> lines;
  auto *context = reinterpret_cast<FILE *>(&lines);
  {
    AllocFailure failing;
    hdk_log_to_file(7, context, chip_test::collect_output, "drv", "lost");
  }
  EXPECT_TRUE(lines.empty());
  hdk_log_to_file(7, context, chip_test::collect_output, "drv", "kept");
  EXPECT_EQ(lines, std::vector<std::string>{"[drv dev=7] kept"});
}

}  // namespace
