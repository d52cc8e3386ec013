/* SPDX-License-Identifier: Apache-2.0 */
/* A simulated chip for driver unit tests and examples (library chip_sim,
 * not part of libchip_util).
 *
 * The simulator keeps an in-memory register bank and supplies the four
 * register access functions of hdk_reg_ops. Put &chip_sim_reg_ops (or
 * chip_sim_ops()) into a register table's ops_table and every field access
 * of the library lands in the bank.
 *
 *   - Registers are kept sparsely per (device number, address), up to
 *     CHIP_SIM_MAX_REGS of them; 16- and 32-bit accesses share one address
 *     space per device. A 16-bit write stores the value in the low half and
 *     clears the high half; a 16-bit read gives the low half.
 *   - A register never written reads as the reset value (0 unless set with
 *     chip_sim_set_reset_value).
 *   - Every access is recorded, in order, in a log of up to CHIP_SIM_LOG_MAX
 *     entries; later accesses are counted as dropped.
 *   - A test can queue the statuses of the next accesses. An access given a
 *     non-zero status does nothing: a read stores nothing through its
 *     pointer and a write leaves the register alone. It is still logged.
 *   - chip_sim_peek and chip_sim_poke look at and set registers without
 *     logging and without consuming a queued status.
 *
 * Nothing here allocates memory; all state is static. The simulator is not
 * thread-safe: one thread at a time. */
#ifndef CHIP_UTIL_SIM_H
#define CHIP_UTIL_SIM_H

#include <stddef.h>
#include <stdint.h>

#include "chip_util/register.h"

CHIP_UTIL_BEGIN_DECLS

#define CHIP_SIM_MAX_REGS 4096u
#define CHIP_SIM_LOG_MAX 1024u
#define CHIP_SIM_STATUS_QUEUE_MAX 256u

/* Status of a write that would need a register beyond CHIP_SIM_MAX_REGS. */
#define CHIP_SIM_STATUS_BANK_FULL 0x7FFF0001

typedef enum chip_sim_kind { CHIP_SIM_READ = 0, CHIP_SIM_WRITE = 1 } chip_sim_kind;

/* One recorded access. `value` is what was written, or what a successful
 * read stored (0 for a failed read). */
typedef struct chip_sim_access {
  uint32_t dev;
  uint32_t addr;
  uint32_t value;
  int32_t status;
  chip_sim_kind kind;
  uint32_t width; /* 16 or 32 */
} chip_sim_access;

/* read16, write16, read32, write32 on the simulated bank. */
extern const hdk_reg_ops chip_sim_reg_ops;
const hdk_reg_ops *chip_sim_ops(void);

/* Empties the bank, the log and the status queue, sets the reset value back
 * to 0 and turns logging on. */
void chip_sim_reset(void);

/* What never-written registers read as. */
void chip_sim_set_reset_value(uint32_t value);

/* The register's value (the reset value if never written); not logged. */
uint32_t chip_sim_peek(uint32_t dev, uint32_t addr);
/* Sets the register; not logged. Returns 0, or -1 when the bank is full. */
int chip_sim_poke(uint32_t dev, uint32_t addr, uint32_t value);

/* The next `count` accesses return `status` (0 makes them normal accesses).
 * Statuses queue up behind those already queued. Returns 0, or -1 (nothing
 * queued) when the queue would pass CHIP_SIM_STATUS_QUEUE_MAX. */
int chip_sim_fail_next(size_t count, int32_t status);
/* The next `count` accesses return statuses[0], statuses[1], ... in order. */
int chip_sim_queue_statuses(const int32_t *statuses, size_t count);
/* Number of queued statuses not consumed yet. */
size_t chip_sim_queued_statuses(void);

/* The access log, oldest first. */
size_t chip_sim_log_count(void);
const chip_sim_access *chip_sim_log(void);
/* Accesses not recorded because the log was full. */
size_t chip_sim_log_dropped(void);
void chip_sim_log_clear(void);
/* 0 stops recording (the accesses still happen), non-zero resumes it. */
void chip_sim_log_enable(int on);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_SIM_H */
