// The string and sort wrappers and the case-insensitive comparison.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

struct IcmpCase {
  const char *a;
  const char *b;
  int32_t result;
};

// Printed in test names and failure reports (the default would dump the
// object's bytes, padding and pointers included).
void PrintTo(const IcmpCase &c, std::ostream *out) {
  *out << '"' << (c.a != nullptr ? c.a : "<null>") << "\" vs \""
       << (c.b != nullptr ? c.b : "<null>") << '"';
}

class Stricmp : public ::testing::TestWithParam<IcmpCase> {};

TEST_P(Stricmp, ComparesLoweredBytes) {
  const IcmpCase c = GetParam();
  EXPECT_EQ(osal_stricmp(c.a, c.b), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Stricmp,
    ::testing::Values(IcmpCase{"Hello", "hELLO", 0}, IcmpCase{"abc", "abd", -1},
                      IcmpCase{"abc", "ab", 99}, IcmpCase{"ab", "abc", -99}, IcmpCase{"A", "b", -1},
                      IcmpCase{"", "", 0}, IcmpCase{"[", "{", '[' - '{'},  // not letters
                      IcmpCase{"\xC4", "\xE4", 0xC4 - 0xE4},               // high bytes as is
                      IcmpCase{"\xFF", "a", 0xFF - 'a'},                   // read unsigned
                      IcmpCase{nullptr, "a", -1}, IcmpCase{"a", nullptr, -1},
                      IcmpCase{nullptr, nullptr, -1}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

// Random texts over letters of both cases, digits and high bytes, against
// a straightforward model in the default locale.
TEST(StricmpModel, RandomTextsMatchTheModel) {
  const std::string alphabet = "aAbBzZ09@[`{\x7F\x80\xC0\xFF";
  std::mt19937 rng(7);
  const auto random_text = [&] {
    std::string s(rng() % 6, ' ');
    for (char &ch : s) {
      ch = alphabet[rng() % alphabet.size()];
    }
    return s;
  };
  const auto model = [](const std::string &a, const std::string &b) {
    for (size_t i = 0;; ++i) {
      const int l = std::tolower(static_cast<unsigned char>(i < a.size() ? a[i] : 0));
      const int r = std::tolower(static_cast<unsigned char>(i < b.size() ? b[i] : 0));
      if (l != r || l == 0) {
        return l - r;
      }
    }
  };
  for (int i = 0; i < 20000; ++i) {
    std::string a = random_text();
    std::string b = rng() % 3 == 0 ? a : random_text();
    if (rng() % 2 == 0 && !b.empty()) {
      b[rng() % b.size()] ^= 0x20;  // flip the case of one letter (or not a letter)
    }
    ASSERT_EQ(osal_stricmp(a.c_str(), b.c_str()), model(a, b)) << a << " / " << b;
  }
}

TEST(StringWrappers, PassThroughToThePlatform) {
  EXPECT_EQ(osal_strlen(""), 0u);
  EXPECT_EQ(osal_strlen("line card"), 9u);
  const char text[] = "a=b,c";
  EXPECT_EQ(osal_strchr(text, ','), text + 3);
  EXPECT_EQ(osal_strchr(text, 0), text + 5);
  EXPECT_EQ(osal_strchr(text, 'x'), nullptr);
  EXPECT_LT(osal_strcmp("abc", "abd"), 0);
  EXPECT_EQ(osal_strcmp("abc", "abc"), 0);
  EXPECT_GT(osal_memcmp("\x02", "\x01", 1), 0);
  EXPECT_EQ(osal_memcmp("ab", "ax", 1), 0);

  char list[] = "port=1, speed=10G,,mode";
  std::vector<std::string> tokens;
  char *position = nullptr;
  for (char *t = osal_strtok_r(list, ", ", &position); t != nullptr;
       t = osal_strtok_r(nullptr, ", ", &position)) {
    tokens.emplace_back(t);
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"port=1", "speed=10G", "mode"}));

  int values[] = {5, -3, 9, 0, 5};
  osal_qsort(values, 5, sizeof(int), [](const void *a, const void *b) {
    const int l = *static_cast<const int *>(a);
    const int r = *static_cast<const int *>(b);
    return (l > r) - (l < r);
  });
  EXPECT_EQ(std::vector<int>(values, values + 5), (std::vector<int>{-3, 0, 5, 5, 9}));
}

}  // namespace
