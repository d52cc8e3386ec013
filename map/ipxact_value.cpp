// SPDX-License-Identifier: Apache-2.0
#include "map/ipxact_value.hpp"

#include <array>
#include <cctype>
#include <vector>

namespace chip::map::ipxact {
namespace {

// Wide enough for every intermediate result: operands stay within
// +-(2^64 - 1), and products are checked before they are kept.
__extension__ typedef __int128 Wide;
constexpr Wide kMax = (Wide{1} << 64) - 1;

// Parameters refer to parameters; these bounds keep a cycle or a chain of
// doubling references from running away.
constexpr int kMaxReferenceDepth = 32;
constexpr int kMaxNesting = 64;
constexpr long kMaxSteps = 100000;

struct Num {
  Wide value = 0;
  unsigned width = 0;  // bits of a sized literal or concatenation; 0 unsized
};

// A piece of the text in a message: quoted, at most 40 characters.
std::string quoted(std::string_view text) {
  return "'" + (text.size() <= 40 ? std::string(text) : std::string(text.substr(0, 37)) + "...") + "'";
}

struct BinaryOp {
  std::string_view token;
  int precedence;  // higher binds tighter
};
// Longer tokens first, so that "**" is not read as "*".
constexpr std::array<BinaryOp, 18> kBinaryOps{{{"||", 1},
                                               {"&&", 2},
                                               {"==", 6},
                                               {"!=", 6},
                                               {"<=", 7},
                                               {">=", 7},
                                               {"<<", 8},
                                               {">>", 8},
                                               {"**", 11},
                                               {"|", 3},
                                               {"^", 4},
                                               {"&", 5},
                                               {"<", 7},
                                               {">", 7},
                                               {"+", 9},
                                               {"-", 9},
                                               {"*", 10},
                                               {"/", 10}}};
constexpr BinaryOp kModulo{"%", 10};
// Operators of SystemVerilog that this evaluator does not implement.
constexpr std::array<std::string_view, 8> kRefusedOps{"===", "!==", "<<<", ">>>", "~&", "~|", "~^",
                                                      "^~"};

class Parser {
 public:
  Parser(std::string_view text, const ParameterLookup &lookup, int depth, long &steps)
      : text_(text), lookup_(lookup), depth_(depth), steps_(steps) {}

  Num parse_all() {
    skip_space();
    if (pos_ == text_.size()) return fail("empty value");
    const Num result = ternary();
    skip_space();
    if (!failed() && pos_ != text_.size()) {
      return fail("unexpected " + quoted(text_.substr(pos_, 1)) + " at column " +
                  std::to_string(pos_ + 1));
    }
    return result;
  }

  bool failed() const { return !error_.empty(); }
  const std::string &error() const { return error_; }

 private:
  std::string_view text_;
  const ParameterLookup &lookup_;
  int depth_;
  long &steps_;
  size_t pos_ = 0;
  int nesting_ = 0;
  std::string error_;

  Num fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return {};
  }
  Num checked(Wide value, unsigned width = 0) {
    if (value > kMax || value < -kMax) return fail("value does not fit in 64 bits");
    return {value, width};
  }
  char peek_char() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void skip_space() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool at(std::string_view token) {
    skip_space();
    return text_.substr(pos_, token.size()) == token;
  }
  bool eat(std::string_view token) {
    if (!at(token)) return false;
    pos_ += token.size();
    return true;
  }
  void expect(std::string_view token) {
    if (!failed() && !eat(token)) {
      fail("expected " + quoted(token) +
           (pos_ < text_.size() ? " at column " + std::to_string(pos_ + 1) : " at the end"));
    }
  }

  Num ternary() {
    if (++nesting_ > kMaxNesting) return fail("expression nested too deeply");
    Num result = binary(1);
    if (!failed() && eat("?")) {
      const Num then_value = ternary();
      expect(":");
      const Num else_value = ternary();
      result = result.value != 0 ? then_value : else_value;
    }
    --nesting_;
    return result;
  }

  const BinaryOp *binary_at() {
    for (std::string_view refused : kRefusedOps) {
      if (at(refused)) {
        fail("operator " + quoted(refused) + " is not supported");
        return nullptr;
      }
    }
    for (const BinaryOp &op : kBinaryOps) {
      if (at(op.token)) return &op;
    }
    return at(kModulo.token) ? &kModulo : nullptr;
  }

  Num binary(int min_precedence) {
    Num lhs = unary();
    while (!failed()) {
      const BinaryOp *op = binary_at();
      if (op == nullptr || op->precedence < min_precedence) break;
      pos_ += op->token.size();
      // "**" groups to the right, everything else to the left.
      const Num rhs = binary(op->token == "**" ? op->precedence : op->precedence + 1);
      if (failed()) break;
      lhs = apply(op->token, lhs.value, rhs.value);
    }
    return lhs;
  }

  Num apply(std::string_view op, Wide a, Wide b) {
    if (op == "+") return checked(a + b);
    if (op == "-") return checked(a - b);
    if (op == "*") {
      Wide product = 0;
      if (__builtin_mul_overflow(a, b, &product)) return fail("value does not fit in 64 bits");
      return checked(product);
    }
    if (op == "/" || op == "%") {
      if (b == 0) return fail("division by zero");
      return checked(op == "/" ? a / b : a % b);
    }
    if (op == "**") return power(a, b);
    if (op == "<<" || op == ">>") {
      if (a < 0 || b < 0 || b > 63) return fail("shift of a negative value or by more than 63");
      if (op == ">>") return {a >> static_cast<int>(b)};
      if (a > (kMax >> static_cast<int>(b))) return fail("value does not fit in 64 bits");
      return {a << static_cast<int>(b)};
    }
    if (op == "&" || op == "|" || op == "^") {
      if (a < 0 || b < 0) return fail("bitwise operator " + quoted(op) + " on a negative value");
      return {op == "&" ? (a & b) : op == "|" ? (a | b) : (a ^ b)};
    }
    if (op == "==") return {a == b};
    if (op == "!=") return {a != b};
    if (op == "<") return {a < b};
    if (op == "<=") return {a <= b};
    if (op == ">") return {a > b};
    if (op == ">=") return {a >= b};
    if (op == "&&") return {a != 0 && b != 0};
    return {a != 0 || b != 0};  // "||"
  }

  Num power(Wide base, Wide exponent) {
    if (exponent < 0) return fail("negative exponent");
    if (base == 0 || base == 1) return {exponent == 0 ? Wide{1} : base};
    if (base == -1) return {exponent % 2 == 0 ? Wide{1} : Wide{-1}};
    Wide result = 1;
    // |base| >= 2: past 64 factors the product no longer fits, so the loop
    // ends early whatever the exponent.
    for (Wide e = exponent; e > 0; --e) {
      Wide product = 0;
      if (__builtin_mul_overflow(result, base, &product) || product > kMax || product < -kMax)
        return fail("value does not fit in 64 bits");
      result = product;
    }
    return {result};
  }

  Num unary() {
    for (std::string_view refused : kRefusedOps) {
      if (at(refused)) return fail("operator " + quoted(refused) + " is not supported");
    }
    const char c = peek_char();
    if (c == '-' || c == '+') {
      ++pos_;
      const Num operand = unary();
      return c == '-' ? checked(-operand.value) : Num{operand.value};
    }
    if (c == '!') {
      ++pos_;
      return {unary().value == 0};
    }
    if (c == '~') {
      ++pos_;
      const Num operand = unary();
      if (failed()) return {};
      if (operand.width == 0) return fail("'~' of an unsized value (its width is not known)");
      return {~operand.value & ((Wide{1} << operand.width) - 1), operand.width};
    }
    return primary();
  }

  Num primary() {
    skip_space();
    const char c = peek_char();
    if (c == '(') {
      ++pos_;
      const Num inner = ternary();
      expect(")");
      return {inner.value};
    }
    if (c == '{') {
      ++pos_;
      return braces();
    }
    if (c == '$') return function();
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '\'') return literal();
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') return reference();
    if (c == '\0') return fail("value ends where an operand is expected");
    return fail("unexpected " + quoted(text_.substr(pos_, 1)) + " at column " +
                std::to_string(pos_ + 1));
  }

  // After '{': a replication {N{a, b}} or a concatenation {a, b}.
  Num braces() {
    if (++nesting_ > kMaxNesting) return fail("expression nested too deeply");
    const Num first = ternary();
    Num result;
    if (!failed() && eat("{")) {
      const Num inner = concatenation({});
      if (failed()) return {};
      if (first.value <= 0 || first.value * inner.width > 64)
        return fail("replication count must be 1 or more and the result at most 64 bits");
      Wide value = 0;
      for (Wide i = 0; i < first.value; ++i) value = (value << inner.width) | inner.value;
      result = {value, static_cast<unsigned>(first.value * inner.width)};
      expect("}");
    } else {
      result = concatenation({first});
    }
    --nesting_;
    return result;
  }

  // The items after those already read, up to and including the '}'.
  Num concatenation(std::vector<Num> items) {
    if (items.empty()) items.push_back(ternary());
    while (!failed() && eat(",")) items.push_back(ternary());
    expect("}");
    if (failed()) return {};
    Wide value = 0;
    unsigned width = 0;
    for (const Num &item : items) {
      if (item.width == 0) return fail("concatenation of an unsized value");
      width += item.width;
      if (width > 64) return fail("concatenation wider than 64 bits");
      value = (value << item.width) | item.value;
    }
    return {value, width};
  }

  Num function() {
    size_t end = pos_ + 1;
    while (end < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[end])) ||
                                  text_[end] == '_'))
      ++end;
    const std::string_view name = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (name != "$pow" && name != "$clog2") return fail("function " + std::string(name) + " is not supported");
    expect("(");
    const Num a = ternary();
    Num result;
    if (name == "$pow") {
      expect(",");
      const Num b = ternary();
      if (!failed()) result = power(a.value, b.value);
    } else if (!failed()) {
      unsigned bits = 0;
      while (bits < 64 && (Wide{1} << bits) < a.value) ++bits;
      result = {bits};
    }
    expect(")");
    return failed() ? Num{} : result;
  }

  // Digits of `base` with '_' between them; x, z and ? are refused.
  Num digits(unsigned base, size_t literal_start) {
    Wide value = 0;
    bool any = false;
    for (; pos_ < text_.size(); ++pos_) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_])));
      if (c == '_') continue;
      if (c == 'x' || c == 'z' || c == '?') {
        return fail("x/z digits in " + quoted(text_.substr(literal_start, pos_ + 1 - literal_start)) +
                    " have no number value");
      }
      unsigned digit = 0;
      if (std::isdigit(static_cast<unsigned char>(c))) {
        digit = static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<unsigned>(c - 'a' + 10);
      } else {
        break;
      }
      if (digit >= base) return fail("digit " + quoted(text_.substr(pos_, 1)) + " is not a base-" + std::to_string(base) + " digit");
      value = value * base + digit;
      if (value > kMax) return fail("number wider than 64 bits");
      any = true;
    }
    if (!any) return fail("number without digits");
    if (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.'))
      return fail("malformed number at column " + std::to_string(pos_ + 1));
    return {value};
  }

  Num literal() {
    const size_t first = pos_;
    Num size;
    if (peek_char() != '\'') {
      if (text_.substr(pos_, 2) == "0x" || text_.substr(pos_, 2) == "0X") {
        pos_ += 2;
        return digits(16, first);
      }
      // A decimal number, or the size of a SystemVerilog literal.
      while (pos_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) ++pos_;
      const size_t after_digits = pos_;
      skip_space();
      if (peek_char() != '\'') {
        pos_ = first;
        return digits(10, first);
      }
      pos_ = first;
      size = digits(10, first);
      if (failed()) return {};
      pos_ = after_digits;
      skip_space();
      if (size.value == 0 || size.value > 64)
        return fail("literal size " + std::to_string(static_cast<uint64_t>(size.value)) + " is not 1 to 64 bits");
    }
    ++pos_;  // the quote
    if (pos_ < text_.size() && (text_[pos_] == 's' || text_[pos_] == 'S')) ++pos_;
    const char base_char = static_cast<char>(std::tolower(static_cast<unsigned char>(peek_char())));
    const unsigned base = base_char == 'h' ? 16 : base_char == 'd' ? 10 : base_char == 'o' ? 8 : base_char == 'b' ? 2 : 0;
    if (base == 0) return fail("unbased literal " + quoted(text_.substr(first, pos_ - first + 1)) + " is not supported");
    ++pos_;
    skip_space();
    Num value = digits(base, first);
    if (failed()) return {};
    const std::string_view spelled = text_.substr(first, pos_ - first);
    if (size.value != 0) {
      if (value.value >> static_cast<int>(size.value) != 0)
        return fail("literal " + quoted(spelled) + " does not fit in " + std::to_string(static_cast<uint64_t>(size.value)) + " bits");
      value.width = static_cast<unsigned>(size.value);
    }
    return value;
  }

  Num reference() {
    size_t end = pos_;
    while (end < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[end])) ||
                                  text_[end] == '_' || text_[end] == '$'))
      ++end;
    const std::string name(text_.substr(pos_, end - pos_));
    pos_ = end;
    if (++steps_ > kMaxSteps) return fail("expression too large to evaluate");
    const std::optional<std::string> definition = lookup_ ? lookup_(name) : std::nullopt;
    if (!definition) {
      if (name == "true") return {1};
      if (name == "false") return {0};
      return fail("unknown parameter " + quoted(name));
    }
    if (depth_ >= kMaxReferenceDepth) return fail("parameter " + quoted(name) + " refers to itself or nests too deeply");
    Parser inner(*definition, lookup_, depth_ + 1, steps_);
    const Num value = inner.parse_all();
    if (inner.failed()) return fail("parameter " + quoted(name) + ": " + inner.error());
    return {value.value};
  }
};

}  // namespace

Evaluated evaluate(std::string_view text, const ParameterLookup &lookup) {
  long steps = 0;
  Parser parser(text, lookup, 0, steps);
  const Num result = parser.parse_all();
  if (parser.failed()) return {std::nullopt, parser.error()};
  if (result.value < 0) return {std::nullopt, "negative value"};
  return {static_cast<uint64_t>(result.value), {}};
}

}  // namespace chip::map::ipxact
