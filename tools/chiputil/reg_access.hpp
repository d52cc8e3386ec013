// SPDX-License-Identifier: Apache-2.0
// How `chiputil reg` reaches registers: the library's bus backends on one
// device number, or the simulated chip, with every access traceable.
#pragma once

#include <chip_util/register.h>

#include <cstdint>
#include <string>

#include "bus_spec.hpp"

namespace chiputil {

// The device number the tool attaches its bus to.
constexpr uint32_t kToolDev = 0;

// The access functions for a register table on `kind`: the backend's
// table, or the simulated chip's wrapped so that its accesses are traced.
const hdk_reg_ops *ops_for(BusKind kind);

// One access of `width` bits at `addr` over `kind`; the library's status.
int32_t read_at(BusKind kind, uint32_t width, uint32_t addr, uint32_t *value);
int32_t write_at(BusKind kind, uint32_t width, uint32_t addr, uint32_t value);

// Why an access failed: the library's refusal line when it logged one,
// else the bus error the status names.
std::string describe_failure(int32_t status, const std::string &logged);

// Prints every traced access on standard error from now on.
void trace_to_stderr();

}  // namespace chiputil
