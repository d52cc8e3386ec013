// SPDX-License-Identifier: Apache-2.0
// The IP-XACT number evaluator: every literal form at random values, random
// fully parenthesised expressions against a small reference model, operator
// precedence, and each refusal with its exact message.
#include <gtest/gtest.h>

#include <random>

#include "map/ipxact_value.hpp"

namespace {

using chip::map::ipxact::evaluate;
using chip::map::ipxact::Evaluated;

std::optional<std::string> params(std::string_view name) {
  if (name == "A") return "'h10";
  if (name == "B") return "A * 2 + A";
  if (name == "id_7f") return "B - 8";
  if (name == "LOOP") return "LOOP + 1";
  return std::nullopt;
}

std::string digits_of(uint64_t value, unsigned base, std::mt19937_64 &rng) {
  std::string out;
  do {
    out.insert(out.begin(), "0123456789abcdef"[value % base]);
    value /= base;
    if (value != 0 && rng() % 5 == 0) out.insert(out.begin(), '_');
  } while (value != 0);
  if (rng() % 2 != 0) {
    for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

// One of the forms EDA tools write, chosen at random, for `value`.
std::string spell(uint64_t value, std::mt19937_64 &rng) {
  static constexpr const char *kPrefix[] = {"", "0x", "0X", "'h", "'H", "'sh", "'b", "'o", "'d", "'D"};
  static constexpr unsigned kBase[] = {10, 16, 16, 16, 16, 16, 2, 8, 10, 10};
  const size_t form = rng() % 10;
  std::string size;
  if (form >= 3 && rng() % 2 != 0) {
    const unsigned needed = value == 0 ? 1 : 64 - static_cast<unsigned>(__builtin_clzll(value));
    size = std::to_string(needed + rng() % (65 - needed));
  }
  return size + kPrefix[form] + digits_of(value, kBase[form], rng);
}

TEST(IpxactValue, EveryLiteralFormGivesItsValue) {
  std::mt19937_64 rng(1685);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t value = rng() >> (rng() % 64);
    const std::string text = spell(value, rng);
    const Evaluated result = evaluate(text);
    ASSERT_TRUE(result.value) << text << ": " << result.error;
    ASSERT_EQ(*result.value, value) << text;
  }
}

// A random expression over small literals, fully parenthesised, and its
// value by the reference rules (nullopt where the evaluator must refuse).
__extension__ typedef __int128 Wide;
struct Drawn {
  std::string text;
  std::optional<Wide> value;
};

Drawn draw(std::mt19937_64 &rng, int depth) {
  if (depth == 0 || rng() % 4 == 0) {
    const uint64_t value = rng() % (rng() % 8 == 0 ? 1u << 30 : 4096u);
    return {spell(value, rng), Wide(value)};
  }
  static constexpr const char *kOps[] = {"+", "-", "*", "/", "%", "<<", ">>", "&", "|", "^",
                                         "==", "!=", "<", ">=", "&&", "||"};
  const std::string op = kOps[rng() % 16];
  const Drawn a = draw(rng, depth - 1);
  Drawn b = draw(rng, depth - 1);
  if (op == "<<" || op == ">>") {
    const uint64_t amount = rng() % 12;
    b = {std::to_string(amount), Wide(amount)};
  }
  Drawn out{"(" + a.text + " " + op + " " + b.text + ")", std::nullopt};
  if (!a.value || !b.value) return out;
  const Wide x = *a.value, y = *b.value;
  const bool bitwise = op == "<<" || op == ">>" || op == "&" || op == "|" || op == "^";
  if (bitwise && (x < 0 || y < 0)) return out;
  if ((op == "/" || op == "%") && y == 0) return out;
  Wide product = 0;
  if (op == "*" && __builtin_mul_overflow(x, y, &product)) return out;
  out.value = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : op == "/" ? x / y
            : op == "%" ? x % y : op == "<<" ? x << static_cast<int>(y) : op == ">>" ? x >> static_cast<int>(y)
            : op == "&" ? x & y : op == "|" ? x | y : op == "^" ? x ^ y : op == "==" ? Wide(x == y)
            : op == "!=" ? Wide(x != y) : op == "<" ? Wide(x < y) : op == ">=" ? Wide(x >= y)
            : op == "&&" ? Wide(x != 0 && y != 0) : Wide(x != 0 || y != 0);
  const Wide limit = (Wide(1) << 64) - 1;
  if (*out.value > limit || *out.value < -limit) out.value.reset();
  return out;
}

TEST(IpxactValue, RandomExpressionsMatchTheReference) {
  std::mt19937_64 rng(2022);
  int refused = 0;
  for (int i = 0; i < 20000; ++i) {
    const Drawn drawn = draw(rng, 3);
    const Evaluated result = evaluate(drawn.text);
    const bool expect_value = drawn.value && *drawn.value >= 0;
    ASSERT_EQ(result.value.has_value(), expect_value) << drawn.text << ": " << result.error;
    if (expect_value) {
      ASSERT_EQ(*result.value, static_cast<uint64_t>(*drawn.value)) << drawn.text;
    } else {
      ++refused;
    }
  }
  EXPECT_GT(refused, 100);  // the refusals were drawn too
}

TEST(IpxactValue, PrecedenceFunctionsAndParameters) {
  const std::pair<const char *, uint64_t> cases[] = {
      {"1 + 2 * 3", 7}, {"(1 + 2) * 3", 9}, {"2 ** 3 ** 2", 512}, {"1 << 2 + 1", 8},
      {"7 & 3 == 3", 1}, {"0 ? 2 : 1 ? 4 : 5", 4}, {"5 >= 5 && 2 < 1 || 1", 1},
      {"-7 / 2 + 10", 7}, {"-3 + 5", 2}, {"!0 + !7", 1}, {"{4'hA, 4'h5}", 0xA5},
      {"{2{2'b10}}", 10}, {"~4'h3", 12}, {"$clog2(17)", 5}, {"$clog2(16)", 4}, {"$clog2(1)", 0},
      {"$pow(2, 10)", 1024}, {"('hFFFFFFFF) / $pow(2,0) % $pow(2,32)", 0xFFFFFFFF},
      {"(('h00000D04) >> 0) & {32{1'b1}}", 0xD04}, {"(('h0) >> 24) & {8{1'b1}}", 0},
      {"4 * (2 ** 10)", 4096}, {"B", 48}, {"id_7f*2+A", 96}, {"true", 1}, {"false", 0},
      {" 32 'h 0000_1000 ", 0x1000}, {"64'hFFFF_FFFF_FFFF_FFFF", UINT64_MAX},
      {"'hFFFF_FFFF_FFFF_FFFF - 1 + 1", UINT64_MAX}, {"2 - 3 + 1", 0}};
  for (const auto &[text, value] : cases) {
    const Evaluated result = evaluate(text, params);
    ASSERT_TRUE(result.value) << text << ": " << result.error;
    EXPECT_EQ(*result.value, value) << text;
  }
}

TEST(IpxactValue, RefusalsNameWhatIsRefused) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "empty value"},
      {"'hx0", "x/z digits in ''hx' have no number value"},
      {"8'bz", "x/z digits in '8'bz' have no number value"},
      {"4'h1F", "literal '4'h1F' does not fit in 4 bits"},
      {"65'h0", "literal size 65 is not 1 to 64 bits"},
      {"'1", "unbased literal ''1' is not supported"},
      {"$sqrt(4)", "function $sqrt is not supported"},
      {"1/0", "division by zero"},
      {"5 % (2 - 2)", "division by zero"},
      {"1 << 64", "shift of a negative value or by more than 63"},
      {"64'hFFFF_FFFF_FFFF_FFFF + 1", "value does not fit in 64 bits"},
      {"2 ** 64", "value does not fit in 64 bits"},
      {"3 ** -1", "negative exponent"},
      {"~5", "'~' of an unsized value (its width is not known)"},
      {"{3, 4}", "concatenation of an unsized value"},
      {"{65{1'b1}}", "replication count must be 1 or more and the result at most 64 bits"},
      {"(0 - 1) & 1", "bitwise operator '&' on a negative value"},
      {"X + 1", "unknown parameter 'X'"},
      {"1 === 1", "operator '===' is not supported"},
      {"a >>> 1", "unknown parameter 'a'"},
      {"4 >>> 1", "operator '>>>' is not supported"},
      {"1 +", "value ends where an operand is expected"},
      {"(1", "expected ')' at the end"},
      {"1 2", "unexpected '2' at column 3"},
      {"2 - 3", "negative value"},
      {"1.5", "malformed number at column 2"},
      {"12ab", "digit 'a' is not a base-10 digit"},
      {"'b102", "digit '2' is not a base-2 digit"},
      {std::string(100, '(') + "1" + std::string(100, ')'), "expression nested too deeply"},
  };
  for (const auto &[text, message] : cases) {
    const Evaluated result = evaluate(text, params);
    EXPECT_FALSE(result.value) << text;
    EXPECT_EQ(result.error, message) << text;
  }
  const Evaluated loop = evaluate("LOOP", params);
  ASSERT_FALSE(loop.value);
  EXPECT_EQ(loop.error.rfind("parameter 'LOOP': parameter 'LOOP': ", 0), 0u) << loop.error;
  EXPECT_NE(loop.error.find("parameter 'LOOP' refers to itself or nests too deeply"),
            std::string::npos);
}

}  // namespace
