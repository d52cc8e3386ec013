// SPDX-License-Identifier: Apache-2.0
// Log output: one exact text, a text that cannot be formatted, the default
// print function, heap use and refusal. Random texts, names and devices,
// with every kind of level on each, are checked against a model by
// fuzz/fuzz_bounds_log.cpp, with the 512- and 511-character limits, the
// "[name dev=N] " prefix and hdk_file_name_cut's pointer pinned as seeds.
#include <gtest/gtest.h>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

// printf until a driver registers its own print function. The text goes out
// whole, "\r\n" and lower-case hexadecimal included, or not at all when
// it cannot be formatted (a wide character the "C" locale cannot encode).
TEST(Debug, ExactTextOrNothing) {
  EXPECT_EQ(g_hdk_printf_func, &printf);
  chip_test::PrintCapture capture;
  hdk_debug(0xFFFFFFFF, 0xFFFFFFFF, "\r\n%s(%u) error code 0x%x.", "f", 5u, 0xABCDEF05u);
  hdk_debug(0, 1, "%ls", L"a\u0100");
  EXPECT_EQ(capture.calls(), std::vector<std::string>{"\r\nf(5) error code 0xabcdef05."});
}

static int g_prints = 0;

// Count what they are handed and keep nothing, so that they touch no heap.
static int counting_print(const char *, ...) { return ++g_prints; }
static int counting_output(FILE *, const char *, ...) { return ++g_prints; }

// A printed message takes one buffer and releases it; a filtered one, a
// null output function or a zero size none. When the heap refuses, nothing
// is printed or written, and the next message goes out.
TEST(Heap, OneBufferPerPrintedMessageAndNothingWhenRefused) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  hdk_printf_func_register(counting_print);
  {
    const chip_test::AllocCounter counter;
    hdk_free(hdk_malloc_zero(0));
    hdk_log_to_file(1, stdout, nullptr, "ab", "x");
    hdk_debug(0, 4, "%s", "filtered");
    EXPECT_EQ(counter.allocations() + counter.releases(), 0u);
    hdk_debug(0, 1, "printed");
    EXPECT_EQ(std::pair(counter.allocations(), counter.releases()), (std::pair<size_t, size_t>(1, 1)));
  }
  {
    const chip_test::AllocFailure failing(2);
    hdk_debug(0, 1, "lost");
    hdk_log_to_file(7, stdout, counting_output, "drv", "x");
    EXPECT_EQ(failing.remaining(), 0u);
  }
  hdk_debug(0, 1, "kept");
  EXPECT_EQ(g_prints, 2);  // "printed" and "kept"
  hdk_printf_func_register(&printf);
}
