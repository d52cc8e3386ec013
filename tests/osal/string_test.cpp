// The string and sort wrappers and the case-insensitive comparison.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

// Worked examples, including those the model below cannot check: null
// arguments, and the exact difference past the end of the shorter text.
TEST(Stricmp, ComparesLoweredBytes) {
  struct Case {
    const char *a;
    const char *b;
    int32_t result;
  };
  const Case cases[] = {{"Hello", "hELLO", 0},     {"abc", "ab", 99},  {"ab", "abc", -99},
                        {"\xFF", "a", 0xFF - 'a'}, {nullptr, "a", -1}, {"a", nullptr, -1},
                        {nullptr, nullptr, -1}};
  for (const Case &c : cases) {
    EXPECT_EQ(osal_stricmp(c.a, c.b), c.result)
        << (c.a ? c.a : "null") << " / " << (c.b ? c.b : "null");
  }
}

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
  EXPECT_EQ(osal_strlen("line card"), 9u);
  const char text[] = "a=b,c";
  EXPECT_EQ(osal_strchr(text, ','), text + 3);
  EXPECT_LT(osal_strcmp("abc", "abd"), 0);
  EXPECT_EQ(osal_memcmp("ab", "ax", 1), 0);
  EXPECT_LT(osal_memcmp("ab", "ax", 2), 0);
  char list[] = "port=1, speed=10G,,mode";
  char *position = nullptr;
  EXPECT_STREQ(osal_strtok_r(list, ", ", &position), "port=1");
  EXPECT_STREQ(osal_strtok_r(nullptr, ", ", &position), "speed=10G");
  int values[] = {5, -3, 9};
  osal_qsort(values, 3, sizeof(int), [](const void *a, const void *b) {
    return *static_cast<const int *>(a) - *static_cast<const int *>(b);
  });
  EXPECT_EQ(std::vector<int>(values, values + 3), (std::vector<int>{-3, 5, 9}));
}

}  // namespace
