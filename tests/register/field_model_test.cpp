// Random records against a small reference model: the exact access
// sequence, results and messages of the field reads and writes of both
// widths, with random statuses, missing access functions and records of the
// wrong width.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "register/sim_chip.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::Access;
using chip_test::field_function;
using chip_test::field_message;
using chip_test::kDev;
using chip_test::OneRecordChip;
using chip_test::sim_log;

// A record in plain numbers.
struct Record {
  uint32_t reg_bytes;
  uint32_t base;
  uint32_t offset;
  int32_t stride;
  bool bit_indexed;
  bool whole;
  uint32_t access_type;
  uint32_t elem_num;
  uint32_t field_bits;
  uint32_t start_bit;

  hdk_reg_info packed() const {
    const uint32_t flags = (bit_indexed ? HDK_REG_BIT_INDEXED : 0u) | (whole ? HDK_REG_WHOLE : 0u) |
                           HDK_REG_ACCESS_TYPE(access_type);
    return HDK_REG_INFO(offset, reg_bytes, start_bit, field_bits, elem_num, stride, flags);
  }
};

// Where an access goes, in exact integer arithmetic reduced at the end.
struct Place {
  bool refused;  // the element's field does not lie inside one register
  bool whole;
  uint32_t addr;
  uint32_t start_bit;
  uint64_t mask;
};

Place model_place(const Record &r, uint32_t elem, uint32_t width) {
  const int64_t space = int64_t{1} << width;  // addresses wrap in the register's width
  const auto wrap = [space](int64_t a) {
    return static_cast<uint32_t>(((a % space) + space) % space);
  };
  const int64_t step = int64_t{r.stride} * elem;
  if (r.whole || r.field_bits == width) {
    return {false, true, wrap(int64_t{r.base} + r.offset + step), 0, 0};
  }
  int64_t addr = int64_t{r.base} + r.offset;
  int64_t start = r.start_bit;
  if (elem != 0 && !r.bit_indexed) {
    addr += step;
  } else if (elem != 0) {
    const int64_t position = start + step;
    if (position < 0) {
      return {true, false, 0, 0, 0};
    }
    const int64_t wrapped = position % space;
    addr += wrapped / width * (width / 8);
    start = wrapped % width;
  }
  if (start + r.field_bits > width) {
    return {true, false, 0, 0, 0};
  }
  const uint64_t mask = ((uint64_t{1} << r.field_bits) - 1) << start;
  return {false, false, wrap(addr), static_cast<uint32_t>(start), mask};
}

class RecordGenerator {
 public:
  RecordGenerator(uint32_t width, uint32_t seed) : width_(width), rng_(seed) {}

  uint32_t pick(uint32_t lo, uint32_t hi) {
    return std::uniform_int_distribution<uint32_t>(lo, hi)(rng_);
  }
  bool chance(uint32_t one_in) { return pick(1, one_in) == 1; }

  // Mostly consistent records, now and then one that does not fit.
  Record next() {
    Record r{};
    r.reg_bytes = chance(10) ? 6 - width_ / 8 : width_ / 8;
    r.base = chance(2) ? pick(0, 0xFFFFFFFF) : pick(0, 0x400) * 4;
    r.offset = chance(4) ? pick(0, 0x3FFFFFFF) : pick(0, 0x100);
    r.bit_indexed = chance(2);
    r.whole = chance(8);
    r.access_type = chance(2) ? pick(7, 8) : pick(0, 127);
    r.field_bits = chance(12) ? pick(width_ + 1, width_ + 8) : pick(1, width_);
    r.start_bit =
        chance(12) ? pick(0, 3 * width_) : pick(0, width_ - std::min(width_, r.field_bits));
    const int32_t unit = r.bit_indexed ? static_cast<int32_t>(r.field_bits) : int32_t(width_ / 8);
    r.stride = chance(8) ? static_cast<int32_t>(pick(0, 0x1FFFFFF) << 7) >> 7
                         : static_cast<int32_t>(pick(0, 16)) * unit * (chance(3) ? -1 : 1);
    r.elem_num = chance(8) ? pick(1, 0x3FFFFF) : pick(1, 40);
    return r;
  }
  int32_t status() {
    static constexpr int32_t kStatuses[] = {1, 2, 4, 0x40000000, -1};
    return chance(4) ? kStatuses[pick(0, 4)] : 0;
  }
  // The chip's access functions: all, no table, none, or the writers only.
  const hdk_reg_ops *ops() {
    static const hdk_reg_ops kNone = {nullptr, nullptr, nullptr, nullptr};
    static const hdk_reg_ops kWriters = {nullptr, chip_sim_reg_ops.write16, nullptr,
                                         chip_sim_reg_ops.write32};
    const hdk_reg_ops *choices[] = {&chip_sim_reg_ops, nullptr, &kNone, &kWriters};
    return chance(2) ? choices[0] : choices[pick(0, 3)];
  }

 private:
  uint32_t width_;
  std::mt19937 rng_;
};

class FieldModel : public chip_test::SimChipTest, public ::testing::WithParamInterface<uint32_t> {};

// Every message is passed to the print function as the argument of "%s".
void expect_messages(const chip_test::PrintCapture &capture, std::vector<std::string> want) {
  EXPECT_EQ(capture.calls(), want);
  EXPECT_EQ(capture.formats(), std::vector<std::string>(want.size(), "%s"));
}

TEST_P(FieldModel, AccessSequenceMatchesTheModel) {
  const uint32_t w = GetParam();
  const uint64_t word_mask = (uint64_t{1} << w) - 1;
  const char *read_name = field_function(w, false);
  const char *write_name = field_function(w, true);
  RecordGenerator gen(w, 77 + w);
  for (int i = 0; i < 40000; ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    chip_sim_reset();
    const Record r = gen.next();
    const hdk_reg_ops *ops = gen.ops();
    OneRecordChip chip(r.base, r.packed(), ops);
    ASSERT_EQ(hdk_register_reg(kDev, &chip.table), 0);
    const bool wrong_width = r.reg_bytes != w / 8;
    const bool can_read = ops == &chip_sim_reg_ops;
    const bool can_write = ops != nullptr && ops->write32 != nullptr;
    const uint32_t elem = gen.chance(16)  ? r.elem_num + gen.pick(0, 3)
                          : gen.chance(4) ? 0
                                          : gen.pick(0, r.elem_num - 1);
    // Now and then a missing module, instance or register: the parameter
    // check's code, in that order, then the element's.
    const uint32_t inst = gen.chance(16) ? 1 : 0;
    const uint32_t reg_id = gen.chance(16) ? HDK_REG_ID(gen.pick(0, 1), 1) : 0;
    const uint32_t code = HDK_REG_ID_MODULE(reg_id) != 0 ? 0x2
                          : inst != 0                    ? 0x4
                          : reg_id != 0                  ? 0x8
                          : elem >= r.elem_num           ? 0x10
                                                         : 0;
    const uint32_t refusal_code = code != 0 ? code : 0xFFFFFFFF;
    const Place place = model_place(r, elem, w);
    const uint32_t old_word = static_cast<uint32_t>(gen.pick(0, 0xFFFFFFFF) & word_mask);
    if (!place.refused) {
      chip_sim_poke(kDev, place.addr, old_word);
    }
    const int32_t s1 = gen.status();
    const int32_t s2 = gen.status();
    const int32_t queued[] = {s1, s2};
    chip_sim_queue_statuses(queued, 2);
    chip_test::PrintCapture capture;

    // Read.
    uint32_t value = 0xABCD;
    const int32_t read_result = chip_test::read_field(w, elem, &value, reg_id, inst);
    std::vector<Access> want_log;
    if (code != 0 || wrong_width || !can_read || place.refused) {
      EXPECT_EQ(read_result, -1);
      EXPECT_EQ(value, 0xABCDu);
      expect_messages(capture,
                      {field_message(read_name, elem, std::nullopt, refusal_code, inst, reg_id)});
    } else {
      EXPECT_EQ(read_result, s1);
      const uint32_t seen = s1 == 0 ? old_word : 0;
      const uint32_t want = place.whole
                                ? (s1 == 0 ? old_word : 0xABCDu)
                                : static_cast<uint32_t>((seen & place.mask) >> place.start_bit);
      EXPECT_EQ(value, want);
      want_log.push_back(chip_test::read_of(w, place.addr, seen, s1));
    }
    EXPECT_EQ(sim_log(), want_log);

    // Write: a fresh pair of statuses.
    chip_sim_reset();
    if (!place.refused) {
      chip_sim_poke(kDev, place.addr, old_word);
    }
    chip_sim_queue_statuses(queued, 2);
    capture.clear();
    const bool narrow_value = gen.chance(2);
    const uint32_t field_value = static_cast<uint32_t>((narrow_value && r.field_bits < 32
                                                            ? gen.pick(0, (1u << r.field_bits) - 1)
                                                            : gen.pick(0, 0xFFFFFFFF)) &
                                                       word_mask);
    const bool too_wide = !place.whole && r.field_bits < w && (field_value >> r.field_bits) != 0;
    const bool reads = r.access_type != 7 && r.access_type != 8;
    const int32_t write_result = chip_test::write_field(w, elem, field_value, reg_id, inst);
    want_log.clear();
    if (code == 0 && wrong_width && w == 32) {
      EXPECT_EQ(write_result, -1);
      expect_messages(capture,
                      {"\r\nhdk-write-reg32-field(3, 0, 0x0, " + std::to_string(elem) + ")fail"});
    } else if (code == 0 && too_wide && !wrong_width && can_write && (!reads || can_read)) {
      EXPECT_EQ(write_result, -1);
      expect_messages(capture, {field_message(write_name, elem, field_value)});
    } else if (code != 0 || wrong_width || !can_write || (!place.whole && place.refused) ||
               (!place.whole && reads && !can_read)) {
      EXPECT_EQ(write_result, -1);
      expect_messages(capture,
                      {field_message(write_name, elem, std::nullopt, refusal_code, inst, reg_id)});
    } else if (place.whole) {
      EXPECT_EQ(write_result, s1);
      want_log.push_back(chip_test::write_of(w, place.addr, field_value, s1));
    } else {
      const int32_t read_status = reads ? s1 : 0;
      const int32_t write_status = reads ? s2 : s1;
      const uint32_t seen = reads && s1 == 0 ? old_word : 0;
      const uint32_t merged = static_cast<uint32_t>(
          (seen & ~place.mask) | ((uint64_t{field_value} << place.start_bit) & place.mask));
      if (reads) {
        want_log.push_back(chip_test::read_of(w, place.addr, seen, s1));
      }
      want_log.push_back(chip_test::write_of(w, place.addr, merged, write_status));
      EXPECT_EQ(write_result, read_status | write_status);
      EXPECT_EQ(chip_sim_peek(kDev, place.addr), write_status == 0 ? merged : old_word);
    }
    EXPECT_EQ(sim_log(), want_log);
    if (HasFailure()) {
      return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, FieldModel, ::testing::Values(32u, 16u));

}  // namespace
