// The bounds-checked functions at, and one past, every capacity.
#include <chip_util/bounds.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <string>

namespace {

// A destination with guard bytes on both sides that no call may touch.
struct Guarded {
  static constexpr size_t kGuard = 8;
  std::array<unsigned char, 64 + 2 * kGuard> bytes{};
  Guarded() { bytes.fill(0xEE); }
  unsigned char *dest() { return bytes.data() + kGuard; }
  char *text() { return reinterpret_cast<char *>(dest()); }
  // True when nothing outside dest()[0 .. capacity) changed.
  bool guards_intact(size_t capacity) const {
    for (size_t i = 0; i < bytes.size(); ++i) {
      const bool inside = i >= kGuard && i < kGuard + capacity;
      if (!inside && bytes[i] != 0xEE) {
        return false;
      }
    }
    return true;
  }
};

TEST(MemsetS, FillsCountBytesWithinCapacity) {
  for (size_t capacity = 1; capacity <= 16; ++capacity) {
    for (size_t count = 0; count <= capacity + 1; ++count) {
      Guarded g;
      const int result = memset_s(g.dest(), capacity, 0x5A, count);
      EXPECT_EQ(result, count <= capacity ? 0 : ERANGE) << capacity << " " << count;
      const size_t filled = count <= capacity ? count : capacity;
      for (size_t i = 0; i < filled; ++i) {
        ASSERT_EQ(g.dest()[i], 0x5A);
      }
      EXPECT_TRUE(g.guards_intact(filled));
    }
  }
}

TEST(MemsetS, RefusesUnusableDestination) {
  Guarded g;
  EXPECT_EQ(memset_s(nullptr, 4, 0, 4), EINVAL);
  EXPECT_EQ(memset_s(g.dest(), 0, 0, 0), EINVAL);
  EXPECT_EQ(memset_s(g.dest(), CHIP_BOUNDS_MAX_CAPACITY + 1, 0, 1), ERANGE);
  EXPECT_TRUE(g.guards_intact(0));
}

TEST(MemcpyS, CopiesAtCapacityAndClearsOnePast) {
  const std::string src = "0123456789abcdef";
  for (size_t capacity = 1; capacity <= 16; ++capacity) {
    Guarded at;
    EXPECT_EQ(memcpy_s(at.dest(), capacity, src.data(), capacity), 0);
    EXPECT_EQ(std::memcmp(at.dest(), src.data(), capacity), 0);
    EXPECT_TRUE(at.guards_intact(capacity));

    Guarded past;
    EXPECT_EQ(memcpy_s(past.dest(), capacity, src.data(), capacity + 1), ERANGE);
    for (size_t i = 0; i < capacity; ++i) {
      ASSERT_EQ(past.dest()[i], 0) << "refused copy must clear the destination";
    }
    EXPECT_TRUE(past.guards_intact(capacity));
  }
}

TEST(MemcpyS, RefusesNullAndOverlap) {
  Guarded g;
  EXPECT_EQ(memcpy_s(nullptr, 4, "abcd", 4), EINVAL);
  EXPECT_EQ(memcpy_s(g.dest(), 0, "abcd", 0), EINVAL);
  EXPECT_EQ(memcpy_s(g.dest(), 4, nullptr, 4), EINVAL);
  EXPECT_EQ(std::memcmp(g.dest(), "\0\0\0\0", 4), 0);
  EXPECT_TRUE(g.guards_intact(4));

  unsigned char buffer[16] = "abcdefghijklmno";
  EXPECT_EQ(memcpy_s(buffer + 4, 8, buffer, 8), EINVAL);
  EXPECT_EQ(memcpy_s(buffer, 8, buffer + 7, 8), EINVAL);
  EXPECT_EQ(memcpy_s(buffer, 8, buffer + 8, 8), 0) << "adjacent regions do not overlap";
  EXPECT_EQ(memcpy_s(buffer, 8, "x", 0), 0);
}

TEST(StrncpyS, CopiesAndTerminatesWithinCapacity) {
  Guarded g;
  EXPECT_EQ(strncpy_s(g.text(), 6, "hello", 5), 0);
  EXPECT_STREQ(g.text(), "hello");
  EXPECT_TRUE(g.guards_intact(6));

  Guarded shorter;
  EXPECT_EQ(strncpy_s(shorter.text(), 6, "hello world", 3), 0);
  EXPECT_STREQ(shorter.text(), "hel");

  Guarded stops;
  EXPECT_EQ(strncpy_s(stops.text(), 6, "hi", 50), 0) << "stops at the source's terminator";
  EXPECT_STREQ(stops.text(), "hi");
}

TEST(StrncpyS, RefusesOnePastCapacity) {
  Guarded g;
  std::memset(g.dest(), 'q', 5);
  EXPECT_EQ(strncpy_s(g.text(), 5, "hello", 5), ERANGE) << "no room for the terminator";
  EXPECT_EQ(g.text()[0], '\0');
  EXPECT_TRUE(g.guards_intact(5));
  EXPECT_EQ(strncpy_s(nullptr, 5, "a", 1), EINVAL);
  EXPECT_EQ(strncpy_s(g.text(), 0, "a", 1), EINVAL);
  EXPECT_EQ(strncpy_s(g.text(), 5, nullptr, 1), EINVAL);
  char overlapping[8] = "abcdef";
  EXPECT_EQ(strncpy_s(overlapping + 1, 7, overlapping, 6), EINVAL);
}

TEST(SprintfS, ReturnsLengthOrRefusesWhenTerminatorDoesNotFit) {
  for (size_t capacity = 1; capacity <= 12; ++capacity) {
    Guarded g;
    const int result = sprintf_s(g.text(), capacity, "[%s=%u]", "ab", 123u);  // 8 characters
    if (capacity > 8) {
      EXPECT_EQ(result, 8);
      EXPECT_STREQ(g.text(), "[ab=123]");
    } else {
      EXPECT_EQ(result, -1) << capacity;
      EXPECT_EQ(g.text()[0], '\0');
    }
    EXPECT_TRUE(g.guards_intact(capacity));
  }
  EXPECT_EQ(sprintf_s(nullptr, 4, "x"), -1);
}

int call_vsnprintf_s(char *dest, size_t capacity, size_t max_count, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int result = vsnprintf_s(dest, capacity, max_count, format, args);
  va_end(args);
  return result;
}

TEST(VsnprintfS, WritesAtMostMaxCountAndReportsCutsWithMinusOne) {
  for (size_t capacity = 1; capacity <= 12; ++capacity) {
    Guarded g;
    const size_t max_count = capacity - 1;
    const int result = call_vsnprintf_s(g.text(), capacity, max_count, "%d-%s", 42, "abcde");
    const std::string full = "42-abcde";
    if (max_count >= full.size()) {
      EXPECT_EQ(result, static_cast<int>(full.size()));
      EXPECT_EQ(g.text(), full);
    } else {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(g.text(), full.substr(0, max_count)) << "cut text stays terminated";
    }
    EXPECT_TRUE(g.guards_intact(capacity));
  }
}

TEST(VsnprintfS, RefusesBadArguments) {
  Guarded g;
  EXPECT_EQ(call_vsnprintf_s(nullptr, 8, 7, "x"), -1);
  EXPECT_EQ(call_vsnprintf_s(g.text(), 0, 0, "x"), -1);
  EXPECT_EQ(call_vsnprintf_s(g.text(), 8, 8, "x"), -1) << "max count must be below capacity";
  EXPECT_EQ(call_vsnprintf_s(g.text(), 8, 7, nullptr), -1);
  EXPECT_TRUE(g.guards_intact(8));
}

// A wide character the "C" locale cannot encode makes the formatting fail
// (EILSEQ): both functions clear the destination and report -1 rather than
// leave a partial text behind.
TEST(FormatS, EncodingErrorLeavesAnEmptyText) {
  const wchar_t unencodable[] = {L'a', static_cast<wchar_t>(0x100), L'\0'};
  Guarded g;
  g.text()[0] = 'x';
  EXPECT_EQ(sprintf_s(g.text(), 16, "%ls", unencodable), -1);
  EXPECT_EQ(g.text()[0], '\0');
  g.text()[0] = 'x';
  EXPECT_EQ(call_vsnprintf_s(g.text(), 16, 15, "%ls", unencodable), -1);
  EXPECT_EQ(g.text()[0], '\0');
  EXPECT_TRUE(g.guards_intact(16));
}

TEST(SprintfS, NullFormatLeavesAnEmptyText) {
  const char *no_format = nullptr;
  Guarded g;
  g.text()[0] = 'x';
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  EXPECT_EQ(sprintf_s(g.text(), 8, no_format), -1);
#pragma GCC diagnostic pop
  EXPECT_EQ(g.text()[0], '\0');
  EXPECT_TRUE(g.guards_intact(8));
}

}  // namespace
