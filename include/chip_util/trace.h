// SPDX-License-Identifier: Apache-2.0
/* Tracing of register accesses.
 *
 * Two ways to watch what a driver does to its chip, neither needing a
 * rebuild of the driver:
 *   - a trace callback, registered here, receives one record per bus access
 *     of the bus backends (bus.h) and per field read, field write and
 *     refusal of the 16- and 32-bit field functions (register.h);
 *   - USDT probes (provider "chip_util") at the same places, for bpftrace or
 *     perf when the library was built with <sys/sdt.h>:
 *       bus_read, bus_write (bus, dev, width, addr, value, status)
 *       field_read, field_write (dev, inst, reg_id, elem, value, status)
 *       field_refused (name, dev, inst, reg_id, elem)
 *     `readelf -n libchip_util.so` lists them.
 *
 * With no callback registered, each traced place costs one well-predicted
 * branch (and, with probes, one nop); nothing is formatted or allocated.
 * Tracing never changes what a field function returns, logs or writes. */
#ifndef CHIP_UTIL_TRACE_H
#define CHIP_UTIL_TRACE_H

#include <stdint.h>

#include "chip_util/export.h"

CHIP_UTIL_BEGIN_DECLS

/* What a trace record reports. */
#define CHIP_TRACE_BUS_READ 0u
#define CHIP_TRACE_BUS_WRITE 1u
#define CHIP_TRACE_FIELD_READ 2u
#define CHIP_TRACE_FIELD_WRITE 3u
#define CHIP_TRACE_FIELD_REFUSED 4u

/* Which bus an access went over (bus records); 0 in field records. */
#define CHIP_BUS_NONE 0u
#define CHIP_BUS_MMIO 1u
#define CHIP_BUS_MDIO 2u
#define CHIP_BUS_I2C 3u
#define CHIP_BUS_OTHER 4u /* a driver's or a simulator's own access functions */

/* One traced event. Bus records fill kind, bus, dev, width, addr, value and
 * status: `value` is what was written, or what a read gave (0 when it
 * failed). Field records fill kind, dev, width, inst, reg_id, elem, value
 * (the field value read or written), status (the field function's result)
 * and `function` (the name string the function logs under); a refusal
 * carries the refused value where there is one, and status -1. */
typedef struct chip_trace_event {
  uint32_t kind;
  uint32_t bus;
  uint32_t dev;
  uint32_t width; /* 16 or 32 */
  uint32_t addr;
  uint32_t value;
  int32_t status;
  uint32_t inst;
  uint32_t reg_id;
  uint32_t elem;
  const char *function;
} chip_trace_event;

/* Called synchronously, on the thread of the access, after it completed.
 * The record lives only for the call. The callback must not register or
 * unregister a callback. */
typedef void (*chip_trace_func)(void *context, const chip_trace_event *event);

/* Installs `func` with `context` (null func stops tracing). Like the other
 * registrations, call it before the traced accesses start or while none
 * runs: an access running at the same time sees the old or the new
 * callback, but may hand it the other one's context. */
CHIP_UTIL_API void chip_trace_register(chip_trace_func func, void *context);

/* Hands `event` to the registered callback, if any; for access functions of
 * a driver's own (or a simulator) that want to appear in the same trace.
 * A null event is ignored. Fires no USDT probe. */
CHIP_UTIL_API void chip_trace_emit(const chip_trace_event *event);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_TRACE_H */
