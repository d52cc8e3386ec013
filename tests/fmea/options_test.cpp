// Keyword options and the dfx list: worked examples, the answers the random
// commands rarely reach, heap hygiene and null pointers, then random command
// strings checked against a plain reference model.
#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "fmea_test_support.hpp"
#include "support/alloc_counter.hpp"

namespace {

using namespace fmea_test;

using Record = std::array<uint32_t, 5>;  // valid, addr, mask, val, cmp_val

Record record_of(const drv_fmea_opt &o) { return {o.valid, o.addr, o.mask, o.val, o.cmp_val}; }

constexpr drv_fmea_opt kDirty = {0xD1, 0xD2, 0xD3, 0xD4, 0xD5};

TEST(FmeaOption, WorkedExamples) {
  const struct {
    const char *command;
    drv_fmea_opt_type type;
    Record expected;
  } cases[] = {
      {"read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]",
       DRV_FMEA_OPT_READ,
       {1, 0x1000, 0xFF, 1, 5}},
      {"read_his[addr=5]", DRV_FMEA_OPT_READ, {}},
      {"read_his[addr=5]", DRV_FMEA_OPT_READ_HIS, {1, 5, 0, 0, 0}},
      {"read[addr 0x20]", DRV_FMEA_OPT_READ, {1, 0x20, 0, 0, 0}},
      {"read[addr=1] read[addr=2,mask=3]", DRV_FMEA_OPT_READ, {1, 1, 0, 0, 0}},
      {"neo[mask:0X1f val:4294967296]", DRV_FMEA_OPT_NEO, {1, 0, 0x1F, 0, 0}},
      // val is a key of its own: never taken from cmp_val or another word.
      {"read[cmp_val=5,val=1]", DRV_FMEA_OPT_READ, {1, 0, 0, 1, 5}},
      {"read[val=1,cmp_val=5]", DRV_FMEA_OPT_READ, {1, 0, 0, 1, 5}},
      {"read[interval=3 val=4]", DRV_FMEA_OPT_READ, {1, 0, 0, 4, 0}},
  };
  for (const auto &c : cases) {
    drv_fmea_opt opt = kDirty;
    EXPECT_EQ(drv_fmea_parse_opt(ExactText(c.command).get(), c.type, &opt), 1) << c.command;
    EXPECT_EQ(record_of(opt), c.expected) << c.command << " type " << c.type;
  }
}

TEST(FmeaOption, SetHoldsAllEightKeywordsInTableOrder) {
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE] = {};
  EXPECT_EQ(drv_fmea_parse_opt_set("inject_undo[addr=8] inject[addr=7] rc[addr=6] wc[addr=5] "
                                   "neo[addr=4] positive[addr=3] read_his[addr=2] read[addr=1]",
                                   set),
            8u);
  for (uint32_t i = 0; i < DRV_FMEA_OPT_SET_SIZE; ++i) {
    EXPECT_EQ(record_of(set[i]), (Record{1, i + 1, 0, 0, 0})) << "index " << i;
  }
  // A record asked onto itself stays as it is.
  EXPECT_EQ(drv_fmea_get_opt(set, DRV_FMEA_OPT_RC, &set[DRV_FMEA_OPT_RC - 1]), 1);
  EXPECT_EQ(record_of(set[DRV_FMEA_OPT_RC - 1]), (Record{1, 6, 0, 0, 0}));
}

TEST(FmeaDfx, OptStringNeedsABracketBeyondTheKeysFirstCharacter) {
  EXPECT_EQ(drv_fmea_get_opt_string("a]b]", "]"), nullptr);
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

// The random test passes null commands for empty ones.
TEST(FmeaNullPointers, OtherArgumentsAreAnsweredWithoutDereferencing) {
  drv_fmea_opt opt = kDirty;
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE] = {};
  uint32_t field = 9;
  EXPECT_EQ(drv_fmea_parse_opt("read[addr=1]", DRV_FMEA_OPT_READ, nullptr), 0);
  EXPECT_EQ(drv_fmea_parse_opt_set("read[addr=1]", nullptr), 0u);
  EXPECT_EQ(drv_fmea_get_opt(nullptr, DRV_FMEA_OPT_READ, &opt), 0);
  EXPECT_EQ(drv_fmea_get_opt(set, DRV_FMEA_OPT_READ, nullptr), 0);
  EXPECT_EQ(drv_fmea_parse_cmd(nullptr, "read[", &opt), 0);
  EXPECT_EQ(drv_fmea_parse_cmd("read[addr=1]", nullptr, &opt), 0);
  EXPECT_EQ(drv_fmea_parse_cmd("read[addr=1]", "read[", nullptr), 0);
  drv_fmea_parse_para(nullptr, "addr", &field);
  drv_fmea_parse_para("read[addr=1]", nullptr, &field);
  drv_fmea_parse_para("read[addr=1]", "addr", nullptr);
  EXPECT_EQ(drv_fmea_get_opt_string("dfx[1]", nullptr), nullptr);
  EXPECT_EQ(drv_fmea_parse_dfx("dfx[1]", 4, nullptr), 0u);
  EXPECT_EQ(record_of(opt), record_of(kDirty));
  EXPECT_EQ(field, 9u);
}

// ---- Random commands against the model --------------------------------------

const std::vector<std::string> kKeywords = {"read[", "read_his[", "positive[", "neo[",
                                            "wc[",   "rc[",       "inject[",   "inject_undo["};
// The keys, at their index in a Record.
const std::string kKeys[] = {"", "addr", "mask", "val", "cmp_val"};

// The first occurrence of `key`; "val" must not continue a word.
size_t model_find_key(const std::string &t, const std::string &key) {
  size_t at = t.find(key);
  while (key == "val" && at != std::string::npos && at > 0 &&
         (std::isalnum(static_cast<unsigned char>(t[at - 1])) || t[at - 1] == '_')) {
    at = t.find(key, at + 1);
  }
  return at;
}

// The record after parsing `keyword` of `command` into `base`: each key
// counts if its separator stands before the first ']' from the keyword.
Record model_option(const std::string &command, const std::string &keyword, Record base) {
  const size_t at = command.find(keyword);
  if (at == std::string::npos) {
    return base;
  }
  const std::string t = command.substr(at);
  base[0] = 1;
  for (size_t k = 1; k < base.size(); ++k) {
    const size_t key_at = model_find_key(t, kKeys[k]);
    const size_t number = key_at + kKeys[k].size() + 1;
    if (key_at != std::string::npos && t.find(']') != std::string::npos && t.find(']') > number &&
        model_single(t.substr(number)) >= 0) {
      base[k] = static_cast<uint32_t>(model_single(t.substr(number)));
    }
  }
  return base;
}

// The dfx text, or "" when there is none.
std::string model_dfx_text(const std::string &command) {
  const size_t at = command.find("dfx");
  const size_t bracket = at == std::string::npos ? at : command.find(']', at);
  return bracket == std::string::npos ? "" : command.substr(at, bracket - at + 1);
}

// Parts that open with a keyword, the word dfx or nothing, each holding
// numbers, some with a key and a separator before them, and mostly closed.
std::string random_command(TextGenerator &gen) {
  static const std::vector<std::string> kOpeners = {"dfx[", "dfx", ""};
  static const std::vector<std::string> kKeyNames = {"addr", "mask", "val", "cmp_val", "interval"};
  static const std::vector<std::string> kSeparators = {"=", ":", " ", "", "==", "-"};
  static const std::vector<std::string> kJunk = {
      " ", ",", "]", "[", "x", "_", "0x", "read", "inject", "dfx", "\xE9", "dfx[", "val", "cmp_"};
  std::string command;
  for (uint32_t parts = gen.below(7); parts > 0; --parts) {
    command += gen.below(2) ? gen.pick(kKeywords) : gen.pick(kOpeners);
    for (uint32_t items = gen.below(6); items > 0; --items) {
      command += gen.below(3) ? gen.pick(kKeyNames) + gen.pick(kSeparators) : "";
      command += gen.below(6) ? gen.number() : gen.pick(kJunk);
      command += gen.below(4) ? "," : gen.pick(kJunk);
    }
    command += gen.below(5) ? "]" : "";
    command += gen.below(2) ? " " : "";
  }
  return command;
}

TEST(FmeaOptionModel, RandomCommandsMatchTheModel) {
  TextGenerator gen(4052);
  for (int round = 0; round < 3000; ++round) {
    const std::string command = random_command(gen);
    SCOPED_TRACE(testing::Message() << "command \"" << command << "\"");
    const ExactText text(command, round % 2 == 0);

    // Each record alone from zeros, and the set, where the records of the
    // keywords not found stay as they were.
    drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
    std::fill(std::begin(set), std::end(set), kDirty);
    const uint32_t found = drv_fmea_parse_opt_set(text.get(), set);
    uint32_t expected_found = 0;
    for (drv_fmea_opt_type type = 1; type <= 8; ++type) {
      drv_fmea_opt opt = kDirty;
      const Record alone = model_option(command, kKeywords[type - 1], Record{});
      ASSERT_EQ(drv_fmea_parse_opt(text.get(), type, &opt), 1) << "type " << type;
      ASSERT_EQ(record_of(opt), alone) << "type " << type;
      ASSERT_EQ(record_of(set[type - 1]),
                model_option(command, kKeywords[type - 1], record_of(kDirty)))
          << "type " << type;
      expected_found += alone[0];
    }
    ASSERT_EQ(found, expected_found);
    // A type outside the range only clears valid.
    const drv_fmea_opt_type bad_types[] = {0, 9, -1, INT32_MAX, INT32_MIN};
    drv_fmea_opt opt = kDirty;
    ASSERT_EQ(drv_fmea_parse_opt(text.get(), bad_types[gen.below(5)], &opt), 0);
    ASSERT_EQ(record_of(opt), (Record{0, 0xD2, 0xD3, 0xD4, 0xD5}));

    // The dfx list: text, count and extraction at a random capacity.
    const std::string dfx_text = model_dfx_text(command);
    char *list_text = drv_fmea_get_opt_string(text.get(), "dfx");
    ASSERT_EQ(list_text == nullptr ? "" : std::string(list_text), dfx_text);
    hdk_free(list_text);
    const Numbers expected = model_list(dfx_text);
    ASSERT_EQ(drv_fmea_parse_dfx_num(text.get()), expected.size());
    const uint32_t capacity = gen.below(expected.size() + 3);
    const size_t count = std::min<size_t>(capacity, expected.size());
    ASSERT_EQ(guarded(capacity, [&](uint32_t *a,
                                    uint32_t n) { return drv_fmea_parse_dfx(text.get(), n, a); }),
              Numbers(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(count)));
  }
}

}  // namespace
