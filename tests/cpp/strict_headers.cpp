// SPDX-License-Identifier: Apache-2.0
// Every exported header, every packing macro and every template of the C++
// layer instantiated once, compiled with -Wold-style-cast -Wconversion
// -Werror and without exceptions (see CMakeLists.txt). Only compiled: a
// warning here fails the build.
#include <chip_util/chip_util.hpp>
#include <chip_util/sim.h>

#include <array>
#include <mutex>

namespace {

using ctrl = chip::reg<uint32_t, 0>;
using enable = chip::field<ctrl, 0, 0, 1>;
using speed = chip::field<ctrl, 1, 4, 3>;
using mode = chip::field<chip::reg<uint16_t, 1>, 0, 12, 4, chip::access::write_only>;

constexpr hdk_reg_info kRecords[] = {
    HDK_REG_INFO(0x10, 4, 4, 3, 8, -4, HDK_REG_BIT_INDEXED | HDK_REG_ACCESS_TYPE(8)),
    HDK_REG32_FIELD(0, 1, 2),
    HDK_REG32_WHOLE(4),
    HDK_REG16_FIELD(2, 3, 4),
    HDK_REG16_WHOLE(6),
    chip::reg_info(0x20, 4, 0, 4, 1, 0, chip::write_only)};
static_assert(HDK_REG_ID(1, 2) == chip::reg_id(1, 2) && HDK_REG_ID_MODULE(0x400002u) == 1 &&
              HDK_REG_ID_INDEX(0x400002u) == 2 && OSAL_BLOCK_TAG(3) == 0x03AAAAAAu);
static_assert(kRecords[1].field == chip::reg_info(0, 4, 1, 2, 1, 0, 0).field);
static_assert(HDK_REG_WRITE_ONLY == chip::write_only);

struct NullBus {
  int32_t read32(uint32_t, uint32_t, uint32_t &v) { return static_cast<int32_t>(v = 0); }
  int32_t write32(uint32_t, uint32_t, uint32_t) { return 0; }
  int32_t read16(uint32_t, uint16_t, uint16_t &v) { return v = 0; }
  int32_t write16(uint32_t, uint16_t, uint16_t) { return 0; }
};

}  // namespace

// Not called: it exists to be compiled.
int chip_strict_headers_instantiate(hdk_chip_reg_table &table) {
  int failures = 0;
  chip::registration registered(1, table);
  NullBus bus;
  chip::bus_binding<NullBus> binding(1, bus);
  uint32_t count = 0;
  chip::bus_lambdas lambdas{[&](uint32_t, uint32_t, uint32_t &v) { v = ++count; return 0; },
                            [&](uint32_t, uint32_t, uint32_t) { return 0; },
                            [](uint32_t, uint16_t, uint16_t &v) { v = 0; return 0; },
                            [](uint32_t, uint16_t, uint16_t) { return 0; }};
  chip::bus_binding<decltype(lambdas)> lambda_binding(2, lambdas);
  if (auto s = chip::typed<speed>::prepare(1, 0)) {
    failures += !s->write(speed::value<5>) + !s->write<3>() + !s->write_strict(speed::of(2));
    failures += !s->write_merged(enable::value<1>, speed::of(2)) + !s->read();
    failures += !s->poll(1, std::chrono::microseconds(5), std::chrono::milliseconds(1));
  }
  if (auto m = chip::typed<mode>::prepare(1, 0)) failures += !m->write(mode::value<9>);
  if (auto h = chip::field16::prepare(1, 0, 3)) {
    failures += !h->write(3) + !h->write_strict(1) + !h->read();
    failures += !h->poll(1, std::chrono::microseconds(5), std::chrono::seconds(1));
    const chip::field16 *both[] = {&h.value(), &h.value()};
    failures += !chip::write_merged(both, {uint16_t{1}, uint16_t{2}});
  }
  failures += !chip::field32::prepare(1, 0, 2).ok();
  std::array<uint32_t, 4> image{};
  std::array<uint32_t, 2> field{};
  failures += !chip::read_wide(1, 0, 0, 0, image, field) + !chip::write_wide(1, 0, 0, 0, image, field);
  std::array<std::byte, 8> bytes{};
  std::array<char, 8> text{};
  failures += chip::copy_bytes(bytes, bytes) + chip::fill_bytes(bytes, std::byte{1}) +
              chip::copy_text(text, "abc", 3);
  std::array<uint8_t, 64> pattern{};
  std::array<uint8_t, 64> decoded{};
  failures += chip::encode_trace(16, pattern, pattern) + chip::assemble_trace(16, pattern, pattern);
  failures += !chip::decode_trace(pattern, decoded);
  chip::int_lock lock;
  {
    const std::scoped_lock guard(lock);
  }
  chip::thread worker([&] { const std::lock_guard<chip::int_lock> guard(lock); });
  failures += !worker.join();
  chip::named_semaphore sem("/chip_strict", 0);
  failures += !sem.take_for(std::chrono::milliseconds(1)) + !sem.give() + !sem.take();
  chip::sleep_for(std::chrono::microseconds(1));
  chip::busy_wait(std::chrono::nanoseconds(10));
  failures += chip::steady_clock::now().time_since_epoch().count() < 0;
  failures += registered.reset() ? 0 : 1;
  failures += static_cast<int>(chip::make_error_code(chip::errc::timeout).message().size());
  return failures + static_cast<int>(kRecords[0].loc);
}
