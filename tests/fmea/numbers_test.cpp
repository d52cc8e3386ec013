// Numeric tokens and number lists: every character, worked examples, then
// random lists, null pointers among them, checked against the reference
// model.
#include <chip_util/fmea.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fmea_test_support.hpp"

namespace {

using namespace fmea_test;

TEST(FmeaChar, ClassifiesAndConvertsEveryByteByItsLow8Bits) {
  for (int32_t c = 0; c < 256; ++c) {
    const std::string s(1, static_cast<char>(c));
    // The same byte with garbage in the upper 24 bits, and sign-extended.
    for (int32_t widened : {c, c | 0x7A5A5A00, static_cast<int32_t>(static_cast<signed char>(c))}) {
      SCOPED_TRACE(widened);
      EXPECT_EQ(drv_fmea_char_is_d_digital(widened), model_dec(s[0]) ? 1 : 0);
      EXPECT_EQ(drv_fmea_char_is_x_digital(widened), model_hex(s[0]) ? 1 : 0);
      EXPECT_EQ(drv_fmea_char_to_digital(widened), static_cast<int32_t>(model_run(s, 0, 10)));
      EXPECT_EQ(drv_fmea_char_to_xdigital(widened), static_cast<int32_t>(model_run(s, 0, 16)));
    }
  }
}

TEST(FmeaChar, CountsCharactersBySignedValue) {
  const ExactText text(std::string{'a', '\xE9', 'b', '\xE9', 'a'});
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 'a'), 2u);
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), -23), 2u);   // 0xE9 as a signed byte
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 0xE9), 0u);  // never its unsigned value
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 0x100 + 'a'), 0u);
  EXPECT_EQ(drv_fmea_get_char_num(text.get(), 0), 0u);  // the NUL is never counted
  EXPECT_EQ(drv_fmea_get_char_num(nullptr, 'a'), 0u);
}

// What drv_fmea_str_to_num reads at the start (-1: no number) and what
// drv_fmea_get_nums extracts from the whole text.
TEST(FmeaNumbers, WorkedExamples) {
  const struct {
    const char *text;
    int64_t single;
    Numbers list;
  } cases[] = {
      {"0X1f]", 0x1F, {0x1F}},
      {"0xg", 0, {0}},
      {"12ab34", 12, {12, 34}},
      {"4294967297,", 1, {1}},
      {"0x123456789", 0x23456789, {0x23456789}},
      {"-5", -1, {5}},
      {" 5", -1, {5}},
      {"1,0x2", 1, {2}},
      {"0x10x2", 0x10, {0x10, 0x2}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    const ExactText text(c.text);
    uint32_t value = kCanary;
    EXPECT_EQ(drv_fmea_str_to_num(text.get(), &value), c.single < 0 ? -1 : 0);
    EXPECT_EQ(value, c.single < 0 ? kCanary : static_cast<uint32_t>(c.single));
    EXPECT_EQ(drv_fmea_get_num_count(text.get()), c.list.size());
    EXPECT_EQ(
        guarded(8, [&](uint32_t *a, uint32_t n) { return drv_fmea_get_nums(text.get(), a, n); }),
        c.list);
  }
}

std::string random_list(TextGenerator &gen) {
  static const std::vector<std::string> kJunk = {
      "0", "0x", "0X", "x",    "X",      "z",   ",",   " ",  "-",          "]",         "[",
      "g", "f",  "_",  "\xE9", "0x10x2", "0xg", "00x", "1x", "4294967296", "4294967295"};
  std::string text;
  for (uint32_t pieces = gen.below(10); pieces > 0; --pieces) {
    text += gen.below(2) ? gen.number() : gen.pick(kJunk);
  }
  return text;
}

TEST(FmeaNumbers, RandomListsMatchTheModel) {
  using Extract = uint32_t (*)(const char *, uint32_t *, uint32_t);
  TextGenerator gen(20261206);
  for (int round = 0; round < 4000; ++round) {
    const std::string s = random_list(gen);
    SCOPED_TRACE(testing::Message() << "text \"" << s << "\"");
    // A null text reads as the empty text; so do the outputs.
    const ExactText text(s, round % 2 == 0);
    const Numbers hex = model_numbers(s, true);
    const Numbers dec = model_numbers(s, false);
    const Numbers list = model_list(s);
    ASSERT_EQ(drv_fmea_get_x_num_count(text.get()), hex.size());
    ASSERT_EQ(drv_fmea_get_d_num_count(text.get()), dec.size());
    ASSERT_EQ(drv_fmea_get_num_count(text.get()), list.size());
    // Every capacity from 0 to two past the count of each form occurs.
    const uint32_t capacity = gen.below(std::max(dec.size(), hex.size()) + 3);
    const std::pair<Extract, const Numbers *> forms[] = {
        {fmea_get_x_nums, &hex}, {fmea_get_d_nums, &dec}, {drv_fmea_get_nums, &list}};
    for (const auto &[extract, all] : forms) {
      const size_t count = std::min<size_t>(capacity, all->size());
      ASSERT_EQ(
          guarded(capacity, [&](uint32_t *a, uint32_t n) { return extract(text.get(), a, n); }),
          Numbers(all->begin(), all->begin() + static_cast<std::ptrdiff_t>(count)));
      ASSERT_EQ(extract(text.get(), nullptr, capacity), 0u);
    }
    // The single-number functions at every position of the text.
    for (size_t i = 0; i <= s.size(); ++i) {
      const std::string rest = s.substr(i);
      const ExactText tail(rest, round % 2 == 0);
      const int64_t single = model_single(rest);
      uint32_t value = kCanary;
      ASSERT_EQ(drv_fmea_str_to_num(tail.get(), &value), single < 0 ? -1 : 0) << "at " << i;
      ASSERT_EQ(value, single < 0 ? kCanary : static_cast<uint32_t>(single)) << "at " << i;
      ASSERT_EQ(drv_fmea_str_to_num(tail.get(), nullptr), -1) << "at " << i;
      ASSERT_EQ(drv_fmea_str_is_x_num(tail.get()), model_hex_at(rest, 0) ? 1 : 0) << "at " << i;
      ASSERT_EQ(drv_fmea_string_to_d_num(tail.get()), model_run(rest, 0, 10)) << "at " << i;
      // The two prefix characters are skipped unread, unless the text ends there.
      ASSERT_EQ(drv_fmea_string_to_x_num(tail.get()), rest.size() < 2 ? 0u : model_run(rest, 2, 16))
          << "at " << i;
    }
  }
}

}  // namespace
