// Hex input and output of the command-line tool.
#include <gtest/gtest.h>

#include "tools/chiputil/hex.hpp"
#include "tools/chiputil/text.hpp"

namespace {

using chiputil::parse_hex_bytes;
using chiputil::parse_hex_value;

TEST(ParseHexBytes, AcceptsSeparatorsAndPrefixes) {
  const std::vector<uint8_t> expected = {0xc8, 0x20, 0x0a};
  for (const char *text : {"c8200a", "c8 20 0a", "c8:20:0a", "0xc8 0x20 0x0a", "0xC8200A",
                           "  c8,20\t0a "}) {
    const auto parsed = parse_hex_bytes(text);
    EXPECT_TRUE(parsed.error.empty()) << text << ": " << parsed.error;
    EXPECT_EQ(parsed.bytes, expected) << text;
  }
  EXPECT_TRUE(parse_hex_bytes("").bytes.empty());
}

TEST(ParseHexBytes, RefusesOddDigitsAndStrayCharacters) {
  EXPECT_EQ(parse_hex_bytes("c82").error,
            "malformed hex: odd number of hex digits (3); every byte takes two");
  EXPECT_EQ(parse_hex_bytes("c8 2g").error.rfind("malformed hex: 'g' at position 5", 0), 0u);
  EXPECT_FALSE(parse_hex_bytes("c8 x0").error.empty()) << "x is only allowed after a 0";
}

TEST(ParseHexValue, RightAlignsIntoWords) {
  const auto value = parse_hex_value("0x1_23", 1);
  EXPECT_FALSE(value.error.empty());
  const auto two = parse_hex_value("0x1234567890", 2);
  ASSERT_TRUE(two.error.empty());
  EXPECT_EQ(two.words, (std::vector<uint32_t>{0x12, 0x34567890}));
  EXPECT_TRUE(parse_hex_value("0000000000000000ff", 1).error.empty()) << "leading zeros are free";
  EXPECT_EQ(parse_hex_value("100000000", 1).error, "value 0x100000000 needs more than 32 bits");
}

TEST(FormatHexValue, PrintsOnlyTheFieldsDigits) {
  EXPECT_EQ(chiputil::format_hex_value({0xAB, 0xCDEF0123}, 40), "abcdef0123");
  EXPECT_EQ(chiputil::format_hex_value({0x7}, 3), "7");
}

TEST(EscapeText, ShowsRawBytesSafely) {
  const uint8_t bytes[] = {'a', '\\', 0x00, 0x0d, 0x80, '"'};
  EXPECT_EQ(chiputil::escape_text(bytes, sizeof bytes), "a\\\\\\x00\\x0d\\x80\"");
  EXPECT_EQ(chiputil::json_string(bytes, sizeof bytes), "\"a\\\\\\u0000\\u000d\\u0080\\\"\"");
}

}  // namespace
