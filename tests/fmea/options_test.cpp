// Keyword options and the dfx list: the documented cases, the chosen
// answers (val as a key of its own, null pointers), heap hygiene, then
// random command strings checked against a plain reference model.
#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "fmea_test_support.hpp"
#include "support/alloc_counter.hpp"

namespace {

using fmea_test::ExactText;
using fmea_test::GuardedArray;
using Numbers = std::vector<uint32_t>;

struct Record {
  uint32_t valid, addr, mask, val, cmp_val;
  bool operator==(const Record &) const = default;
};

Record record_of(const drv_fmea_opt &o) { return {o.valid, o.addr, o.mask, o.val, o.cmp_val}; }

std::ostream &operator<<(std::ostream &os, const Record &r) {
  return os << "{valid " << r.valid << ", addr 0x" << std::hex << r.addr << ", mask 0x" << r.mask
            << ", val 0x" << r.val << ", cmp_val 0x" << r.cmp_val << std::dec << "}";
}

constexpr drv_fmea_opt kDirty = {0xD1, 0xD2, 0xD3, 0xD4, 0xD5};

// The record drv_fmea_parse_opt delivers for `type`, with its result.
std::pair<int32_t, Record> parse(const std::string &command, drv_fmea_opt_type type) {
  const ExactText text(command);
  drv_fmea_opt opt = kDirty;
  const int32_t result = drv_fmea_parse_opt(text.get(), type, &opt);
  return {result, record_of(opt)};
}

Numbers dfx_list(const std::string &command, uint32_t capacity) {
  const ExactText text(command);
  GuardedArray array(capacity);
  const uint32_t stored = drv_fmea_parse_dfx(text.get(), capacity, array.data());
  EXPECT_TRUE(array.untouched_from(stored));
  return array.stored(stored);
}

// ---- Documented cases -------------------------------------------------------

struct OptionCase {
  const char *command;
  drv_fmea_opt_type type;
  Record expected;
};
void PrintTo(const OptionCase &c, std::ostream *os) {
  *os << '"' << c.command << "\" type " << c.type;
}

class FmeaOption : public ::testing::TestWithParam<OptionCase> {};

TEST_P(FmeaOption, ParsesTheRecordOfTheType) {
  const OptionCase c = GetParam();
  const auto [result, record] = parse(c.command, c.type);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(record, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FmeaOption,
    ::testing::Values(
        OptionCase{"read[addr=0x10,mask=0xff,val=1,cmp_val=2]", DRV_FMEA_OPT_READ,
                   {1, 0x10, 0xFF, 1, 2}},
        OptionCase{"read[addr=0x10,mask=0xff,val=1,cmp_val=2]", DRV_FMEA_OPT_INJECT, {}},
        OptionCase{"read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]",
                   DRV_FMEA_OPT_READ, {1, 0x1000, 0xFF, 1, 5}},
        OptionCase{"read_his[addr=5]", DRV_FMEA_OPT_READ, {}},
        OptionCase{"read_his[addr=5]", DRV_FMEA_OPT_READ_HIS, {1, 5, 0, 0, 0}},
        OptionCase{"inject_undo[addr=1]", DRV_FMEA_OPT_INJECT, {}},
        OptionCase{"inject_undo[addr=1]", DRV_FMEA_OPT_INJECT_UNDO, {1, 1, 0, 0, 0}},
        OptionCase{"read[addr 0x20]", DRV_FMEA_OPT_READ, {1, 0x20, 0, 0, 0}},
        OptionCase{"read[addr=]", DRV_FMEA_OPT_READ, {1, 0, 0, 0, 0}},
        OptionCase{"read[addr=x5]", DRV_FMEA_OPT_READ, {1, 0, 0, 0, 0}},
        OptionCase{"read[addr]", DRV_FMEA_OPT_READ, {1, 0, 0, 0, 0}},
        OptionCase{"read[addr=5", DRV_FMEA_OPT_READ, {1, 0, 0, 0, 0}},
        OptionCase{"read[] wc[addr=3]", DRV_FMEA_OPT_READ, {1, 0, 0, 0, 0}},
        OptionCase{"read[] wc[addr=3]", DRV_FMEA_OPT_WC, {1, 3, 0, 0, 0}},
        OptionCase{"read[addr=1,addr=2]", DRV_FMEA_OPT_READ, {1, 1, 0, 0, 0}},
        OptionCase{"read[addr=1] read[addr=2,mask=3]", DRV_FMEA_OPT_READ, {1, 1, 0, 0, 0}},
        OptionCase{"neo[mask:0X1f val:4294967296]", DRV_FMEA_OPT_NEO, {1, 0, 0x1F, 0, 0}},
        OptionCase{"rc[addr=1]", DRV_FMEA_OPT_RC, {1, 1, 0, 0, 0}},
        OptionCase{"positive[val=7]", DRV_FMEA_OPT_POSITIVE, {1, 0, 0, 7, 0}},
        // val is a key of its own: never taken from cmp_val or another word.
        OptionCase{"read[cmp_val=5]", DRV_FMEA_OPT_READ, {1, 0, 0, 0, 5}},
        OptionCase{"read[cmp_val=5,val=1]", DRV_FMEA_OPT_READ, {1, 0, 0, 1, 5}},
        OptionCase{"read[val=1,cmp_val=5]", DRV_FMEA_OPT_READ, {1, 0, 0, 1, 5}},
        OptionCase{"read[interval=3]", DRV_FMEA_OPT_READ, {1, 0, 0, 0, 0}},
        OptionCase{"read[interval=3 val=4]", DRV_FMEA_OPT_READ, {1, 0, 0, 4, 0}}));

TEST(FmeaOption, TypeOutsideTheRangeOnlyClearsValid) {
  for (drv_fmea_opt_type type : {0, 9, -1, INT32_MAX, INT32_MIN}) {
    const auto [result, record] = parse("read[addr=0x10,mask=0xff,val=1,cmp_val=2]", type);
    EXPECT_EQ(result, 0) << type;
    EXPECT_EQ(record, (Record{0, 0xD2, 0xD3, 0xD4, 0xD5})) << type;
  }
}

TEST(FmeaOption, SetHoldsEveryKeywordAtItsIndexAndLeavesTheOthers) {
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
  std::fill(std::begin(set), std::end(set), kDirty);
  EXPECT_EQ(drv_fmea_parse_opt_set("read[addr=1] inject[addr=2]", set), 2u);
  for (uint32_t i = 0; i < DRV_FMEA_OPT_SET_SIZE; ++i) {
    const Record expected = i == DRV_FMEA_OPT_READ - 1     ? Record{1, 1, 0xD3, 0xD4, 0xD5}
                            : i == DRV_FMEA_OPT_INJECT - 1 ? Record{1, 2, 0xD3, 0xD4, 0xD5}
                                                           : record_of(kDirty);
    EXPECT_EQ(record_of(set[i]), expected) << "index " << i;
  }
  // All eight keywords, in table order.
  const char *all = "inject_undo[addr=8] inject[addr=7] rc[addr=6] wc[addr=5] neo[addr=4] "
                    "positive[addr=3] read_his[addr=2] read[addr=1]";
  EXPECT_EQ(drv_fmea_parse_opt_set(all, set), 8u);
  for (uint32_t i = 0; i < DRV_FMEA_OPT_SET_SIZE; ++i) {
    EXPECT_EQ(set[i].valid, 1u);
    EXPECT_EQ(set[i].addr, i + 1) << "index " << i;
  }
}

TEST(FmeaOption, GetOptCopiesTheRecordOfTheType) {
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
  for (uint32_t i = 0; i < DRV_FMEA_OPT_SET_SIZE; ++i) {
    set[i] = {1, i, i * 2, i * 3, i * 4};
  }
  drv_fmea_opt out = kDirty;
  EXPECT_EQ(drv_fmea_get_opt(set, DRV_FMEA_OPT_WC, &out), 1);
  EXPECT_EQ(record_of(out), (Record{1, 4, 8, 12, 16}));
  out = kDirty;
  EXPECT_EQ(drv_fmea_get_opt(set, 9, &out), 0);
  EXPECT_EQ(record_of(out), record_of(kDirty));
  // A record asked onto itself stays as it is.
  EXPECT_EQ(drv_fmea_get_opt(set, DRV_FMEA_OPT_RC, &set[DRV_FMEA_OPT_RC - 1]), 1);
  EXPECT_EQ(record_of(set[DRV_FMEA_OPT_RC - 1]), (Record{1, 5, 10, 15, 20}));
}

TEST(FmeaOption, ParseCmdLeavesTheRecordAloneWithoutItsKeyword) {
  drv_fmea_opt opt = kDirty;
  EXPECT_EQ(drv_fmea_parse_cmd("wc[addr=1]", "rc[", &opt), 0);
  EXPECT_EQ(record_of(opt), record_of(kDirty));
  EXPECT_EQ(drv_fmea_parse_cmd("x rc[mask=2]", "rc[", &opt), 1);
  EXPECT_EQ(record_of(opt), (Record{1, 0xD2, 2, 0xD4, 0xD5}));
}

TEST(FmeaOption, ParseParaNeedsTheBracketBeyondTheSeparator) {
  uint32_t field = 9;
  drv_fmea_parse_para("read[addr=7]", "addr", &field);
  EXPECT_EQ(field, 7u);
  for (const char *text : {"read[addr=]", "read[addr]", "read[addr=7", "read[] addr=7]",
                           "read[mask=7]", "read[addr=-7]"}) {
    field = 9;
    drv_fmea_parse_para(ExactText(text).get(), "addr", &field);
    EXPECT_EQ(field, 9u) << text;
  }
}

// ---- The dfx list -----------------------------------------------------------

TEST(FmeaDfx, CountsAndExtractsTheListUpToItsBracket) {
  EXPECT_EQ(drv_fmea_parse_dfx_num("dfx[1,2,3]"), 3u);
  EXPECT_EQ(dfx_list("dfx[1,2,3]", 2), (Numbers{1, 2}));
  EXPECT_EQ(dfx_list("dfx[1,2,3]", 0), Numbers{});
  EXPECT_EQ(drv_fmea_parse_dfx_num("dfx[0x1,2]"), 1u);
  EXPECT_EQ(dfx_list("dfx[0x1,2]", 4), (Numbers{1}));
  EXPECT_EQ(drv_fmea_parse_dfx_num("dfx[1,2"), 0u);
  EXPECT_EQ(dfx_list("dfx[1,2", 4), Numbers{});
  EXPECT_EQ(dfx_list("dfx[1,2 read[addr=3]", 4), (Numbers{1, 2, 3}));
  EXPECT_EQ(dfx_list("read[addr=9] dfx[7] wc[addr=8]", 4), (Numbers{7}));
  EXPECT_EQ(drv_fmea_parse_dfx_num("read[addr=9]"), 0u);
}

TEST(FmeaDfx, OptStringCopiesFromTheKeyThroughTheBracket) {
  const auto text_of = [](const char *command, const char *key) {
    char *text = drv_fmea_get_opt_string(ExactText(command).get(), key);
    const std::string copy = text == nullptr ? "<null>" : text;
    hdk_free(text);
    return copy;
  };
  EXPECT_EQ(text_of("read[addr=1] dfx[1,2] wc[]", "dfx"), "dfx[1,2]");
  EXPECT_EQ(text_of("dfx[1,2 read[addr=3] x", "dfx"), "dfx[1,2 read[addr=3]");
  EXPECT_EQ(text_of("a]", "a"), "a]");
  EXPECT_EQ(text_of("a]b]", "]"), "<null>");  // the bracket is the key's own
  EXPECT_EQ(text_of("dfx[1,2", "dfx"), "<null>");
  EXPECT_EQ(text_of("read[1]", "dfx"), "<null>");
  EXPECT_EQ(text_of("]dfx", "dfx"), "<null>");
}

TEST(FmeaDfx, ListTextIsReleasedBeforeReturning) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  uint32_t array[4];
  const chip_test::AllocCounter counter;
  EXPECT_EQ(drv_fmea_parse_dfx_num("dfx[1,2,3]"), 3u);
  EXPECT_EQ(drv_fmea_parse_dfx("dfx[1,2,3]", 4, array), 3u);
  EXPECT_EQ(drv_fmea_parse_dfx("dfx[]", 4, array), 0u);
  EXPECT_EQ(counter.allocations(), 3u);
  EXPECT_EQ(counter.releases(), 3u);
  // Options need no heap at all.
  drv_fmea_opt opt;
  EXPECT_EQ(drv_fmea_parse_opt("read[addr=1]", DRV_FMEA_OPT_READ, &opt), 1);
  EXPECT_EQ(counter.allocations(), 3u);
}

TEST(FmeaNullPointers, AreAnsweredWithoutDereferencing) {
  drv_fmea_opt opt = kDirty;
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
  std::fill(std::begin(set), std::end(set), kDirty);
  uint32_t field = 9;
  GuardedArray array(4);

  // A null command holds no option.
  EXPECT_EQ(drv_fmea_parse_opt(nullptr, DRV_FMEA_OPT_READ, &opt), 1);
  EXPECT_EQ(record_of(opt), (Record{}));
  EXPECT_EQ(drv_fmea_parse_opt("read[addr=1]", DRV_FMEA_OPT_READ, nullptr), 0);
  EXPECT_EQ(drv_fmea_parse_opt_set(nullptr, set), 0u);
  EXPECT_EQ(drv_fmea_parse_opt_set("read[addr=1]", nullptr), 0u);
  EXPECT_EQ(drv_fmea_get_opt(nullptr, DRV_FMEA_OPT_READ, &opt), 0);
  EXPECT_EQ(drv_fmea_get_opt(set, DRV_FMEA_OPT_READ, nullptr), 0);
  opt = kDirty;
  EXPECT_EQ(drv_fmea_parse_cmd(nullptr, "read[", &opt), 0);
  EXPECT_EQ(drv_fmea_parse_cmd("read[addr=1]", nullptr, &opt), 0);
  EXPECT_EQ(drv_fmea_parse_cmd("read[addr=1]", "read[", nullptr), 0);
  drv_fmea_parse_para(nullptr, "addr", &field);
  drv_fmea_parse_para("read[addr=1]", nullptr, &field);
  drv_fmea_parse_para("read[addr=1]", "addr", nullptr);
  EXPECT_EQ(drv_fmea_get_opt_string(nullptr, "dfx"), nullptr);
  EXPECT_EQ(drv_fmea_get_opt_string("dfx[1]", nullptr), nullptr);
  EXPECT_EQ(drv_fmea_parse_dfx_num(nullptr), 0u);
  EXPECT_EQ(drv_fmea_parse_dfx(nullptr, 4, array.data()), 0u);
  EXPECT_EQ(drv_fmea_parse_dfx("dfx[1]", 4, nullptr), 0u);

  EXPECT_EQ(record_of(opt), record_of(kDirty));
  EXPECT_EQ(field, 9u);
  EXPECT_TRUE(array.untouched_from(0));
  for (const drv_fmea_opt &r : set) {
    EXPECT_EQ(record_of(r), record_of(kDirty));
  }
}

// ---- Random commands against the model --------------------------------------

const std::array<const char *, 8> kKeywords = {"read[", "read_his[", "positive[", "neo[",
                                               "wc[",   "rc[",       "inject[",   "inject_undo["};

bool model_hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool model_dec(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The number at the start of `s` (hexadecimal first, wrapping), if any.
bool model_number(const std::string &s, uint32_t &out) {
  const bool hex = s.size() >= 3 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && model_hex(s[2]);
  if (!hex && (s.empty() || !model_dec(s[0]))) {
    return false;
  }
  uint64_t value = 0;
  for (size_t i = hex ? 2 : 0; i < s.size() && (hex ? model_hex(s[i]) : model_dec(s[i])); ++i) {
    const uint64_t digit = hex ? std::stoul(std::string(1, s[i]), nullptr, 16) : s[i] - '0';
    value = (value * (hex ? 16 : 10) + digit) & 0xFFFFFFFFu;
  }
  out = static_cast<uint32_t>(value);
  return true;
}

// The first occurrence of `key`; "val" must not continue a word.
size_t model_find_key(const std::string &t, const std::string &key) {
  size_t at = t.find(key);
  while (key == "val" && at != std::string::npos && at > 0 &&
         (std::isalnum(static_cast<unsigned char>(t[at - 1])) || t[at - 1] == '_')) {
    at = t.find(key, at + 1);
  }
  return at;
}

void model_parameter(const std::string &t, const std::string &key, uint32_t &field) {
  const size_t at = model_find_key(t, key);
  const size_t bracket = t.find(']');
  if (at == std::string::npos || bracket == std::string::npos ||
      bracket <= at + key.size() + 1) {
    return;
  }
  model_number(t.substr(at + key.size() + 1), field);
}

// The record after parsing `keyword` into `base`.
Record model_option(const std::string &command, const std::string &keyword, Record base = {}) {
  const size_t at = command.find(keyword);
  if (at == std::string::npos) {
    return base;
  }
  const std::string t = command.substr(at);
  base.valid = 1;
  model_parameter(t, "addr", base.addr);
  model_parameter(t, "mask", base.mask);
  model_parameter(t, "val", base.val);
  model_parameter(t, "cmp_val", base.cmp_val);
  return base;
}

// The dfx text, or "" when there is none.
std::string model_dfx_text(const std::string &command) {
  const size_t at = command.find("dfx");
  const size_t bracket = at == std::string::npos ? at : command.find(']', at);
  return bracket == std::string::npos || bracket == at ? ""
                                                       : command.substr(at, bracket - at + 1);
}

Numbers model_dfx(const std::string &command) {
  const std::string t = model_dfx_text(command);
  Numbers hex, dec;
  for (size_t i = 0; i < t.size(); ++i) {
    uint32_t value = 0;
    if (i + 2 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X') &&
        model_hex(t[i + 2])) {
      model_number(t.substr(i), value);
      hex.push_back(value);
    }
    if (model_dec(t[i]) && (i == 0 || !model_dec(t[i - 1]))) {
      model_number(t.substr(i), value);
      dec.push_back(value);
    }
  }
  return hex.empty() ? dec : hex;
}

std::string random_command(fmea_test::TextGenerator &gen) {
  static const std::vector<std::string> kKeys = {"addr", "mask", "val", "cmp_val", "interval"};
  static const std::vector<std::string> kSeparators = {"=", ":", " ", "", "==", "-"};
  static const std::vector<std::string> kJunk = {
      " ", ",", "]", "[", "x", "_", "0x", "read", "inject", "dfx", "\xE9", "dfx[", "val", "cmp_"};
  std::string command;
  const uint32_t parts = gen.below(7);
  for (uint32_t part = 0; part < parts; ++part) {
    switch (gen.below(4)) {
      case 0:
      case 1: {  // a keyword option, possibly malformed
        command += kKeywords[gen.below(8)];
        const uint32_t params = gen.below(5);
        for (uint32_t i = 0; i < params; ++i) {
          command += gen.pick(kKeys) + gen.pick(kSeparators) +
                     (gen.below(6) ? gen.number() : gen.pick(kJunk));
          command += gen.below(4) ? "," : gen.pick(kJunk);
        }
        if (gen.below(5)) {
          command += "]";
        }
        break;
      }
      case 2: {  // a dfx list
        command += gen.below(3) ? "dfx[" : "dfx";
        const uint32_t numbers = gen.below(6);
        for (uint32_t i = 0; i < numbers; ++i) {
          command += gen.number() + (gen.below(3) ? "," : gen.pick(kJunk));
        }
        if (gen.below(4)) {
          command += "]";
        }
        break;
      }
      default:
        command += gen.pick(kJunk);
    }
    command += gen.below(2) ? " " : "";
  }
  return command;
}

TEST(FmeaOptionModel, RandomCommandsMatchTheModel) {
  fmea_test::TextGenerator gen(4052);
  for (int round = 0; round < 3000; ++round) {
    const std::string command = random_command(gen);
    SCOPED_TRACE(testing::Message() << "command \"" << command << "\"");
    const ExactText text(command);

    // The option set: found records filled, the others untouched.
    drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
    std::fill(std::begin(set), std::end(set), kDirty);
    uint32_t found = 0;
    for (drv_fmea_opt_type type = 1; type <= 8; ++type) {
      drv_fmea_opt opt = kDirty;
      const Record expected = model_option(command, kKeywords[type - 1]);
      ASSERT_EQ(drv_fmea_parse_opt(text.get(), type, &opt), 1);
      ASSERT_EQ(record_of(opt), expected) << "type " << type;
      found += expected.valid;
    }
    ASSERT_EQ(drv_fmea_parse_opt_set(text.get(), set), found);
    for (drv_fmea_opt_type type = 1; type <= 8; ++type) {
      ASSERT_EQ(record_of(set[type - 1]),
                model_option(command, kKeywords[type - 1], record_of(kDirty)))
          << "type " << type;
    }

    // The dfx list: text, count and extraction at a random capacity.
    char *list_text = drv_fmea_get_opt_string(text.get(), "dfx");
    const std::string expected_text = model_dfx_text(command);
    ASSERT_EQ(list_text == nullptr ? std::string() : std::string(list_text), expected_text);
    hdk_free(list_text);
    const Numbers expected = model_dfx(command);
    ASSERT_EQ(drv_fmea_parse_dfx_num(text.get()), expected.size());
    const uint32_t capacity = gen.below(static_cast<uint32_t>(expected.size()) + 3);
    const Numbers stored = dfx_list(command, capacity);
    ASSERT_EQ(stored, Numbers(expected.begin(),
                              expected.begin() + std::min<size_t>(capacity, expected.size())));
  }
}

}  // namespace
