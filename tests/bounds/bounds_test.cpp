// The bounds-checked functions at and one past the capacity, and their
// refusals. Random capacities, counts and texts: fuzz/fuzz_bounds_log.cpp.
#include <chip_util/bounds.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <string>
#include <tuple>

namespace {

using namespace std::string_literals;

int vformat(char *dest, size_t capacity, size_t max_count, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int result = vsnprintf_s(dest, capacity, max_count, format, args);
  va_end(args);
  return result;
}

// A wide character the "C" locale cannot encode: the formatting fails.
const wchar_t kUnencodable[] = {L'a', static_cast<wchar_t>(0x100), L'\0'};

// Each call gets `d`: 16 bytes of 'q' between 8 guard bytes of 'q' on each
// side. Its result, and what d holds afterwards: the given bytes first, then
// 'q' up to the end of the guards (no other byte may change). Capacity 8
// takes a count of 8 or a text of 7 characters and its terminator, and
// refuses one more; a refused copy clears the destination (memcpy_s all of
// it, the others d[0]).
const std::tuple<int (*)(char *d), int, std::string> kCases[] = {
    {[](char *d) { return memset_s(d, 8, 'x', 8); }, 0, "xxxxxxxx"},
    {[](char *d) { return memset_s(d, 8, 'x', 9); }, ERANGE, "xxxxxxxx"},
    {[](char *d) { return memset_s(d, 0, 'x', 0); }, EINVAL, ""},
    {[](char *) { return memset_s(nullptr, 4, 'x', 4); }, EINVAL, ""},
    {[](char *d) { return memcpy_s(d, 8, "0123456789", 8); }, 0, "01234567"},
    {[](char *d) { return memcpy_s(d, 8, "0123456789", 9); }, ERANGE, std::string(8, '\0')},
    {[](char *d) { return memcpy_s(d, 8, nullptr, 4); }, EINVAL, std::string(8, '\0')},
    {[](char *d) { return memcpy_s(d, 0, "abcd", 0); }, EINVAL, ""},
    {[](char *) { return memcpy_s(nullptr, 4, "abcd", 4); }, EINVAL, ""},
    {[](char *d) { return memcpy_s(d + 1, 8, d, 8); }, EINVAL, 'q' + std::string(8, '\0')},
    {[](char *d) { return memcpy_s(d, 8, d + 8, 8); }, 0, ""},  // adjacent: no overlap
    {[](char *d) { return strncpy_s(d, 8, "0123456", 8); }, 0, "0123456\0"s},
    {[](char *d) { return strncpy_s(d, 8, "01234567", 9); }, ERANGE, "\0"s},
    {[](char *d) { return strncpy_s(d, 8, nullptr, 1); }, EINVAL, "\0"s},
    {[](char *d) { return strncpy_s(d, 0, "a", 1); }, EINVAL, ""},
    {[](char *) { return strncpy_s(nullptr, 5, "a", 1); }, EINVAL, ""},
    // Six characters of d copied with their terminator: onto it, or just past.
    {[](char *d) { return strncpy_s(d + 6, 8, d, 6); }, EINVAL, "qqqqqq\0"s},
    {[](char *d) { return strncpy_s(d + 7, 8, d, 6); }, 0, "qqqqqqqqqqqqq\0"s},
    {[](char *d) { return sprintf_s(d, 8, "%s", "0123456"); }, 7, "0123456\0"s},
    {[](char *d) { return sprintf_s(d, 8, "%s", "01234567"); }, -1, '\0' + "123456\0"s},
    {[](char *d) { return sprintf_s(d, 8, "%ls", kUnencodable); }, -1, "\0"s},
    {[](char *d) { return sprintf_s(d, 8, nullptr); }, -1, "\0"s},
    {[](char *d) { return sprintf_s(d, 0, "x"); }, -1, ""},
    {[](char *) { return sprintf_s(nullptr, 4, "x"); }, -1, ""},
    // vsnprintf_s keeps the text it cut at max_count, terminated.
    {[](char *d) { return vformat(d, 8, 7, "%s", "0123456"); }, 7, "0123456\0"s},
    {[](char *d) { return vformat(d, 8, 7, "%s", "01234567"); }, -1, "0123456\0"s},
    {[](char *d) { return vformat(d, 8, 8, "x"); }, -1, "\0"s},
    {[](char *d) { return vformat(d, 8, 7, "%ls", kUnencodable); }, -1, "\0"s},
    {[](char *d) { return vformat(d, 8, 7, nullptr); }, -1, "\0"s},
    {[](char *d) { return vformat(d, 0, 0, "x"); }, -1, ""},
    {[](char *) { return vformat(nullptr, 8, 7, "x"); }, -1, ""},
};

TEST(Bounds, AtAndOnePastTheCapacityAndRefusals) {
  int row = 0;
  for (const auto &[call, result, after] : kCases) {
    std::string bytes(32, 'q');
    EXPECT_EQ(call(bytes.data() + 8), result) << "row " << row;
    std::string want(32, 'q');
    EXPECT_EQ(bytes, want.replace(8, after.size(), after)) << "row " << row++;
  }
}

}  // namespace
