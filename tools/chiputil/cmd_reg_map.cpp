// SPDX-License-Identifier: Apache-2.0
// chiputil reg with --map: registers by the names a register map gives.
#include "bus_spec.hpp"
#include "cli.hpp"

namespace chiputil {

int run_reg_by_name(const std::string &command, const ParsedOptions &, const BusSpec &) {
  return usage_error(command, "--map: this chiputil is built without the register-map reader");
}

}  // namespace chiputil
