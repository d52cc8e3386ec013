// SPDX-License-Identifier: Apache-2.0
// MMIO access functions: one volatile load or store of exactly the
// register's width, at an aligned offset inside the device's mapping.
// Device memory is little-endian (PCI); a big-endian host swaps bytes.
#include <bit>
#include <cstdint>

#include "bus_slots.hpp"

namespace chip_bus {
namespace {

template <typename Word>
[[gnu::always_inline]] inline Word device_order(Word word) {
  if constexpr (std::endian::native == std::endian::big) {
    if constexpr (sizeof(Word) == 2) {
      return __builtin_bswap16(word);
    } else {
      return __builtin_bswap32(word);
    }
  }
  return word;
}

// Orders device accesses against the loads and stores around them: on
// arm64 a barrier for the outer-shareable domain (before a write, after a
// read); on x86 uncached mappings are strongly ordered, and keeping the
// compiler from moving memory accesses across is all that is needed.
[[gnu::always_inline]] inline void barrier_before_write() {
#if defined(__aarch64__)
  __asm__ __volatile__("dmb oshst" ::: "memory");
#else
  __asm__ __volatile__("" ::: "memory");
#endif
}

[[gnu::always_inline]] inline void barrier_after_read() {
#if defined(__aarch64__)
  __asm__ __volatile__("dmb oshld" ::: "memory");
#else
  __asm__ __volatile__("" ::: "memory");
#endif
}

template <typename Word>
struct Names;
template <>
struct Names<uint16_t> {
  static constexpr const char *kRead = "chip_mmio_read16";
  static constexpr const char *kWrite = "chip_mmio_write16";
};
template <>
struct Names<uint32_t> {
  static constexpr const char *kRead = "chip_mmio_read32";
  static constexpr const char *kWrite = "chip_mmio_write32";
};

// Why an access at `addr` cannot be made, or null when it can.
template <typename Word>
[[gnu::always_inline]] inline const char *placement_problem(const MmioContext &mmio,
                                                             uint32_t addr) {
  if (addr % sizeof(Word) != 0) [[unlikely]] {
    return sizeof(Word) == 2 ? "address not aligned to 2 bytes" : "address not aligned to 4 bytes";
  }
  if (uint64_t{addr} + sizeof(Word) > mmio.size) [[unlikely]] {
    return "address outside the mapping";
  }
  return nullptr;
}

template <typename Word>
int32_t read_word(uint32_t dev, uint32_t addr, Word *value) {
  constexpr uint32_t kWidth = 8 * sizeof(Word);
  const Slot *slot = slot_holding(dev, CHIP_BUS_MMIO);
  if (slot == nullptr) [[unlikely]] {
    return refuse_slot(CHIP_TRACE_BUS_READ, CHIP_BUS_MMIO, Names<Word>::kRead, dev, kWidth, addr,
                       0);
  }
  if (const char *problem = placement_problem<Word>(slot->mmio, addr)) [[unlikely]] {
    return refuse_access(CHIP_TRACE_BUS_READ, CHIP_BUS_MMIO, Names<Word>::kRead, dev, kWidth,
                         addr, 0, problem);
  }
  if (value == nullptr) [[unlikely]] {
    return refuse_access(CHIP_TRACE_BUS_READ, CHIP_BUS_MMIO, Names<Word>::kRead, dev, kWidth,
                         addr, 0, "null value pointer");
  }
  const Word word =
      device_order(*reinterpret_cast<const volatile Word *>(slot->mmio.base + addr));
  barrier_after_read();
  *value = word;
  CHIP_BUS_TRACE_DONE(CHIP_TRACE_BUS_READ, CHIP_BUS_MMIO, dev, kWidth, addr, uint32_t{word}, 0);
  return 0;
}

template <typename Word>
int32_t write_word(uint32_t dev, uint32_t addr, Word value) {
  constexpr uint32_t kWidth = 8 * sizeof(Word);
  const Slot *slot = slot_holding(dev, CHIP_BUS_MMIO);
  if (slot == nullptr) [[unlikely]] {
    return refuse_slot(CHIP_TRACE_BUS_WRITE, CHIP_BUS_MMIO, Names<Word>::kWrite, dev, kWidth,
                       addr, value);
  }
  if (const char *problem = placement_problem<Word>(slot->mmio, addr)) [[unlikely]] {
    return refuse_access(CHIP_TRACE_BUS_WRITE, CHIP_BUS_MMIO, Names<Word>::kWrite, dev, kWidth,
                         addr, value, problem);
  }
  barrier_before_write();
  *reinterpret_cast<volatile Word *>(slot->mmio.base + addr) = device_order(value);
  CHIP_BUS_TRACE_DONE(CHIP_TRACE_BUS_WRITE, CHIP_BUS_MMIO, dev, kWidth, addr, uint32_t{value}, 0);
  return 0;
}

int32_t mmio_read16(uint32_t dev, uint16_t addr, uint16_t *value) {
  return read_word<uint16_t>(dev, addr, value);
}
int32_t mmio_write16(uint32_t dev, uint16_t addr, uint16_t value) {
  return write_word<uint16_t>(dev, addr, value);
}
int32_t mmio_read32(uint32_t dev, uint32_t addr, uint32_t *value) {
  return read_word<uint32_t>(dev, addr, value);
}
int32_t mmio_write32(uint32_t dev, uint32_t addr, uint32_t value) {
  return write_word<uint32_t>(dev, addr, value);
}

}  // namespace

int32_t mmio_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value) {
  if (width == 32) {
    return read_word<uint32_t>(dev, addr, value);
  }
  if (width != 16) {
    return refuse_access(CHIP_TRACE_BUS_READ, CHIP_BUS_MMIO, "chip_bus_read", dev, width, addr, 0,
                         "width must be 16 or 32");
  }
  if (value == nullptr) {
    return refuse_access(CHIP_TRACE_BUS_READ, CHIP_BUS_MMIO, "chip_bus_read", dev, width, addr, 0,
                         "null value pointer");
  }
  uint16_t half = 0;
  const int32_t status = read_word<uint16_t>(dev, addr, &half);
  if (status == 0) {
    *value = half;
  }
  return status;
}

int32_t mmio_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value) {
  if (width == 32) {
    return write_word<uint32_t>(dev, addr, value);
  }
  if (width != 16 || value > 0xFFFFu) {
    return refuse_access(CHIP_TRACE_BUS_WRITE, CHIP_BUS_MMIO, "chip_bus_write", dev, width, addr,
                         value,
                         width != 16 ? "width must be 16 or 32" : "value wider than 16 bits");
  }
  return write_word<uint16_t>(dev, addr, static_cast<uint16_t>(value));
}

}  // namespace chip_bus

extern "C" {
const hdk_reg_ops chip_mmio_reg_ops = {chip_bus::mmio_read16, chip_bus::mmio_write16,
                                       chip_bus::mmio_read32, chip_bus::mmio_write32};
}
