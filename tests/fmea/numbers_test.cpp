// Numeric tokens and number lists: the documented cases, then random lists
// checked against a plain reference model, with guarded output arrays.
#include <chip_util/fmea.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "fmea_test_support.hpp"

namespace {

using fmea_test::ExactText;
using fmea_test::GuardedArray;
using Numbers = std::vector<uint32_t>;

// ---- Reference model: what the numbers of a text are, written plainly ----

bool model_dec(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool model_hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

uint32_t model_value(const std::string &digits, unsigned base) {
  if (base == 16) {
    // Only the last eight hexadecimal digits survive the wrap.
    const std::string tail = digits.size() > 8 ? digits.substr(digits.size() - 8) : digits;
    return tail.empty() ? 0u : static_cast<uint32_t>(std::stoul(tail, nullptr, 16));
  }
  uint64_t value = 0;
  for (char c : digits) {
    value = (value * 10 + static_cast<uint64_t>(c - '0')) % (uint64_t{1} << 32);
  }
  return static_cast<uint32_t>(value);
}

std::string run_at(const std::string &s, size_t i, bool (*in_run)(char)) {
  size_t j = i;
  while (j < s.size() && in_run(s[j])) {
    ++j;
  }
  return s.substr(i, j - i);
}

bool model_hex_at(const std::string &s, size_t i) {
  return i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
         model_hex(s[i + 2]);
}

Numbers model_hex_numbers(const std::string &s) {
  Numbers out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (model_hex_at(s, i)) {
      out.push_back(model_value(run_at(s, i + 2, model_hex), 16));
    }
  }
  return out;
}

Numbers model_dec_numbers(const std::string &s) {
  Numbers out;
  size_t i = 0;
  while (i < s.size()) {
    if (model_dec(s[i])) {
      const std::string run = run_at(s, i, model_dec);
      out.push_back(model_value(run, 10));
      i += run.size();
    } else {
      ++i;
    }
  }
  return out;
}

Numbers model_list(const std::string &s) {
  const Numbers hex = model_hex_numbers(s);
  return hex.empty() ? model_dec_numbers(s) : hex;
}

// The single number at the start of a text, or -1.
int64_t model_single(const std::string &s) {
  if (model_hex_at(s, 0)) {
    return model_value(run_at(s, 2, model_hex), 16);
  }
  if (!s.empty() && model_dec(s[0])) {
    return model_value(run_at(s, 0, model_dec), 10);
  }
  return -1;
}

Numbers first(const Numbers &all, size_t count) {
  return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size()))};
}

// ---- Single characters ----------------------------------------------------

TEST(FmeaChar, ClassifiesAndConvertsEveryByteByItsLow8Bits) {
  for (int32_t c = 0; c < 256; ++c) {
    const bool dec = c >= '0' && c <= '9';
    const bool lower = c >= 'a' && c <= 'f';
    const bool upper = c >= 'A' && c <= 'F';
    const int32_t dec_value = dec ? c - '0' : 0;
    const int32_t hex_value = dec ? c - '0' : lower ? c - 'a' + 10 : upper ? c - 'A' + 10 : 0;
    // The same byte with garbage in the upper 24 bits, and sign-extended.
    for (int32_t widened : {c, c | 0x7A5A5A00, static_cast<int32_t>(static_cast<signed char>(c))}) {
      SCOPED_TRACE(widened);
      EXPECT_EQ(drv_fmea_char_is_d_digital(widened), dec ? 1 : 0);
      EXPECT_EQ(drv_fmea_char_is_x_digital(widened), dec || lower || upper ? 1 : 0);
      EXPECT_EQ(drv_fmea_char_to_digital(widened), dec_value);
      EXPECT_EQ(drv_fmea_char_to_xdigital(widened), hex_value);
    }
  }
}

TEST(FmeaChar, CountsCharactersBySignedValue) {
  const ExactText text("a\xE9" "b\xE9" "a");
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 'a'), 2u);
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), -23), 2u);   // 0xE9 as a signed byte
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 0xE9), 0u);  // never its unsigned value
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 0x100 + 'a'), 0u);
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 0), 0u);     // the NUL is never counted
  EXPECT_EQ(drv_fmea_get_char_num("", 'a'), 0u);
}

// ---- Single numbers -------------------------------------------------------

struct SingleCase {
  const char *text;
  int32_t result;
  uint32_t value;  // when the result is 0
};
void PrintTo(const SingleCase &c, std::ostream *os) { *os << '"' << c.text << '"'; }

class FmeaSingleNumber : public ::testing::TestWithParam<SingleCase> {};

TEST_P(FmeaSingleNumber, ConvertsTheNumberAtTheVeryStart) {
  const SingleCase c = GetParam();
  const ExactText text(c.text);
  uint32_t value = 0xAAAAAAAAu;
  EXPECT_EQ(drv_fmea_str_to_num(text.get(), &value), c.result);
  EXPECT_EQ(value, c.result == 0 ? c.value : 0xAAAAAAAAu);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FmeaSingleNumber,
    ::testing::Values(SingleCase{"0X1f", 0, 0x1F}, SingleCase{"0x1F]", 0, 0x1F},
                      SingleCase{"0xg", 0, 0}, SingleCase{"0x", 0, 0}, SingleCase{"0", 0, 0},
                      SingleCase{"12ab", 0, 12}, SingleCase{"4294967295", 0, 0xFFFFFFFFu},
                      SingleCase{"4294967296", 0, 0}, SingleCase{"4294967297,", 0, 1},
                      SingleCase{"0x123456789", 0, 0x23456789u},
                      SingleCase{"0xFFFFFFFF", 0, 0xFFFFFFFFu}, SingleCase{"-5", -1, 0},
                      SingleCase{" 5", -1, 0}, SingleCase{"x5", -1, 0}, SingleCase{"", -1, 0}));

TEST(FmeaSingleNumber, HexadecimalPrefixRulesAndShortTexts) {
  EXPECT_EQ(drv_fmea_str_is_x_num("0x1"), 1);
  EXPECT_EQ(drv_fmea_str_is_x_num("0Xa"), 1);
  EXPECT_EQ(drv_fmea_str_is_x_num("0x"), 0);
  EXPECT_EQ(drv_fmea_str_is_x_num("0xg"), 0);
  EXPECT_EQ(drv_fmea_str_is_x_num("1x1"), 0);
  EXPECT_EQ(drv_fmea_string_to_x_num("zz1f"), 0x1Fu);  // the prefix is skipped unread
  EXPECT_EQ(drv_fmea_string_to_d_num("-5"), 0u);
  // Texts ending inside the prefix give 0 without reading beyond their NUL.
  for (const char *s : {"", "0", "x"}) {
    const ExactText text(s);
    EXPECT_EQ(drv_fmea_string_to_x_num(text.get()), 0u) << s;
    EXPECT_EQ(drv_fmea_str_is_x_num(text.get()), 0) << s;
  }
}

// ---- Lists: documented cases ----------------------------------------------

struct ListCase {
  const char *text;
  uint32_t capacity;
  uint32_t count;    // drv_fmea_get_num_count
  Numbers numbers;   // what drv_fmea_get_nums stores
};
void PrintTo(const ListCase &c, std::ostream *os) {
  *os << '"' << c.text << "\" capacity " << c.capacity;
}

class FmeaList : public ::testing::TestWithParam<ListCase> {};

TEST_P(FmeaList, CountsAndExtractsWithinCapacity) {
  const ListCase c = GetParam();
  const ExactText text(c.text);
  GuardedArray array(c.capacity);
  EXPECT_EQ(drv_fmea_get_num_count(text.get()), c.count);
  const uint32_t stored = drv_fmea_get_nums(text.get(), array.data(), c.capacity);
  EXPECT_EQ(array.stored(stored), c.numbers);
  EXPECT_TRUE(array.untouched_from(stored));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FmeaList,
    ::testing::Values(ListCase{"", 4, 0, {}}, ListCase{"1 2 3", 0, 3, {}},
                      ListCase{"1 2 3", 2, 3, {1, 2}}, ListCase{"1,0x2", 4, 1, {2}},
                      ListCase{"0x10x2", 4, 2, {0x10, 0x2}}, ListCase{"12ab34", 4, 2, {12, 34}},
                      ListCase{"0x 0xg", 4, 2, {0, 0}}, ListCase{"-5", 4, 1, {5}},
                      ListCase{"dfx[1,2,3]", 8, 3, {1, 2, 3}},
                      ListCase{"a0X1fb 0x123456789", 4, 2, {0x1FB, 0x23456789u}},
                      ListCase{"no numbers", 4, 0, {}}));

TEST(FmeaList, SeparateFormsIgnoreEachOther) {
  EXPECT_EQ(drv_fmea_get_x_num_count("1,0x2"), 1u);
  EXPECT_EQ(drv_fmea_get_d_num_count("1,0x2"), 3u);  // 1, the 0 of 0x, and 2
  GuardedArray array(4);
  ASSERT_EQ(fmea_get_d_nums("1,0x2", array.data(), 4), 3u);
  EXPECT_EQ(array.stored(3), (Numbers{1, 0, 2}));
  EXPECT_TRUE(array.untouched_from(3));
  ASSERT_EQ(fmea_get_x_nums("12 34", array.data(), 4), 0u);
}

TEST(FmeaNullPointers, ReadAsEmptyAndStoreNothing) {
  uint32_t value = 7;
  GuardedArray array(4);
  EXPECT_EQ(drv_fmea_str_is_x_num(nullptr), 0);
  EXPECT_EQ(drv_fmea_string_to_x_num(nullptr), 0u);
  EXPECT_EQ(drv_fmea_string_to_d_num(nullptr), 0u);
  EXPECT_EQ(drv_fmea_str_to_num(nullptr, &value), -1);
  EXPECT_EQ(drv_fmea_str_to_num("5", nullptr), -1);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(drv_fmea_get_char_num(nullptr, 'a'), 0u);
  EXPECT_EQ(drv_fmea_get_d_num_count(nullptr), 0u);
  EXPECT_EQ(drv_fmea_get_x_num_count(nullptr), 0u);
  EXPECT_EQ(drv_fmea_get_num_count(nullptr), 0u);
  EXPECT_EQ(fmea_get_x_nums(nullptr, array.data(), 4), 0u);
  EXPECT_EQ(fmea_get_d_nums(nullptr, array.data(), 4), 0u);
  EXPECT_EQ(drv_fmea_get_nums(nullptr, array.data(), 4), 0u);
  EXPECT_EQ(fmea_get_x_nums("0x1", nullptr, 4), 0u);
  EXPECT_EQ(fmea_get_d_nums("1", nullptr, 4), 0u);
  EXPECT_EQ(drv_fmea_get_nums("1", nullptr, 4), 0u);
  EXPECT_TRUE(array.untouched_from(0));
}

// ---- Lists: random texts against the model --------------------------------

std::string random_list(fmea_test::TextGenerator &gen) {
  static const std::vector<std::string> kJunk = {
      "0",  "0x", "0X", "x",    "X",     ",",      " ",    "-", "]", "[",   "dfx", "g",
      "f",  "_",  "\xE9", "0x10x2", "4294967295", "4294967296", "0xg", "00x", "1x"};
  std::string text;
  const uint32_t pieces = gen.below(10);
  for (uint32_t i = 0; i < pieces; ++i) {
    text += gen.below(2) ? gen.number() : gen.pick(kJunk);
  }
  return text;
}

void expect_extraction(const char *what, uint32_t (*extract)(const char *, uint32_t *, uint32_t),
                       const ExactText &text, const Numbers &expected, uint32_t capacity) {
  SCOPED_TRACE(testing::Message() << what << " capacity " << capacity);
  GuardedArray array(capacity);
  const uint32_t stored = extract(text.get(), array.data(), capacity);
  EXPECT_EQ(array.stored(stored), first(expected, capacity));
  EXPECT_TRUE(array.untouched_from(stored));
}

TEST(FmeaListModel, RandomListsMatchTheModel) {
  fmea_test::TextGenerator gen(20261206);
  for (int round = 0; round < 4000; ++round) {
    const std::string s = random_list(gen);
    SCOPED_TRACE(testing::Message() << "text \"" << s << "\"");
    const ExactText text(s);
    const Numbers hex = model_hex_numbers(s);
    const Numbers dec = model_dec_numbers(s);
    const Numbers list = model_list(s);
    ASSERT_EQ(drv_fmea_get_x_num_count(text.get()), hex.size());
    ASSERT_EQ(drv_fmea_get_d_num_count(text.get()), dec.size());
    ASSERT_EQ(drv_fmea_get_num_count(text.get()), list.size());
    const uint32_t capacity = gen.below(static_cast<uint32_t>(list.size()) + 3);
    expect_extraction("hex", fmea_get_x_nums, text, hex, capacity);
    expect_extraction("dec", fmea_get_d_nums, text, dec, capacity);
    expect_extraction("list", drv_fmea_get_nums, text, list, capacity);
    // The single-number functions at every position of the text.
    for (size_t i = 0; i <= s.size(); ++i) {
      const std::string rest = s.substr(i);
      const ExactText tail(rest);
      const int64_t single = model_single(rest);
      uint32_t value = 0x5A5A5A5Au;
      ASSERT_EQ(drv_fmea_str_to_num(tail.get(), &value), single < 0 ? -1 : 0) << "at " << i;
      ASSERT_EQ(value, single < 0 ? 0x5A5A5A5Au : static_cast<uint32_t>(single)) << "at " << i;
      ASSERT_EQ(drv_fmea_str_is_x_num(tail.get()), model_hex_at(rest, 0) ? 1 : 0);
      ASSERT_EQ(drv_fmea_string_to_d_num(tail.get()),
                model_dec(rest[0]) ? model_value(run_at(rest, 0, model_dec), 10) : 0u);
      const uint32_t after_prefix =
          rest.size() < 2 ? 0u : model_value(run_at(rest, 2, model_hex), 16);
      ASSERT_EQ(drv_fmea_string_to_x_num(tail.get()), after_prefix) << "at " << i;
    }
  }
}

}  // namespace
