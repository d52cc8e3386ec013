// SPDX-License-Identifier: Apache-2.0
// The C++20 layer of libchip_util: header-only, namespace chip, over the C
// functions of chip_util.h and handle.h.
//
//   - results: chip::status and chip::result<T>, [[nodiscard]], carrying a
//     std::error_code (chip::errc) and the bus status apart;
//   - registration as an RAII object that unregisters its table;
//   - field handles as value types, and typed fields declared from
//     constants that carry the register width, position and access, so that
//     writing a read-only field, a constant too wide for its field, or a
//     field of another register in a merged write do not compile;
//   - bus callbacks with state (any object or lambdas with captures) through
//     a per-device context and a trampoline;
//   - std::span for register images, the bounds-checked functions and the
//     J0/J1 buffers; std::chrono for delays, polling and semaphore timeouts;
//   - the int lock as a BasicLockable; named semaphores and threads as RAII
//     types.
//
// Needs no exceptions (works with -fno-exceptions) and allocates nothing on
// any success path except where the C function it wraps does (thread
// creation, lock creation). Compiles warning-free with -Wall -Wextra
// -Wpedantic -Wold-style-cast -Wconversion.
#pragma once

#include <chip_util/chip_util.h>
#include <chip_util/handle.h>

#include <pthread.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <span>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

namespace chip {

// ==== Results =================================================================

enum class errc {
  refused = 1,    // an argument or the table refused the call; nothing was accessed
  bus_error = 2,  // an access function returned a non-zero status (see bus())
  timeout = 3,    // polling or a semaphore take ran out of time
  mismatch = 4,   // a typed field's constants disagree with the registered table
};

class error_category final : public std::error_category {
 public:
  const char *name() const noexcept override { return "chip_util"; }
  std::string message(int code) const override {
    switch (static_cast<errc>(code)) {
      case errc::refused: return "refused";
      case errc::bus_error: return "bus error";
      case errc::timeout: return "timed out";
      case errc::mismatch: return "typed field does not match the register table";
    }
    return "unknown";
  }
};

inline const std::error_category &category() noexcept {
  static const error_category instance;
  return instance;
}

inline std::error_code make_error_code(errc e) noexcept {
  return {static_cast<int>(e), category()};
}

}  // namespace chip

template <>
struct std::is_error_code_enum<chip::errc> : std::true_type {};

namespace chip {

// The outcome of a call: ok, or an error code; bus() is the OR of the
// access functions' statuses (0 unless errc::bus_error).
class [[nodiscard]] status {
 public:
  constexpr status() = default;
  constexpr explicit status(chip_status raw) : raw_(raw) {}
  constexpr static status refused() { return status(chip_status{CHIP_REFUSED, 0}); }
  constexpr static status from_bus(int32_t bus) {
    return status(chip_status{bus == 0 ? CHIP_OK : CHIP_BUS_ERROR, bus});
  }
  constexpr bool ok() const { return raw_.result == CHIP_OK; }
  constexpr explicit operator bool() const { return ok(); }
  constexpr int32_t bus() const { return raw_.bus; }
  constexpr chip_status raw() const { return raw_; }
  std::error_code error() const {
    return ok() ? std::error_code() : make_error_code(static_cast<errc>(raw_.result));
  }

 private:
  chip_status raw_{CHIP_OK, 0};
};

// A value and the status of the call that produced it. The value is
// whatever the call stored, also on failure (a field read stores the field
// of a failed read's word, as the C functions do).
template <typename T>
class [[nodiscard]] result {
 public:
  constexpr result() = default;
  constexpr result(T value, chip::status s) : value_(std::move(value)), status_(s) {}
  constexpr bool ok() const { return status_.ok(); }
  constexpr explicit operator bool() const { return ok(); }
  constexpr const T &value() const & { return value_; }
  constexpr T &value() & { return value_; }
  constexpr T &&value() && { return std::move(value_); }
  constexpr const T &operator*() const & { return value_; }
  constexpr const T *operator->() const { return &value_; }
  constexpr chip::status status() const { return status_; }
  constexpr int32_t bus() const { return status_.bus(); }
  std::error_code error() const { return status_.error(); }

 private:
  T value_{};
  chip::status status_{};
};

// ==== Time ====================================================================

// The OS layer's monotonic microsecond clock (hdk_time_usecs) as a
// std::chrono clock.
struct steady_clock {
  using rep = int64_t;
  using period = std::micro;
  using duration = std::chrono::duration<rep, period>;
  using time_point = std::chrono::time_point<steady_clock>;
  static constexpr bool is_steady = true;
  static time_point now() noexcept {
    return time_point(duration(static_cast<rep>(hdk_time_usecs())));
  }
};

namespace detail {

// Whole microseconds, rounded up (a wait never ends early), capped at
// `cap`; negative durations give 0.
template <typename Rep, typename Period>
constexpr uint32_t to_us(std::chrono::duration<Rep, Period> d,
                         uint32_t cap = std::numeric_limits<uint32_t>::max()) {
  const auto us = std::chrono::ceil<std::chrono::microseconds>(d).count();
  if (us <= 0) return 0;
  return static_cast<uint64_t>(us) >= cap ? cap : static_cast<uint32_t>(us);
}

}  // namespace detail

// Sleeps at least `d` (signals do not shorten it): nanosecond resolution
// below 4 s, microseconds below 71 min, milliseconds beyond (capped).
template <typename Rep, typename Period>
void sleep_for(std::chrono::duration<Rep, Period> d) {
  const auto ns = std::chrono::ceil<std::chrono::nanoseconds>(d).count();
  if (ns <= 0) return;
  if (ns <= std::numeric_limits<uint32_t>::max()) {
    osal_ns_delay(static_cast<uint32_t>(ns));
  } else if (ns / 1000 < std::numeric_limits<uint32_t>::max()) {
    osal_usleep(detail::to_us(d));
  } else {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    osal_ms_delay(ms >= std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                             : static_cast<uint32_t>(ms));
  }
}

// Busy wait of at least `d` (osal_udelay): keeps the processor, never sleeps.
template <typename Rep, typename Period>
void busy_wait(std::chrono::duration<Rep, Period> d) {
  osal_udelay(detail::to_us(d));
}

// ==== Register records ========================================================
// constexpr equivalents of the packing macros of register.h.

constexpr uint32_t reg_id(uint32_t module, uint32_t reg) {
  return (module << 22) | (reg & 0x3FFFFFu);
}

inline constexpr uint32_t bit_indexed = HDK_REG_BIT_INDEXED;
inline constexpr uint32_t whole_register = HDK_REG_WHOLE;
constexpr uint32_t access_type(uint32_t type) { return (type & 0x7Fu) << 25; }
inline constexpr uint32_t write_only = (7u & 0x7Fu) << 25;

constexpr hdk_reg_info reg_info(uint32_t offset, uint32_t reg_bytes, uint32_t start_bit,
                                uint32_t field_bits, uint32_t elem_num, int32_t stride,
                                uint32_t flags) {
  return {0u,
          (offset << 2) | (flags & 0x3u),
          (static_cast<uint32_t>(stride) & 0x1FFFFFFu) | (flags & 0xFE000000u),
          (elem_num & 0x3FFFFFu) | ((reg_bytes & 0x3FFu) << 22),
          ((start_bit & 0x3FFFu) << 18) | ((field_bits & 0x3FFFu) << 4),
          0u,
          0u};
}

// ==== Registration ============================================================

// Registers a table for a device for the object's lifetime, and removes it
// again (chip_unregister_reg) when destroyed, unless another table has
// replaced it meanwhile. Move-only.
class [[nodiscard]] registration {
 public:
  registration() = default;
  registration(uint32_t dev, hdk_chip_reg_table &table) : dev_(dev) {
    if (hdk_register_reg(dev, &table) == 0) table_ = &table;
  }
  registration(registration &&other) noexcept
      : dev_(other.dev_), table_(std::exchange(other.table_, nullptr)) {}
  registration &operator=(registration &&other) noexcept {
    if (this != &other) {
      reset();
      dev_ = other.dev_;
      table_ = std::exchange(other.table_, nullptr);
    }
    return *this;
  }
  registration(const registration &) = delete;
  registration &operator=(const registration &) = delete;
  ~registration() { reset(); }

  bool ok() const { return table_ != nullptr; }
  explicit operator bool() const { return ok(); }
  chip::status status() const { return ok() ? chip::status() : chip::status::refused(); }
  uint32_t dev() const { return dev_; }

  // Unregisters now; false when the table was not (or no longer) there.
  bool reset() {
    hdk_chip_reg_table *table = std::exchange(table_, nullptr);
    return table != nullptr && chip_unregister_reg(dev_, table) == 0;
  }

 private:
  uint32_t dev_ = 0;
  hdk_chip_reg_table *table_ = nullptr;
};

// ==== Bus callbacks with state ================================================
// The C access functions get only a device number. bus_binding<Bus> files a
// pointer to a Bus object per device number, and bus_ops<Bus>() gives the
// hdk_reg_ops whose functions find that object and call
//   bus.read32(dev, addr, uint32_t &value) -> int32_t status
//   bus.write32(dev, addr, uint32_t value) -> int32_t
//   bus.read16(dev, uint16_t addr, uint16_t &value) -> int32_t
//   bus.write16(dev, uint16_t addr, uint16_t value) -> int32_t
// (member functions, or callable members such as lambdas with captures; see
// bus_lambdas). One object per device number at a time; an access of a
// device with no object bound returns CHIP_BUS_UNBOUND and touches nothing.

inline constexpr int32_t CHIP_BUS_UNBOUND = 0x7FFF0100;

namespace detail {
inline void *bus_context[HDK_MAX_DEV_NUM] = {};

template <typename Bus>
Bus *bus_of(uint32_t dev) {
  return dev < HDK_MAX_DEV_NUM ? static_cast<Bus *>(bus_context[dev]) : nullptr;
}

template <typename Bus>
struct bus_trampoline {
  static int32_t read32(uint32_t dev, uint32_t addr, uint32_t *value) {
    Bus *bus = bus_of<Bus>(dev);
    return bus != nullptr ? bus->read32(dev, addr, *value) : CHIP_BUS_UNBOUND;
  }
  static int32_t write32(uint32_t dev, uint32_t addr, uint32_t value) {
    Bus *bus = bus_of<Bus>(dev);
    return bus != nullptr ? bus->write32(dev, addr, value) : CHIP_BUS_UNBOUND;
  }
  static int32_t read16(uint32_t dev, uint16_t addr, uint16_t *value) {
    Bus *bus = bus_of<Bus>(dev);
    return bus != nullptr ? bus->read16(dev, addr, *value) : CHIP_BUS_UNBOUND;
  }
  static int32_t write16(uint32_t dev, uint16_t addr, uint16_t value) {
    Bus *bus = bus_of<Bus>(dev);
    return bus != nullptr ? bus->write16(dev, addr, value) : CHIP_BUS_UNBOUND;
  }
  static constexpr hdk_reg_ops ops = {&read16, &write16, &read32, &write32};
};
}  // namespace detail

// The access functions to put into a table's ops_table for Bus objects.
template <typename Bus>
constexpr const hdk_reg_ops *bus_ops() {
  return &detail::bus_trampoline<Bus>::ops;
}

// Binds `bus` to device `dev` for the object's lifetime. The Bus object must
// outlive the binding; bind before the accesses begin (the slot is a plain
// global, like the registries).
template <typename Bus>
class [[nodiscard]] bus_binding {
 public:
  bus_binding(uint32_t dev, Bus &bus) : dev_(dev) {
    if (dev < HDK_MAX_DEV_NUM) {
      detail::bus_context[dev] = &bus;
      bus_ = &bus;
    }
  }
  bus_binding(const bus_binding &) = delete;
  bus_binding &operator=(const bus_binding &) = delete;
  ~bus_binding() {
    if (bus_ != nullptr && detail::bus_context[dev_] == bus_) detail::bus_context[dev_] = nullptr;
  }
  bool ok() const { return bus_ != nullptr; }
  static constexpr const hdk_reg_ops *ops() { return bus_ops<Bus>(); }

 private:
  uint32_t dev_;
  Bus *bus_ = nullptr;
};

// Four callables as a Bus: chip::bus_lambdas{r32, w32, r16, w16}.
template <typename Read32, typename Write32, typename Read16, typename Write16>
struct bus_lambdas {
  Read32 read32;
  Write32 write32;
  Read16 read16;
  Write16 write16;
};
template <typename R32, typename W32, typename R16, typename W16>
bus_lambdas(R32, W32, R16, W16) -> bus_lambdas<R32, W32, R16, W16>;

// ==== Field handles (value types) =============================================

namespace detail {
template <typename Word>
struct handle_c;
template <>
struct handle_c<uint32_t> {
  using type = chip_field32;
  static chip_status prepare(type *f, uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem) {
    return chip_field_prepare32(f, dev, inst, reg_id, elem);
  }
  static chip_status write(const type *f, uint32_t v) { return chip_field_write32(f, v); }
  static chip_status strict(const type *f, uint32_t v) { return chip_field_write32_strict(f, v); }
  static chip_status read(const type *f, uint32_t *v) { return chip_field_read32(f, v); }
  static chip_status poll(const type *f, uint32_t v, uint32_t i, uint32_t t,
                          const chip_poll_clock *c, uint32_t *last) {
    return chip_field_poll32(f, v, i, t, c, last);
  }
  static chip_status merged(const type *const *f, const uint32_t *v, uint32_t n) {
    return chip_field_write32_merged(f, v, n);
  }
};
template <>
struct handle_c<uint16_t> {
  using type = chip_field16;
  static chip_status prepare(type *f, uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem) {
    return chip_field_prepare16(f, dev, inst, reg_id, elem);
  }
  static chip_status write(const type *f, uint16_t v) { return chip_field_write16(f, v); }
  static chip_status strict(const type *f, uint16_t v) { return chip_field_write16_strict(f, v); }
  static chip_status read(const type *f, uint16_t *v) { return chip_field_read16(f, v); }
  static chip_status poll(const type *f, uint16_t v, uint32_t i, uint32_t t,
                          const chip_poll_clock *c, uint16_t *last) {
    return chip_field_poll16(f, v, i, t, c, last);
  }
  static chip_status merged(const type *const *f, const uint16_t *v, uint32_t n) {
    return chip_field_write16_merged(f, v, n);
  }
};
}  // namespace detail

// A prepared field of a 16- or 32-bit register (Word uint16_t or uint32_t):
// the C handle, copied freely. Valid while its table stays registered and
// unchanged (see handle.h). Every call goes through the C functions and
// logs what they log.
template <typename Word>
class field_handle {
  static_assert(std::is_same_v<Word, uint32_t> || std::is_same_v<Word, uint16_t>);
  using c = detail::handle_c<Word>;

 public:
  using word = Word;
  using c_handle = typename c::type;

  field_handle() = default;
  explicit field_handle(const c_handle &raw) : raw_(raw) {}

  static result<field_handle> prepare(uint32_t dev, uint32_t inst, uint32_t reg_id,
                                      uint32_t elem = 0) {
    field_handle h;
    const chip::status s(c::prepare(&h.raw_, dev, inst, reg_id, elem));
    return {h, s};
  }

  result<Word> read() const {
    Word value = 0;
    const chip::status s(c::read(&raw_, &value));
    return {value, s};
  }
  chip::status write(Word value) const { return chip::status(c::write(&raw_, value)); }
  chip::status write_strict(Word value) const { return chip::status(c::strict(&raw_, value)); }

  // Reads until the field equals `expected` or `timeout` has passed,
  // sleeping `interval` between reads (see chip_field_poll32); the value is
  // the last one read. `clock` null: the OS layer's clock and sleep.
  template <typename R1, typename P1, typename R2, typename P2>
  result<Word> poll(Word expected, std::chrono::duration<R1, P1> interval,
                    std::chrono::duration<R2, P2> timeout,
                    const chip_poll_clock *clock = nullptr) const {
    Word last = 0;
    const chip::status s(c::poll(&raw_, expected, detail::to_us(interval),
                                 detail::to_us(timeout), clock, &last));
    return {last, s};
  }

  const c_handle &raw() const { return raw_; }

 private:
  c_handle raw_{};
};

using field32 = field_handle<uint32_t>;
using field16 = field_handle<uint16_t>;

// Merged write of several prepared handles of one register (one read-modify-
// write): chip::write_merged({&a, &b}, {1, 2}). Refusals as
// chip_field_write32_merged.
template <typename Word, std::size_t N>
chip::status write_merged(const field_handle<Word> *const (&fields)[N], const Word (&values)[N]) {
  const typename field_handle<Word>::c_handle *raw[N];
  for (std::size_t i = 0; i < N; ++i) raw[i] = fields[i] != nullptr ? &fields[i]->raw() : nullptr;
  return chip::status(detail::handle_c<Word>::merged(raw, values, static_cast<uint32_t>(N)));
}

// ==== Typed fields ============================================================
// A register and its fields declared as constants:
//
//   using mac_ctrl = chip::reg<uint32_t, /*module*/ 0>;
//   using speed  = chip::field<mac_ctrl, /*record*/ 1, /*start*/ 4, /*bits*/ 3>;
//   using status = chip::field<mac_ctrl, 2, 8, 4, chip::access::read_only>;
//
// `Tag` tells registers of one module apart (any type, default: none); two
// fields belong to the same register when their reg<> types are the same.
// typed<speed>::prepare(dev, inst, elem) checks the constants against the
// registered table once (width and position must agree: errc::mismatch),
// then reads and writes inline with the mask and shift as constants.

enum class access { read_write, read_only, write_only };

template <typename Word, uint32_t Module, typename Tag = void>
struct reg {
  static_assert(std::is_same_v<Word, uint32_t> || std::is_same_v<Word, uint16_t>,
                "registers are 16 or 32 bits wide");
  using word = Word;
  static constexpr uint32_t module = Module;
  static constexpr uint32_t bits = 8u * sizeof(Word);
};

template <typename Field>
struct field_value;

template <typename Reg, uint32_t Record, uint32_t Start, uint32_t Bits,
          access Access = access::read_write>
struct field {
  using reg_type = Reg;
  using word = typename Reg::word;
  static_assert(Bits >= 1 && Start < Reg::bits && Bits <= Reg::bits - Start,
                "the field must lie inside its register");
  static constexpr uint32_t id = reg_id(Reg::module, Record);
  static constexpr uint32_t start = Start;
  static constexpr uint32_t bits = Bits;
  static constexpr access access_mode = Access;
  static constexpr uint32_t max = Bits >= 32 ? 0xFFFFFFFFu : (1u << (Bits & 31u)) - 1u;
  static constexpr word mask = static_cast<word>(max << Start);
  static constexpr bool writable = Access != access::read_only;

  // A constant, checked at compile time: speed::value<5>.
  template <uint64_t V>
    requires(V <= max)
  static constexpr field_value<field> value{static_cast<word>(V)};
  // A value known only at run time, checked when written.
  static constexpr field_value<field> of(word v) { return field_value<field>{v}; }
};

template <typename Field>
struct field_value {
  typename Field::word v;
  constexpr bool fits() const { return v <= Field::max; }
  constexpr uint32_t placed() const { return static_cast<uint32_t>(v) << Field::start; }
};

namespace detail {
template <typename... Fields>
constexpr bool disjoint() {
  uint32_t seen = 0;
  bool ok = true;
  ((ok = ok && (seen & Fields::mask) == 0, seen |= Fields::mask), ...);
  return ok;
}
}  // namespace detail

// A prepared typed field: the C handle, with mask and shift known at
// compile time so that reads and writes inline to the bus calls.
template <typename Field>
class typed {
 public:
  using word = typename Field::word;
  using reg_type = typename Field::reg_type;
  using c_handle = typename detail::handle_c<word>::type;

  typed() = default;

  // Validates (dev, inst, Field::id, elem) through chip_field_prepareNN (its
  // refusals and log lines), then checks that the table's record has the
  // declared width and start bit at this element: errc::mismatch if not.
  // A refused preparation gives an empty handle, whose calls are refused.
  static result<typed> prepare(uint32_t dev, uint32_t inst, uint32_t elem = 0) {
    typed t;
    const chip::status s(detail::handle_c<word>::prepare(&t.raw_, dev, inst, Field::id, elem));
    if (!s) return {t, s};
    if (t.raw_.shift != Field::start || t.raw_.width != Field::bits) {
      return {typed(), chip::status(chip_status{static_cast<int32_t>(errc::mismatch), 0})};
    }
    return {t, s};
  }

  // One read; the field of the word read (0-based word: a failed read that
  // stores nothing gives 0).
  result<word> read() const {
    if (raw_.read == nullptr) [[unlikely]] return {0, status::refused()};  // never prepared
    word w = 0;
    const int32_t bus = raw_.read(raw_.dev, raw_.addr, &w);
    return {static_cast<word>((static_cast<uint32_t>(w) & Field::mask) >> Field::start),
            status::from_bus(bus)};
  }

  // Read-modify-write (a write-only register is not read), as
  // hdk_write_reg32_field: the write is issued even when the read fails.
  // A run-time value too wide: errc::refused, nothing accessed, and the
  // value line of chip_field_write32 (or 16).
  status write(field_value<Field> value) const
    requires(Field::writable)
  {
    return write_impl<false>(value);
  }
  // The same, but a failed read stops it before the write.
  status write_strict(field_value<Field> value) const
    requires(Field::writable)
  {
    return write_impl<true>(value);
  }
  // The same with a constant: speed.write<5>() (a constant too wide for the
  // field, or a read-only field, does not compile).
  template <uint64_t V>
  status write() const
    requires(Field::writable && V <= Field::max)
  {
    return write_impl<false>(field_value<Field>{static_cast<word>(V)});
  }

  // Merged write of this and other fields of the same register: one read
  // (unless the register is write-only) and one write:
  //   ctrl.write_merged(enable::value<1>, speed::value<5>).
  // Fields of another register, read-only fields, and overlapping fields
  // do not compile; a run-time value too wide is refused (errc::refused,
  // nothing accessed) with the line chip_field_write32 (or 16) logs, naming
  // that field's record.
  template <typename... Others>
  status write_merged(field_value<Others>... values) const
    requires((std::is_same_v<typename Others::reg_type, reg_type> && ...) &&
             (Others::writable && ...) && detail::disjoint<Others...>())
  {
    if (!(values.fits() && ...)) [[unlikely]] {
      bool logged = false;  // the first field too wide is named, as in the C call
      ((logged = logged || (!values.fits() && !refuse_too_wide(values).ok())), ...);
      return status::refused();
    }
    constexpr uint32_t mask = (0u | ... | static_cast<uint32_t>(Others::mask));
    const uint32_t placed = (0u | ... | values.placed());
    return rmw<true>(mask, placed);
  }

  template <typename R1, typename P1, typename R2, typename P2>
  result<word> poll(word expected, std::chrono::duration<R1, P1> interval,
                    std::chrono::duration<R2, P2> timeout,
                    const chip_poll_clock *clock = nullptr) const {
    return field_handle<word>(raw_).poll(expected, interval, timeout, clock);
  }

  const c_handle &raw() const { return raw_; }

 private:
  // A run-time value too wide for its field: the C write refuses it with
  // its message (before any access), naming that field.
  template <typename Other>
  [[gnu::cold]] status refuse_too_wide(field_value<Other> value) const {
    c_handle other = raw_;
    other.mask = Other::mask;
    other.shift = static_cast<uint8_t>(Other::start);
    other.width = static_cast<uint8_t>(Other::bits);
    other.flags = 0;
    other.reg_id = Other::id;
    return status(detail::handle_c<word>::write(&other, value.v));
  }

  template <bool kStrict>
  status write_impl(field_value<Field> value) const {
    if (!value.fits()) [[unlikely]] return refuse_too_wide(value);
    return rmw<kStrict>(Field::mask, value.placed());
  }

  template <bool kStrict>
  status rmw(uint32_t mask, uint32_t placed) const {
    if (raw_.write == nullptr) [[unlikely]] return status::refused();  // never prepared
    word old_word = 0;
    int32_t read_status = 0;
    if ((raw_.flags & CHIP_FIELD_READS_FIRST) != 0) {
      read_status = raw_.read(raw_.dev, raw_.addr, &old_word);
      if (kStrict && read_status != 0) return status::from_bus(read_status);
    }
    const auto new_word = static_cast<word>((static_cast<uint32_t>(old_word) & ~mask) | placed);
    return status::from_bus(read_status | raw_.write(raw_.dev, raw_.addr, new_word));
  }

  c_handle raw_{};
};

// ==== Wide fields on register images ==========================================
// The register image and the field buffer as spans whose sizes are checked
// against the table's record before anything is copied: too small gives
// errc::refused with both untouched (the C functions cannot check sizes).

namespace detail {
inline chip::status wide_access(uint32_t dev, uint32_t inst, uint32_t id, uint32_t elem,
                                uint32_t *image, std::size_t image_words, uint32_t *field,
                                std::size_t field_words, uint32_t direction) {
  const hdk_reg_info *info = hdk_get_reg_info(dev, inst, id);
  if (info != nullptr) {
    const uint32_t bytes = info->shape >> 22;
    const bool whole = (info->loc & HDK_REG_WHOLE) != 0;
    const uint32_t bits = (info->field >> 4) & 0x3FFFu;
    const std::size_t need_image = (bytes + 3u) / 4u;
    const std::size_t need_field = whole ? need_image : (bits + 31u) / 32u;
    if (image_words < need_image || field_words < need_field) return status::refused();
  }
  // An unknown record: the C function refuses it with its own message.
  return hdk_access_reg_field(dev, inst, id, elem, image, field, direction) == 0
             ? chip::status()
             : chip::status::refused();
}
}  // namespace detail

// Copies the field out of a register image (most significant word first).
inline chip::status read_wide(uint32_t dev, uint32_t inst, uint32_t id, uint32_t elem,
                              std::span<const uint32_t> image, std::span<uint32_t> field) {
  // hdk_access_reg_field only reads the image on direction 0.
  return detail::wide_access(dev, inst, id, elem, const_cast<uint32_t *>(image.data()),
                             image.size(), field.data(), field.size(), 0);
}

// Copies the field into a register image.
inline chip::status write_wide(uint32_t dev, uint32_t inst, uint32_t id, uint32_t elem,
                               std::span<uint32_t> image, std::span<const uint32_t> field) {
  // hdk_access_reg_field only reads the field buffer on a write.
  return detail::wide_access(dev, inst, id, elem, image.data(), image.size(),
                             const_cast<uint32_t *>(field.data()), field.size(), 1);
}

// ==== Bounds-checked functions ================================================

[[nodiscard]] inline int copy_bytes(std::span<std::byte> dest, std::span<const std::byte> src) {
  return ::memcpy_s(dest.data(), dest.size(), src.data(), src.size());
}

[[nodiscard]] inline int fill_bytes(std::span<std::byte> dest, std::byte value) {
  return ::memset_s(dest.data(), dest.size(), static_cast<int>(value), dest.size());
}

// Copies at most `count` characters of `src` and a terminating zero.
[[nodiscard]] inline int copy_text(std::span<char> dest, const char *src, std::size_t count) {
  return ::strncpy_s(dest.data(), dest.size(), src, count);
}

// ==== J0/J1 trace buffers =====================================================

using j0j1_pattern = std::span<uint8_t, DRV_J0J1_PATTERN_BYTES>;

// Builds a 16- or 64-byte frame from text; the frame span must hold it.
[[nodiscard]] inline int32_t encode_trace(uint32_t trace_len, std::span<const uint8_t> text,
                                          std::span<uint8_t> frame) {
  const std::size_t chars = trace_len == DRV_J0J1_LEN_16   ? DRV_J0J1_TEXT16_CHARS
                            : trace_len == DRV_J0J1_LEN_64 ? DRV_J0J1_TEXT64_CHARS
                                                           : 0;
  if (chars == 0 || text.size() < chars || frame.size() < trace_len) return -1;
  return drv_encode_j0j1_tx_msg(trace_len, text.data(), frame.data());
}

// Lays a frame (or the single byte) into the 64-byte transmit pattern.
[[nodiscard]] inline int32_t assemble_trace(uint32_t trace_len, std::span<const uint8_t> frame,
                                            j0j1_pattern pattern) {
  if (frame.size() < trace_len) return -1;
  return drv_assemble_j0j1_msg(trace_len, frame.data(), pattern.data());
}

// Decodes a received 64-byte pattern: the trace length (0, 1, 16 or 64) and
// the text, into a buffer of at least 64 bytes.
[[nodiscard]] inline result<uint32_t> decode_trace(std::span<const uint8_t, DRV_J0J1_PATTERN_BYTES> rx,
                                                   std::span<uint8_t> text) {
  uint32_t trace_len = 0;
  const int32_t rc = drv_decode_j0j1_rx_msg(rx.data(), &trace_len, text.data(),
                                            static_cast<uint32_t>(text.size()));
  return {trace_len, rc == 0 ? status() : status::refused()};
}

// ==== Locks, semaphores, threads ==============================================

// The int lock (a semaphore of value 1) as a BasicLockable: std::lock_guard
// and std::scoped_lock work on it. Move-only. Check ok() after construction:
// creation allocates and may fail, and lock() on a lock that does not exist
// aborts (there is nothing to wait on and no exception to throw). A wait
// that a signal interrupts is resumed.
class int_lock {
 public:
  int_lock() {
    if (osal_int_lock_init(&slot_) != 0) slot_ = nullptr;
  }
  int_lock(int_lock &&other) noexcept : slot_(std::exchange(other.slot_, nullptr)) {}
  int_lock &operator=(int_lock &&other) noexcept {
    if (this != &other) {
      destroy();
      slot_ = std::exchange(other.slot_, nullptr);
    }
    return *this;
  }
  int_lock(const int_lock &) = delete;
  int_lock &operator=(const int_lock &) = delete;
  ~int_lock() { destroy(); }

  bool ok() const { return slot_ != nullptr; }
  void lock() {
    if (slot_ == nullptr) std::abort();
    while (osal_int_lock(&slot_) == nullptr) {
    }
  }
  void unlock() { osal_int_unlock(&slot_); }

 private:
  void destroy() {
    if (slot_ != nullptr) (void)osal_int_lock_destroy(&slot_);
    slot_ = nullptr;
  }
  void *slot_ = nullptr;
};

// A named semaphore, created (or opened) on construction, closed and
// unlinked on destruction. Names are at most 31 characters (longer: not
// ok()). Not copyable or movable: the name lives inside.
class named_semaphore {
 public:
  named_semaphore(const char *name, uint32_t initial) {
    // A name that does not end within the record is refused, not cut.
    if (name != nullptr && fits(name) &&
        ::strncpy_s(record_.name, sizeof record_.name, name, sizeof record_.name - 1) == 0) {
      sem_t *sem = hdk_sem_create(record_.name, 0, initial);
      record_.sem = sem == SEM_FAILED ? nullptr : sem;
    }
  }
  named_semaphore(const named_semaphore &) = delete;
  named_semaphore &operator=(const named_semaphore &) = delete;
  ~named_semaphore() {
    if (record_.sem != nullptr) hdk_sem_destroy(&record_);
  }

  bool ok() const { return record_.sem != nullptr; }
  // Waits without limit.
  chip::status take() { return from_rc(hdk_sem_take(record_.sem), errc::refused); }
  // Waits at most `timeout` (busy polling, as hdk_sem_take_timeout does).
  template <typename Rep, typename Period>
  chip::status take_for(std::chrono::duration<Rep, Period> timeout) {
    return from_rc(hdk_sem_take_timeout(record_.sem,
                                        detail::to_us(timeout, std::numeric_limits<uint32_t>::max() - 1)),
                   errc::timeout);
  }
  chip::status give() { return from_rc(hdk_sem_give(record_.sem), errc::refused); }
  const char *name() const { return record_.name; }

 private:
  static bool fits(const char *name) {
    for (std::size_t i = 0; i < sizeof(hdk_named_sem::name); ++i) {
      if (name[i] == '\0') return true;
    }
    return false;
  }
  static chip::status from_rc(int32_t rc, errc failure) {
    return rc == 0 ? chip::status() : chip::status(chip_status{static_cast<int32_t>(failure), 0});
  }
  hdk_named_sem record_{};
};

// A thread running a callable (a lambda with captures) through
// osal_thread_create; joined by the destructor or join(). Not copyable or
// movable: the thread runs the callable stored inside this object.
template <typename Body>
class thread {
 public:
  explicit thread(Body body) : body_(std::move(body)) {
    id_ = osal_thread_create(0, 0, 0, &run, this);
  }
  thread(const thread &) = delete;
  thread &operator=(const thread &) = delete;
  ~thread() { join(); }

  bool ok() const { return id_ != 0; }
  bool joinable() const { return id_ != 0; }
  // Waits for the thread to end; false when there was none to wait for.
  bool join() {
    const osal_thread_id id = std::exchange(id_, 0);
    return id != 0 && pthread_join(static_cast<pthread_t>(id), nullptr) == 0;
  }

 private:
  static void *run(void *self) {
    static_cast<thread *>(self)->body_();
    return nullptr;
  }
  Body body_;
  osal_thread_id id_ = 0;
};

}  // namespace chip
