// Every entry point that names a field by (dev, inst, reg_id, elem) checks
// the indexes the same way, under its own name: the same silent refusals
// (device number, resolved chip id, missing table), the same four codes in
// the same order, through the identity mapping and through a resolver alike,
// and nothing reaches an access function or an out-parameter.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "register/sim_chip.hpp"
#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kSentinel = 0xA5A5A5A5u;
constexpr uint32_t kChip = 9;          // the table's chip id
constexpr uint32_t kResolvedDev = 5;   // resolves to kChip
constexpr uint32_t kTooFarDev = 6;     // resolves to chip id 320
constexpr uint32_t kTablelessDev = 4;  // identity, no table

// One entry point: its name in messages and a call that reports whether it
// left its out-parameters alone.
struct EntryPoint {
  const char *name;
  std::function<int32_t(uint32_t, uint32_t, uint32_t, uint32_t, bool *)> call;
};

std::vector<EntryPoint> entry_points() {
  return {
      {"hdk_read_reg32_field",
       [](uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, bool *untouched) {
         uint32_t value = kSentinel;
         const int32_t result = hdk_read_reg32_field(dev, inst, reg_id, elem, &value);
         *untouched = value == kSentinel;
         return result;
       }},
      {"hdk-write-reg32-field",
       [](uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, bool *untouched) {
         *untouched = true;
         return hdk_write_reg32_field(dev, inst, reg_id, elem, 1);
       }},
      {"hdk_set_reg_field32",
       [](uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, bool *untouched) {
         uint32_t word = kSentinel;
         const int32_t result = hdk_set_reg_field32(dev, inst, reg_id, elem, &word, 1);
         *untouched = word == kSentinel;
         return result;
       }},
      {"hdk_read_reg16_field",
       [](uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, bool *untouched) {
         uint16_t value = 0xA5A5;
         const int32_t result = hdk_read_reg16_field(dev, inst, reg_id, elem, &value);
         *untouched = value == 0xA5A5;
         return result;
       }},
      {"hdk_write_reg16_field",
       [](uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, bool *untouched) {
         *untouched = true;
         return hdk_write_reg16_field(dev, inst, reg_id, elem, 1);
       }},
      {"hdk_access_reg_field",
       [](uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, bool *untouched) {
         uint32_t image[2] = {kSentinel, kSentinel};
         uint32_t field[2] = {kSentinel, kSentinel};
         const int32_t read = hdk_access_reg_field(dev, inst, reg_id, elem, image, field, 0);
         const int32_t write = hdk_access_reg_field(dev, inst, reg_id, elem, image, field, 1);
         *untouched = image[0] == kSentinel && image[1] == kSentinel && field[0] == kSentinel &&
                      field[1] == kSentinel;
         // Both directions must agree; the message is checked once per call.
         return read == write ? read : 0x7777;
       }},
      {"driver_check",
       [](uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem, bool *untouched) {
         const hdk_reg_module *module = nullptr;
         const hdk_reg_inst *instance = nullptr;
         const hdk_reg_info *reg = nullptr;
         const int32_t result = hdk_para_chk_and_get_module("driver_check", dev, inst, reg_id,
                                                            elem, &module, &instance, &reg);
         *untouched = module == nullptr && instance == nullptr && reg == nullptr;
         return result;
       }},
  };
}

struct Refusal {
  const char *what;
  uint32_t dev;
  uint32_t inst;
  uint32_t reg_id;
  uint32_t elem;
  uint32_t code;  // 0: refused without a message
};

uint32_t resolve(uint32_t dev) { return dev == kTooFarDev ? HDK_MAX_CHIP_NUM : kChip; }

class IndexRefusal : public chip_test::SimChipTest {
 protected:
  // Two modules of two instances of two records each; record 1 is an
  // array of three elements. Both widths are present so that every entry
  // point has a record it accepts.
  hdk_reg_info regs_[2] = {HDK_REG32_FIELD(0, 0, 4), HDK_REG_INFO(4, 4, 0, 4, 3, 4, 0)};
  hdk_reg_info regs16_[2] = {HDK_REG16_FIELD(0, 0, 4), HDK_REG_INFO(4, 2, 0, 4, 3, 2, 0)};
  hdk_reg_inst insts_[2] = {{0x100, 0, 0, 2, regs_}, {0x200, 0, 0, 2, regs_}};
  hdk_reg_inst insts16_[2] = {{0x300, 0, 0, 2, regs16_}, {0x400, 0, 0, 2, regs16_}};
  hdk_reg_module modules_[2] = {{0, 2, insts_, 0, 0}, {0, 2, insts16_, 0, 0}};
  hdk_chip_reg_table table_{0, 2, modules_, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};

  void SetUp() override {
    SimChipTest::SetUp();
    hdk_register_reg_chip_id(kResolvedDev, resolve);
    hdk_register_reg_chip_id(kTooFarDev, resolve);
    ASSERT_EQ(hdk_register_reg(kChip, &table_), 0);
  }
};

TEST_F(IndexRefusal, EveryEntryPointRefusesAlikeUnderItsOwnName) {
  std::vector<Refusal> refusals = {
      {"device number past the registry", HDK_MAX_DEV_NUM, 0, 0, 0, 0},
      {"device number far past the registry", 0xFFFFFFFFu, 0, 0, 0, 0},
      {"resolved chip id past the registry", kTooFarDev, 0, 0, 0, 0},
      {"no table for the chip id", kTablelessDev, 0, 0, 0, 0},
  };
  for (const uint32_t dev : {kChip, kResolvedDev}) {
    refusals.push_back({"module", dev, 0, HDK_REG_ID(2, 0), 0, 0x2});
    refusals.push_back({"module far out", dev, 0, HDK_REG_ID(0x3FF, 0), 0, 0x2});
    refusals.push_back({"instance", dev, 2, HDK_REG_ID(1, 0), 0, 0x4});
    refusals.push_back({"instance and element: instance first", dev, 7, HDK_REG_ID(0, 1), 9, 0x4});
    refusals.push_back({"register", dev, 1, HDK_REG_ID(0, 2), 0, 0x8});
    refusals.push_back({"register and element: register first", dev, 0, HDK_REG_ID(1, 5), 5, 0x8});
    refusals.push_back({"element of a single record", dev, 1, HDK_REG_ID(1, 0), 1, 0x10});
    refusals.push_back({"element past an array", dev, 0, HDK_REG_ID(0, 1), 3, 0x10});
  }

  for (const EntryPoint &entry : entry_points()) {
    for (const Refusal &r : refusals) {
      SCOPED_TRACE(std::string(entry.name) + ": " + r.what + ", dev " + std::to_string(r.dev));
      chip_sim_log_clear();
      chip_test::PrintCapture capture;
      bool untouched = false;
      EXPECT_EQ(entry.call(r.dev, r.inst, r.reg_id, r.elem, &untouched), -1);
      EXPECT_TRUE(untouched);
      EXPECT_EQ(chip_sim_log_count(), 0u);
      std::vector<std::string> expected;
      if (r.code != 0) {
        char message[160];
        std::snprintf(message, sizeof message, "\r\n%s(%u, %u, 0x%x, %u) error code 0x%x.",
                      entry.name, r.dev, r.inst, r.reg_id, r.elem, r.code);
        expected.emplace_back(message);
        if (std::string(entry.name) == "hdk_access_reg_field") {
          expected.push_back(expected.back());  // read, then write
        }
      }
      EXPECT_EQ(capture.calls(), expected);
    }
  }
}

// The same indexes one step inside every bound are accepted by each entry
// point, through the identity mapping and through the resolver.
TEST_F(IndexRefusal, LastIndexesAreAccepted) {
  for (const EntryPoint &entry : entry_points()) {
    for (const uint32_t dev : {kChip, kResolvedDev}) {
      const bool wide = std::string(entry.name).find("16") == std::string::npos;
      const uint32_t module = wide ? 0 : 1;
      SCOPED_TRACE(std::string(entry.name) + ", dev " + std::to_string(dev));
      chip_test::PrintCapture capture;
      bool untouched = false;
      EXPECT_EQ(entry.call(dev, 1, HDK_REG_ID(module, 1), 2, &untouched), 0);
      EXPECT_TRUE(capture.calls().empty());
    }
  }
}

}  // namespace
