// Many threads reading and writing fields of one shared register table at
// once, each on registers of its own, through access functions that are
// safe to call from any thread. Every thread keeps a model of its own
// registers and checks each read against it; at the end the whole bank must
// hold exactly what the models say, so a field write that disturbed another
// field, another element or another thread's register shows up. Refused
// accesses run alongside and each refusal message must arrive exactly once.
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kThreads = 8;
constexpr uint32_t kDevices = 4;  // threads t and t + 4 share a device
constexpr uint32_t kChipId = 7;   // every device resolves to this chip's table
constexpr uint32_t kRounds = 20000;
constexpr uint32_t kInstStride = 0x40;  // address units between instances
constexpr uint32_t kBankWords = kThreads * kInstStride;

// One bank per device and width; every word is an atomic, so concurrent
// accesses to distinct words never race and the bank itself takes no lock.
// An address outside the bank answers with a status the test can see.
constexpr int32_t kBadAddress = 0x5A;
std::array<std::array<std::atomic<uint32_t>, kBankWords>, kDevices> g_bank32;
std::array<std::array<std::atomic<uint16_t>, kBankWords>, kDevices> g_bank16;

int32_t bank_read32(uint32_t dev, uint32_t addr, uint32_t *value) {
  if (dev >= kDevices || addr >= kBankWords) return kBadAddress;
  *value = g_bank32[dev][addr].load(std::memory_order_relaxed);
  return 0;
}
int32_t bank_write32(uint32_t dev, uint32_t addr, uint32_t value) {
  if (dev >= kDevices || addr >= kBankWords) return kBadAddress;
  g_bank32[dev][addr].store(value, std::memory_order_relaxed);
  return 0;
}
int32_t bank_read16(uint32_t dev, uint16_t addr, uint16_t *value) {
  if (dev >= kDevices || addr >= kBankWords) return kBadAddress;
  *value = g_bank16[dev][addr].load(std::memory_order_relaxed);
  return 0;
}
int32_t bank_write16(uint32_t dev, uint16_t addr, uint16_t value) {
  if (dev >= kDevices || addr >= kBankWords) return kBadAddress;
  g_bank16[dev][addr].store(value, std::memory_order_relaxed);
  return 0;
}

const hdk_reg_ops kBankOps = {bank_read16, bank_write16, bank_read32, bank_write32};

uint32_t resolve_to_shared_chip(uint32_t) { return kChipId; }

// The records of one instance, the same for both widths except for the
// register size. Three fields share the register at offset 0; offset 1 is
// a whole register; offsets 2 to 9 are an array of eight 3-bit fields with
// an address stride of 1; offset 10 starts a bit-indexed array of four
// 4-bit fields (stride 4 bits) whose last two elements carry over into the
// next register (offset 14 for 32 bits, 12 for 16).
struct FieldShape {
  uint32_t offset;
  uint32_t start_bit;
  uint32_t field_bits;
  uint32_t elem_num;
  int32_t stride;
  uint32_t flags;
};

constexpr std::array<FieldShape, 6> kShapes32 = {{
    {0, 0, 5, 1, 0, 0},
    {0, 5, 11, 1, 0, 0},
    {0, 16, 16, 1, 0, 0},
    {1, 0, 32, 1, 0, HDK_REG_WHOLE},
    {2, 4, 3, 8, 1, 0},
    {10, 24, 4, 4, 4, HDK_REG_BIT_INDEXED},
}};
constexpr std::array<FieldShape, 6> kShapes16 = {{
    {0, 0, 3, 1, 0, 0},
    {0, 3, 6, 1, 0, 0},
    {0, 9, 7, 1, 0, 0},
    {1, 0, 16, 1, 0, HDK_REG_WHOLE},
    {2, 4, 3, 8, 1, 0},
    {10, 8, 4, 4, 4, HDK_REG_BIT_INDEXED},
}};
constexpr uint32_t kRegsPerInst = kShapes32.size();

std::array<hdk_reg_info, kRegsPerInst> records_of(const std::array<FieldShape, 6> &shapes,
                                                  uint32_t reg_bytes) {
  std::array<hdk_reg_info, kRegsPerInst> out{};
  for (size_t i = 0; i < shapes.size(); ++i) {
    const FieldShape &s = shapes[i];
    out[i] = HDK_REG_INFO(s.offset, reg_bytes, s.start_bit, s.field_bits, s.elem_num, s.stride,
                          s.flags);
  }
  return out;
}

// Module 0 holds the 32-bit registers, module 1 the 16-bit ones; instance
// t of each module belongs to thread t.
struct SharedChip {
  std::array<hdk_reg_info, kRegsPerInst> regs32 = records_of(kShapes32, 4);
  std::array<hdk_reg_info, kRegsPerInst> regs16 = records_of(kShapes16, 2);
  std::array<hdk_reg_inst, kThreads> insts32{};
  std::array<hdk_reg_inst, kThreads> insts16{};
  std::array<hdk_reg_module, 2> modules{};
  hdk_chip_reg_table table{};

  SharedChip() {
    for (uint32_t t = 0; t < kThreads; ++t) {
      insts32[t] = {t * kInstStride, 0, 0, kRegsPerInst, regs32.data()};
      insts16[t] = {t * kInstStride, 0, 0, kRegsPerInst, regs16.data()};
    }
    modules[0] = {0, kThreads, insts32.data(), 0, 0};
    modules[1] = {0, kThreads, insts16.data(), 0, 0};
    table = {0, 2, modules.data(), {0, 0, 0, 0, 0}, &kBankOps};
  }
};

uint32_t mask_of(uint32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

// Where element `elem` of a shape lives: register offset and start bit. A
// bit position past the register carries into the register one register
// size (in address units, i.e. bytes) further on.
struct Place {
  uint32_t offset;
  uint32_t start_bit;
};

Place place_of(const FieldShape &s, uint32_t elem, uint32_t width) {
  if ((s.flags & HDK_REG_BIT_INDEXED) != 0) {
    const uint32_t bit = s.start_bit + static_cast<uint32_t>(s.stride) * elem;
    return {s.offset + bit / width * (width / 8), bit % width};
  }
  return {s.offset + static_cast<uint32_t>(s.stride) * elem, s.start_bit};
}

// One thread's registers as it believes them to be: the field values it
// wrote last, per width, shape and element (0 where never written).
struct Model {
  std::array<std::array<uint32_t, 8>, kRegsPerInst> fields32{};
  std::array<std::array<uint32_t, 8>, kRegsPerInst> fields16{};

  // The register words the fields add up to, by offset within the instance.
  std::vector<uint32_t> image(const std::array<FieldShape, 6> &shapes,
                              const std::array<std::array<uint32_t, 8>, kRegsPerInst> &fields,
                              uint32_t width) const {
    std::vector<uint32_t> words(kInstStride, 0);
    for (size_t r = 0; r < shapes.size(); ++r) {
      for (uint32_t e = 0; e < shapes[r].elem_num; ++e) {
        const Place p = place_of(shapes[r], e, width);
        words[p.offset] |= fields[r][e] << p.start_bit;
      }
    }
    return words;
  }
};

struct Outcome {
  uint32_t mismatches = 0;
  uint32_t failed_calls = 0;
  uint32_t refusals = 0;
  std::vector<std::string> expected_messages;
};

// Thread t: random field writes with a read-back, random reads checked
// against the model, and every 50th round one refused access whose message
// names this thread's device and instance.
void run_thread(uint32_t t, Outcome &out, std::latch &start) {
  start.arrive_and_wait();  // all threads begin together
  const uint32_t dev = t % kDevices;
  std::mt19937 random(0xC0FFEEu + t);
  Model model;
  for (uint32_t round = 0; round < kRounds; ++round) {
    const bool wide = (random() & 1u) != 0;
    const uint32_t r = random() % kRegsPerInst;
    const FieldShape &shape = wide ? kShapes32[r] : kShapes16[r];
    const uint32_t elem = random() % shape.elem_num;
    const uint32_t reg_id = HDK_REG_ID(wide ? 0 : 1, r);
    uint32_t &field = (wide ? model.fields32 : model.fields16)[r][elem];
    const uint32_t mask = mask_of(shape.field_bits);
    if ((random() & 1u) != 0) {
      const uint32_t value = static_cast<uint32_t>(random()) & mask;
      const int32_t status =
          wide ? hdk_write_reg32_field(dev, t, reg_id, elem, value)
               : hdk_write_reg16_field(dev, t, reg_id, elem, static_cast<uint16_t>(value));
      if (status != 0) ++out.failed_calls;
      field = value;
    }
    uint32_t read = 0xDEADBEEFu;
    int32_t status = 0;
    if (wide) {
      status = hdk_read_reg32_field(dev, t, reg_id, elem, &read);
    } else {
      uint16_t read16 = 0xBEEF;
      status = hdk_read_reg16_field(dev, t, reg_id, elem, &read16);
      read = read16;
    }
    if (status != 0) ++out.failed_calls;
    if (read != field) ++out.mismatches;

    if (round % 50 == 0) {
      // An element one past the array: refused with code 0x10 before any
      // access function is called, and nothing stored.
      const uint32_t bad_elem = kShapes32[r].elem_num;
      uint32_t untouched = 0x12345678u;
      if (hdk_read_reg32_field(dev, t, HDK_REG_ID(0, r), bad_elem, &untouched) == -1 &&
          untouched == 0x12345678u) {
        ++out.refusals;
      }
      char message[96];
      std::snprintf(message, sizeof message, "\r\nhdk_read_reg32_field(%u, %u, 0x%x, %u) error code 0x10.",
                    dev, t, HDK_REG_ID(0, r), bad_elem);
      out.expected_messages.emplace_back(message);
    }
  }
  // The bank words of this thread's instances, compared with the model.
  const std::vector<uint32_t> words32 = model.image(kShapes32, model.fields32, 32);
  const std::vector<uint32_t> words16 = model.image(kShapes16, model.fields16, 16);
  for (uint32_t offset = 0; offset < kInstStride; ++offset) {
    const uint32_t addr = t * kInstStride + offset;
    if (g_bank32[dev][addr].load() != words32[offset]) ++out.mismatches;
    if (g_bank16[dev][addr].load() != words16[offset]) ++out.mismatches;
  }
}

class SharedTableStress : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto &device : g_bank32) {
      for (auto &word : device) word.store(0);
    }
    for (auto &device : g_bank16) {
      for (auto &word : device) word.store(0);
    }
    // Registration completes before any thread touches a device.
    for (uint32_t dev = 0; dev < kDevices; ++dev) {
      hdk_register_reg_chip_id(dev, resolve_to_shared_chip);
    }
    ASSERT_EQ(hdk_register_reg(0, &chip_.table), 0);
    ASSERT_EQ(g_hdk_chip_reg[kChipId], &chip_.table);
  }
  void TearDown() override {
    for (uint32_t dev = 0; dev < kDevices; ++dev) {
      hdk_register_reg_chip_id(dev, nullptr);
    }
    g_hdk_chip_reg[kChipId] = nullptr;
  }
  SharedChip chip_;
};

TEST_F(SharedTableStress, FieldAccessOnDistinctRegistersStaysExact) {
  chip_test::PrintCapture capture;
  std::array<Outcome, kThreads> outcomes;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back(run_thread, t, std::ref(outcomes[t]), std::ref(start));
  }
  for (auto &thread : threads) thread.join();

  std::vector<std::string> expected;
  for (uint32_t t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    EXPECT_EQ(outcomes[t].mismatches, 0u);
    EXPECT_EQ(outcomes[t].failed_calls, 0u);
    EXPECT_EQ(outcomes[t].refusals, outcomes[t].expected_messages.size());
    expected.insert(expected.end(), outcomes[t].expected_messages.begin(),
                    outcomes[t].expected_messages.end());
  }
  // Each refusal printed once, whole, in one call of the print function.
  std::vector<std::string> printed = capture.calls();
  std::sort(printed.begin(), printed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(printed, expected);
}

}  // namespace
