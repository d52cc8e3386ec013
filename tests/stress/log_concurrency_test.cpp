// Log output from many threads at once: hdk_debug through a print function
// that is safe to call from any thread, and hdk_log_to_file with an output
// function and context per thread. Every line must arrive exactly once,
// whole and unchanged.
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "support/print_capture.hpp"

namespace {

constexpr unsigned kThreads = 8;
constexpr unsigned kLinesPerThread = 400;

std::string line_of(unsigned thread, unsigned line) {
  char text[64];
  std::snprintf(text, sizeof text, "thread %u line %u of %s\n", thread, line, "many");
  return text;
}

TEST(LogStress, EveryDebugLineArrivesExactlyOnce) {
  chip_test::PrintCapture capture;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &start] {
      start.arrive_and_wait();
      for (unsigned line = 0; line < kLinesPerThread; ++line) {
        // Level 0 is filtered out and must never show up; levels 1 to 3
        // print (the device number plays no part).
        hdk_debug(t, 0, "thread %u line %u dropped\n", t, line);
        hdk_debug(t, 1 + line % 3, "thread %u line %u of %s\n", t, line, "many");
      }
    });
  }
  for (auto &thread : threads) thread.join();

  std::vector<std::string> expected;
  for (unsigned t = 0; t < kThreads; ++t) {
    for (unsigned line = 0; line < kLinesPerThread; ++line) expected.push_back(line_of(t, line));
  }
  std::vector<std::string> printed = capture.calls();
  std::sort(printed.begin(), printed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(printed, expected);
  // Every call handed the text over as ("%s", text).
  const auto &formats = capture.formats();
  EXPECT_EQ(std::count(formats.begin(), formats.end(), "%s"),
            static_cast<std::ptrdiff_t>(formats.size()));
}

TEST(LogStress, LogToFileKeepsEachThreadsLinesInOrder) {
  std::vector<std::vector<std::string>> collected(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &collected, &start] {
      start.arrive_and_wait();
      auto *context = reinterpret_cast<FILE *>(&collected[t]);
      for (unsigned line = 0; line < kLinesPerThread; ++line) {
        hdk_log_to_file(100 + t, context, chip_test::collect_output, "stress", "line %u of %s\n",
                        line, "many");
      }
    });
  }
  for (auto &thread : threads) thread.join();

  for (unsigned t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    ASSERT_EQ(collected[t].size(), kLinesPerThread);
    for (unsigned line = 0; line < kLinesPerThread; ++line) {
      EXPECT_EQ(collected[t][line], "[stress dev=" + std::to_string(100 + t) + "] line " +
                                        std::to_string(line) + " of many\n");
    }
  }
}

}  // namespace
