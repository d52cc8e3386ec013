// SPDX-License-Identifier: Apache-2.0
// The line card again, driven through the C++ layer on the same simulated
// chip and the same register table as the C walkthrough: the table
// registered for the lifetime of an object, fields declared as typed
// constants (a wrong write does not compile), prepared once and then
// written with nothing but the bus access, several fields merged into one
// read-modify-write, polling with std::chrono, a bus that carries state,
// and the int lock under std::scoped_lock.
#include <chip_util/chip_util.hpp>
#include <chip_util/sim.h>

#include <cstdio>
#include <mutex>

extern "C" {
#include "line_card_chip.h"
}

namespace {

// Module and record index of a generated reg_id constant (lc7_map.h).
constexpr uint32_t module_of(uint32_t id) { return HDK_REG_ID_MODULE(id); }
constexpr uint32_t record_of(uint32_t id) { return HDK_REG_ID_INDEX(id); }
constexpr uint32_t kMac = module_of(LC7_MAC_CTRL);
constexpr uint32_t kPhy = module_of(LC7_PHY_MODE_CTRL);

// The MAC control register 0x00 and its fields, as the map describes
// them (record, start bit, width).
using mac_ctrl = chip::reg<uint32_t, kMac>;
using port_enable = chip::field<mac_ctrl, record_of(LC7_MAC_CTRL_PORT_ENABLE), 0, 1>;
using speed = chip::field<mac_ctrl, record_of(LC7_MAC_CTRL_SPEED), 4, 3>;
// One register per port: the element steps the address, not the bit.
using vlan_prio = chip::field<chip::reg<uint32_t, kMac, struct vlan_tag>, record_of(LC7_MAC_VLAN_PRIO_PRIO), 8, 3>;
using tx_trigger =
    chip::field<chip::reg<uint32_t, kMac, struct trigger_tag>, record_of(LC7_MAC_TX_CMD_TRIGGER), 0, 4>;
using frame_count = chip::field<chip::reg<uint32_t, kMac, struct frames_tag>,
                                record_of(LC7_MAC_FRAME_COUNT), 0, 32, chip::access::read_only>;
using phy_mode = chip::field<chip::reg<uint16_t, kPhy>, record_of(LC7_PHY_MODE_CTRL_MODE), 12, 4>;

int g_failures = 0;

void expect(bool ok, const char *what) {
  if (!ok) {
    std::printf("    UNEXPECTED: %s\n", what);
    ++g_failures;
  }
}

// Prints the accesses since the last call and forgets them; returns how
// many there were.
size_t show_accesses() {
  const chip_sim_access *log = chip_sim_log();
  const size_t count = chip_sim_log_count();
  for (size_t i = 0; i < count; ++i) {
    const bool read = log[i].kind == CHIP_SIM_READ;
    std::printf("    chip saw: %-5s %2u-bit 0x%04x %s 0x%x\n", read ? "read" : "write", log[i].width,
                log[i].addr, read ? "->" : "<-", log[i].value);
  }
  chip_sim_log_clear();
  return count;
}

void typed_fields() {
  std::puts("\n== typed fields, prepared once");
  auto spd = chip::typed<speed>::prepare(LC_DEV, LC7_MAC1);
  auto enable = chip::typed<port_enable>::prepare(LC_DEV, LC7_MAC1);
  auto frames = chip::typed<frame_count>::prepare(LC_DEV, LC7_MAC0);
  expect(spd && enable && frames, "prepare");
  if (!spd || !enable || !frames) return;

  std::puts("MAC instance 1 holds 0xf5 in register 0x2000; read its speed:");
  chip_sim_poke(LC_DEV, 0x2000, 0xF5);
  const auto value = spd->read();
  std::printf("  speed = %u\n", value.value());
  show_accesses();
  expect(value.ok() && value.value() == 7, "speed 7");

  std::puts("speed = 2 (a constant: speed::value<8> would not compile)");
  expect(spd->write(speed::value<2>).ok(), "write");
  show_accesses();
  expect(chip_sim_peek(LC_DEV, 0x2000) == 0xA5, "register 0xa5");

  std::puts("port off and speed 5 in one read-modify-write");
  expect(spd->write_merged(port_enable::value<0>, speed::value<5>).ok(), "merged");
  expect(show_accesses() == 2, "one read and one write");
  expect(chip_sim_peek(LC_DEV, 0x2000) == 0xD4, "register 0xd4");

  std::puts("the frame counter is read-only here: frames->write(...) would not compile");
  chip_sim_poke(LC_DEV, 0x1004, 0x12345678);
  const auto count = frames->read();
  std::printf("  frame counter of instance 0 = 0x%x\n", count.value());
  show_accesses();
  expect(count.value() == 0x12345678, "counter value");

  std::puts("VLAN priority of port 5 = 6, and the write-only TX trigger (no read)");
  auto prio = chip::typed<vlan_prio>::prepare(LC_DEV, LC7_MAC0, 5);
  auto trigger = chip::typed<tx_trigger>::prepare(LC_DEV, LC7_MAC0);
  expect(prio && trigger && prio->write(vlan_prio::value<6>) && trigger->write<0xA>(), "prio, trigger");
  expect(show_accesses() == 3, "read and write, then a single write");
  expect(chip_sim_peek(LC_DEV, 0x1024) == 0x600, "register 0x1024 = 0x600");

  std::puts("PHY instance 2: mode (bits 12-15 of 0x300) = 9 through 16-bit accesses");
  chip_sim_poke(LC_DEV, 0x300, 0x0123);
  auto mode = chip::typed<phy_mode>::prepare(LC_DEV, LC7_PHY2);
  expect(mode && mode->write(phy_mode::value<9>), "mode");
  show_accesses();
  expect(chip_sim_peek(LC_DEV, 0x300) == 0x9123, "register 0x300 = 0x9123");
}

void handles_and_refusals() {
  std::puts("\n== handles for fields whose bit moves with the element");
  // A bit-indexed lane: the element moves the start bit, so the field is
  // prepared as a plain handle rather than a typed constant.
  auto lane = chip::field16::prepare(LC_DEV, LC7_PHY2, LC7_PHY_LANE_EQ_GAIN, 5);
  expect(lane && lane->write(0xC) && lane->read().value() == 0xC, "lane 5");
  show_accesses();
  expect(chip_sim_peek(LC_DEV, 0x312) == 0xC0, "lane 5 at 0x312");

  std::puts("refused: speed 8 at run time; port 8 of an 8-port array (code 0x10)");
  auto spd = chip::typed<speed>::prepare(LC_DEV, LC7_MAC0);
  expect(spd && spd->write(speed::of(8)).error() == chip::errc::refused, "too wide");
  const auto port8 = chip::field32::prepare(LC_DEV, LC7_MAC0, vlan_prio::id, 8);
  std::puts("");
  expect(port8.error() == chip::errc::refused, "element 8");
  expect(show_accesses() == 0, "no access for a refused call");
}

// A clock that only moves when polling sleeps; the link comes up after the
// second sleep.
struct LinkClock {
  uint64_t now = 0;
  unsigned sleeps = 0;
};

void polling() {
  std::puts("\n== polling the speed until the link has trained to 3");
  auto spd = chip::typed<speed>::prepare(LC_DEV, LC7_MAC0);
  LinkClock state;
  const chip_poll_clock clock = {
      [](void *c) { return static_cast<LinkClock *>(c)->now; },
      [](void *c, uint32_t us) {
        auto *s = static_cast<LinkClock *>(c);
        s->now += us;
        if (++s->sleeps == 2) chip_sim_poke(LC_DEV, 0x1000, 0x30);
        std::printf("  slept %u us\n", us);
      },
      &state};
  chip_sim_poke(LC_DEV, 0x1000, 0x10);
  using std::chrono_literals::operator""us;
  using std::chrono_literals::operator""ms;
  const auto trained = spd->poll(3, 500us, 10ms, &clock);
  std::printf("  speed %u after %u reads\n", trained.value(), static_cast<unsigned>(show_accesses()));
  expect(trained.ok() && state.sleeps == 2, "trained after two sleeps");
  const auto stuck = spd->poll(1, 500us, 1ms, &clock);
  std::printf("  still %u after 1 ms: %s\n", stuck.value(), stuck.error().message().c_str());
  show_accesses();
  expect(stuck.error() == chip::errc::timeout, "timeout");
}

// The simulated chip behind a bus object that counts what passes through.
struct CountingBus {
  unsigned reads = 0;
  unsigned writes = 0;
  int32_t read32(uint32_t dev, uint32_t addr, uint32_t &v) {
    ++reads;
    return chip_sim_reg_ops.read32(dev, addr, &v);
  }
  int32_t write32(uint32_t dev, uint32_t addr, uint32_t v) {
    ++writes;
    return chip_sim_reg_ops.write32(dev, addr, v);
  }
  int32_t read16(uint32_t dev, uint16_t addr, uint16_t &v) {
    ++reads;
    return chip_sim_reg_ops.read16(dev, addr, &v);
  }
  int32_t write16(uint32_t dev, uint16_t addr, uint16_t v) {
    ++writes;
    return chip_sim_reg_ops.write16(dev, addr, v);
  }
};

void stateful_bus() {
  std::puts("\n== a bus object with state, bound to the device");
  CountingBus bus;
  hdk_chip_reg_table counted = *lc_table();
  counted.ops_table = chip::bus_ops<CountingBus>();
  const chip::bus_binding<CountingBus> binding(LC_DEV, bus);
  const chip::registration registered(LC_DEV, counted);
  auto spd = chip::typed<speed>::prepare(LC_DEV, LC7_MAC0);
  expect(spd && spd->write(speed::value<4>) && spd->read().value() == 4, "through the bus object");
  std::printf("  bus object counted %u reads and %u writes\n", bus.reads, bus.writes);
  show_accesses();
  expect(bus.reads == 2 && bus.writes == 1, "2 reads, 1 write");
}

void locks_and_threads() {
  std::puts("\n== the int lock under std::scoped_lock, two chip::threads");
  chip::int_lock lock;
  unsigned shared = 0;
  const auto work = [&] {
    for (int i = 0; i < 1000; ++i) {
      const std::scoped_lock guard(lock);
      ++shared;
    }
  };
  {
    chip::thread a(work);
    chip::thread b(work);
    expect(lock.ok() && a.ok() && b.ok(), "lock and threads");
  }
  std::printf("  counter = %u\n", shared);
  expect(shared == 2000, "2000 increments");
}

}  // namespace

int main() {
  std::puts("line-card walkthrough, C++");
  chip_sim_reset();
  {
    const chip::registration registered(LC_DEV, *lc_table());
    expect(registered.ok(), "registration");
    typed_fields();
    handles_and_refusals();
    polling();
  }
  std::puts("\n== the registration has ended: the device has no table any more");
  uint32_t value = 0;
  expect(hdk_read_reg32_field(LC_DEV, 0, speed::id, 0, &value) == -1, "refused after unregistering");
  stateful_bus();
  locks_and_threads();
  std::printf("\n%s\n", g_failures == 0 ? "walkthrough complete" : "walkthrough FAILED");
  return g_failures == 0 ? 0 : 1;
}
