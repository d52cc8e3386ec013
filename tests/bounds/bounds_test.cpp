// The bounds-checked functions at every capacity up to 12 and every count up
// to one past it, and their refusals.
#include <chip_util/bounds.h>

#include <gtest/gtest.h>

#include <algorithm>
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
  // True when dest() starts with `head` and no other byte changed.
  bool holds(const std::string &head) const {
    Guarded expected;
    std::copy(head.begin(), head.end(), expected.dest());
    return bytes == expected.bytes;
  }
};

int call_vsnprintf_s(char *dest, size_t capacity, size_t max_count, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int result = vsnprintf_s(dest, capacity, max_count, format, args);
  va_end(args);
  return result;
}

TEST(Bounds, EveryCountUpToOnePastTheCapacity) {
  const std::string src = "0123456789abcdef";
  for (size_t capacity = 1; capacity <= 12; ++capacity) {
    for (size_t count = 0; count <= capacity + 1; ++count) {
      SCOPED_TRACE(testing::Message() << "capacity " << capacity << ", count " << count);
      const bool fits = count <= capacity;
      const std::string head = src.substr(0, count);

      Guarded set;
      EXPECT_EQ(memset_s(set.dest(), capacity, 0x5A, count), fits ? 0 : ERANGE);
      EXPECT_TRUE(set.holds(std::string(std::min(count, capacity), '\x5A')));

      Guarded copy;  // a refused copy clears the destination
      EXPECT_EQ(memcpy_s(copy.dest(), capacity, src.data(), count), fits ? 0 : ERANGE);
      EXPECT_TRUE(copy.holds(fits ? head : std::string(capacity, '\0')));

      // The terminator must fit too; the copy stops at the source's own one.
      const bool terminated = count < capacity;
      Guarded str;
      EXPECT_EQ(strncpy_s(str.text(), capacity, src.c_str(), count), terminated ? 0 : ERANGE);
      EXPECT_TRUE(str.holds(terminated ? head + '\0' : std::string(1, '\0')));
      Guarded stops;
      EXPECT_EQ(strncpy_s(stops.text(), capacity, head.c_str(), 50), terminated ? 0 : ERANGE);
      EXPECT_TRUE(stops.holds(terminated ? head + '\0' : std::string(1, '\0')));

      Guarded print;
      EXPECT_EQ(sprintf_s(print.text(), capacity, "%s", head.c_str()),
                terminated ? static_cast<int>(count) : -1);
      if (terminated) {
        EXPECT_TRUE(print.holds(head + '\0'));
      } else {
        EXPECT_EQ(print.text()[0], '\0');
        EXPECT_TRUE(print.holds(std::string(print.text(), capacity)));
      }

      // A text longer than max_count stays cut and terminated, reported with -1.
      for (size_t max_count = 0; max_count < capacity; ++max_count) {
        Guarded cut;
        EXPECT_EQ(call_vsnprintf_s(cut.text(), capacity, max_count, "%s", head.c_str()),
                  count <= max_count ? static_cast<int>(count) : -1);
        EXPECT_TRUE(cut.holds(head.substr(0, max_count) + '\0')) << "max count " << max_count;
      }
    }
  }
}

TEST(Bounds, RefusesUnusableDestinationsNullSourcesAndOverlaps) {
  Guarded g;
  EXPECT_EQ(memset_s(nullptr, 4, 0, 4), EINVAL);
  EXPECT_EQ(memset_s(g.dest(), 0, 0, 0), EINVAL);
  EXPECT_EQ(memset_s(g.dest(), CHIP_BOUNDS_MAX_CAPACITY + 1, 0, 1), ERANGE);
  EXPECT_EQ(memcpy_s(nullptr, 4, "abcd", 4), EINVAL);
  EXPECT_EQ(memcpy_s(g.dest(), 0, "abcd", 0), EINVAL);
  EXPECT_EQ(strncpy_s(nullptr, 5, "a", 1), EINVAL);
  EXPECT_EQ(strncpy_s(g.text(), 0, "a", 1), EINVAL);
  EXPECT_EQ(sprintf_s(nullptr, 4, "x"), -1);
  EXPECT_EQ(call_vsnprintf_s(nullptr, 8, 7, "x"), -1);
  EXPECT_EQ(call_vsnprintf_s(g.text(), 0, 0, "x"), -1);
  EXPECT_TRUE(g.holds(""));

  // With a usable destination a refusal clears it as each function prescribes.
  std::memset(g.dest(), 'q', 8);
  EXPECT_EQ(memcpy_s(g.dest(), 4, nullptr, 4), EINVAL);
  EXPECT_TRUE(g.holds(std::string(4, '\0') + "qqqq"));
  EXPECT_EQ(strncpy_s(g.text(), 5, nullptr, 1), EINVAL);
  EXPECT_EQ(g.text()[0], '\0');
  g.text()[0] = 'q';
  EXPECT_EQ(call_vsnprintf_s(g.text(), 8, 8, "x"), -1) << "max count must be below capacity";
  EXPECT_EQ(g.text()[0], '\0');
  g.text()[0] = 'q';
  EXPECT_EQ(call_vsnprintf_s(g.text(), 8, 7, nullptr), -1);
  EXPECT_EQ(g.text()[0], '\0');
  g.text()[0] = 'q';
  EXPECT_EQ(sprintf_s(g.text(), 8, nullptr), -1);
  EXPECT_TRUE(g.holds(std::string(4, '\0') + "qqqq"));

  unsigned char buffer[16] = "abcdefghijklmno";
  EXPECT_EQ(memcpy_s(buffer + 4, 8, buffer, 8), EINVAL);
  EXPECT_EQ(memcpy_s(buffer, 8, buffer + 7, 8), EINVAL);
  EXPECT_EQ(memcpy_s(buffer, 8, buffer + 8, 8), 0) << "adjacent regions do not overlap";
  EXPECT_EQ(memcpy_s(buffer, 8, "x", 0), 0);
  char overlapping[8] = "abcdef";
  EXPECT_EQ(strncpy_s(overlapping + 1, 7, overlapping, 6), EINVAL);
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
}

}  // namespace
