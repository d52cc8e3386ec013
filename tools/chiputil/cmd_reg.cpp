// SPDX-License-Identifier: Apache-2.0
// chiputil reg read|write|dump|watch: registers of a chip in the machine
// (or of the simulated chip) over the library's bus backends, by address
// like devmem2, or by name through a register map.
#include <chip_util/bus.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "bus_spec.hpp"
#include "cli.hpp"
#include "library_messages.hpp"
#include "reg_access.hpp"
#include "text.hpp"

namespace chiputil {
namespace {

constexpr const char *kHelp =
    "usage: chiputil reg read  --bus BUS [--width 16|32] [--json] [--trace] ADDR\n"
    "       chiputil reg write --bus BUS [--width 16|32] [--trace] ADDR VALUE\n"
    "       chiputil reg dump  --bus BUS [--width 16|32] [--json] [--trace] ADDR COUNT\n"
    "       chiputil reg watch --bus BUS [--width 16|32] [--trace] --until V [--mask M]\n"
    "                          [--timeout MS] [--interval MS] ADDR\n"
    "       chiputil reg read|write|dump|watch --map MAP --bus BUS ... NAME [VALUE]\n"
    "\n"
    "Reads and writes registers of a chip in this machine through libchip_util's bus\n"
    "backends, one access of exactly the register's width each.\n"
    "\n"
    "BUS is one of\n"
    "  mmio:PATH[@OFFSET]      a PCI BAR (/sys/bus/pci/devices/.../resourceN), a UIO device\n"
    "                          (/dev/uioN, OFFSET = map * page size) or any file, mapped from\n"
    "                          byte OFFSET; ADDR is the offset into that mapping\n"
    "  mdio:IFACE:PHY[:DEVAD]  the PHY on the MDIO bus of network interface IFACE, clause 22,\n"
    "                          or clause 45 with MMD DEVAD\n"
    "  i2c:/dev/i2c-N:ADDR     the chip at 7-bit address ADDR behind an I2C adapter\n"
    "  sim                     the simulated chip (every register reads 0 until written)\n"
    "\n"
    "read   prints ADDR: VALUE         write  writes VALUE, one bus write\n"
    "dump   prints COUNT registers from ADDR, one per line (XXXX where a read failed);\n"
    "       mmio and sim step by the width in bytes, mdio and i2c by one register\n"
    "watch  reads every --interval ms (default 10) until the value AND --mask (default all\n"
    "       ones) equals --until; after --timeout ms (default 1000) exits 1, printing the\n"
    "       last value read\n"
    "\n"
    "--map MAP     a register map: NAME is INSTANCE.REGISTER[.FIELD] with [n] on arrays;\n"
    "              read prints a register with its fields decoded, write writes a field\n"
    "              (VALUE a number or an enum name) honouring the access kinds, dump takes\n"
    "              an optional INSTANCE and never reads write-only or read-clears registers\n"
    "--width       register width in bits: 32 (16 on mdio)\n"
    "--json        read: {\"address\": N, \"width\": N, \"value\": N}; dump: a list of them\n"
    "--trace       every bus access on standard error\n"
    "--size N      mmio: bytes to map (default: the whole file from OFFSET)\n"
    "--i2c-addr-bytes 1|2, --i2c-lsb-first   I2C register address size, data byte order\n"
    "\n"
    "Exit status: 0 done, 1 refused by the library, bus error or watch timeout, 2 bad usage.\n";

struct Request {
  std::string action;
  std::string command;  // "reg <action>", for messages
  ParsedOptions options;
  BusSpec bus;
  BusSettings settings;
  uint32_t width = 32;
};

// A number option, or the default when absent; false when malformed.
bool number_option(const ParsedOptions &options, const char *name, uint32_t max, uint32_t &out) {
  if (!options.has(name)) {
    return true;
  }
  const auto value = parse_number(options.values.at(name), max);
  if (!value) {
    return false;
  }
  out = *value;
  return true;
}

std::string hex(uint32_t value, uint32_t width) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", static_cast<int>(width / 4), value);
  return text;
}

std::string address_text(uint32_t addr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", addr);
  return text;
}

// Reads one register; on failure returns the reason.
std::string read_one(const Request &request, uint32_t addr, uint32_t &value) {
  LibraryMessages messages;
  const int32_t status = read_at(request.bus.kind, request.width, addr, &value);
  return status == 0 ? std::string{} : describe_failure(status, messages.last_or(""));
}

int run_read(const Request &request, uint32_t addr) {
  uint32_t value = 0;
  if (const std::string problem = read_one(request, addr, value); !problem.empty()) {
    return refused(request.command, problem);
  }
  if (request.options.has("json")) {
    std::printf("{\"address\": %u, \"width\": %u, \"value\": %u}\n", addr, request.width, value);
  } else {
    std::printf("%s: %s\n", address_text(addr).c_str(), hex(value, request.width).c_str());
  }
  return kExitOk;
}

int run_write(const Request &request, uint32_t addr, uint32_t value) {
  LibraryMessages messages;
  const int32_t status = write_at(request.bus.kind, request.width, addr, value);
  if (status != 0) {
    return refused(request.command, describe_failure(status, messages.last_or("")));
  }
  return kExitOk;
}

int run_dump(const Request &request, uint32_t addr, uint32_t count) {
  // Memory is addressed by the byte; MDIO and I2C number their registers.
  const bool by_byte = request.bus.kind == BusKind::mmio || request.bus.kind == BusKind::sim;
  const uint32_t step = by_byte ? request.width / 8 : 1;
  const bool json = request.options.has("json");
  int result = kExitOk;
  if (json) {
    std::printf("[");
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = addr + i * step;
    uint32_t value = 0;
    const std::string problem = read_one(request, at, value);
    if (!problem.empty()) {
      result = refused(request.command, problem);
    }
    if (json) {
      std::printf("%s{\"address\": %u, \"width\": %u, ", i == 0 ? "" : ", ", at, request.width);
      problem.empty() ? std::printf("\"value\": %u}", value) : std::printf("\"value\": null}");
    } else {
      std::printf("%s: %s\n", address_text(at).c_str(),
                  problem.empty() ? hex(value, request.width).c_str()
                                  : std::string(request.width / 4, 'X').c_str());
    }
  }
  if (json) {
    std::printf("]\n");
  }
  return result;
}

int run_watch(const Request &request, uint32_t addr) {
  const ParsedOptions &options = request.options;
  uint32_t until = 0;
  uint32_t mask = 0xFFFFFFFFu;
  uint32_t timeout_ms = 1000;
  uint32_t interval_ms = 10;
  if (!options.has("until")) {
    return usage_error(request.command, "missing --until");
  }
  if (!number_option(options, "until", 0xFFFFFFFFu, until) ||
      !number_option(options, "mask", 0xFFFFFFFFu, mask) ||
      !number_option(options, "timeout", 86400000u, timeout_ms) ||
      !number_option(options, "interval", 86400000u, interval_ms)) {
    return usage_error(request.command, "--until, --mask, --timeout and --interval take numbers");
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  uint32_t value = 0;
  for (;;) {
    if (const std::string problem = read_one(request, addr, value); !problem.empty()) {
      return refused(request.command, problem);
    }
    if ((value & mask) == until) {
      std::printf("%s: %s\n", address_text(addr).c_str(), hex(value, request.width).c_str());
      return kExitOk;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
  }
  std::printf("%s: %s\n", address_text(addr).c_str(), hex(value, request.width).c_str());
  return refused(request.command, "timeout after " + std::to_string(timeout_ms) + " ms: " +
                                      address_text(addr) + " & " + hex(mask, request.width) +
                                      " is " + hex(value & mask, request.width) +
                                      ", waiting for " + hex(until, request.width));
}

// The access by address; the bus is attached.
int run_by_address(const Request &request) {
  const std::vector<std::string> &operands = request.options.operands;
  const size_t wanted = request.action == "write" || request.action == "dump" ? 2 : 1;
  if (operands.size() != wanted) {
    return usage_error(request.command, request.action == "write"  ? "expected ADDR and VALUE"
                                        : request.action == "dump" ? "expected ADDR and COUNT"
                                                                   : "expected one ADDR");
  }
  const auto addr = parse_number(operands[0], 0xFFFFFFFFu);
  if (!addr) {
    return usage_error(request.command, "ADDR " + quoted(operands[0]) + " is not a number");
  }
  if (request.bus.kind == BusKind::sim && request.width == 16 && *addr > 0xFFFF) {
    return refused(request.command, "the simulated chip's 16-bit registers end at 0xffff");
  }
  const uint32_t max_value = request.width == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  if (request.action == "write") {
    const auto value = parse_number(operands[1], max_value);
    if (!value) {
      return usage_error(request.command, "VALUE " + quoted(operands[1]) + " is not a number of " +
                                              std::to_string(request.width) + " bits");
    }
    return run_write(request, *addr, *value);
  }
  if (request.action == "dump") {
    const auto count = parse_number(operands[1], 0x100000u);
    if (!count) {
      return usage_error(request.command,
                         "COUNT " + quoted(operands[1]) + " is not a number up to 1048576");
    }
    return run_dump(request, *addr, *count);
  }
  return request.action == "read" ? run_read(request, *addr) : run_watch(request, *addr);
}

// Options that every action shares; an empty string when usable.
std::string read_settings(Request &request) {
  const ParsedOptions &options = request.options;
  if (!options.has("bus")) {
    return "missing --bus";
  }
  const ParsedBus bus = parse_bus_spec(options.values.at("bus"));
  if (!bus.error.empty()) {
    return bus.error;
  }
  request.bus = bus.target;
  request.width = bus.target.kind == BusKind::mdio ? 16 : 32;
  if (!number_option(options, "width", 32, request.width) ||
      (request.width != 16 && request.width != 32)) {
    return "--width takes 16 or 32";
  }
  uint32_t size = 0;
  if (!number_option(options, "size", 0xFFFFFFFFu, size)) {
    return "--size takes a number of bytes";
  }
  request.settings.mmio_size = size;
  if (!number_option(options, "i2c-addr-bytes", 2, request.settings.i2c_addr_bytes) ||
      request.settings.i2c_addr_bytes == 0) {
    return "--i2c-addr-bytes takes 1 or 2";
  }
  request.settings.i2c_lsb_first = options.has("i2c-lsb-first");
  if (options.has("json") && (request.action == "write" || request.action == "watch")) {
    return "--json goes with read and dump";
  }
  return {};
}

}  // namespace

int run_reg_by_name(const std::string &action, const std::string &command,
                    const ParsedOptions &options, const BusSpec &bus);

int run_reg(int argc, char **argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::fputs(kHelp, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  Request request;
  request.action = argv[1];
  request.command = "reg " + request.action;
  if (request.action != "read" && request.action != "write" && request.action != "dump" &&
      request.action != "watch") {
    return usage_error("reg", "unknown action " + quoted(request.action) +
                                  " (expected read, write, dump or watch)");
  }
  request.options = parse_options(
      argc - 1, argv + 1,
      {{"map", true}, {"bus", true}, {"width", true}, {"json", false}, {"trace", false},
       {"until", true}, {"mask", true}, {"timeout", true}, {"interval", true}, {"size", true},
       {"i2c-addr-bytes", true}, {"i2c-lsb-first", false}});
  if (request.options.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (!request.options.error.empty()) {
    return usage_error(request.command, request.options.error);
  }
  if (const std::string problem = read_settings(request); !problem.empty()) {
    return usage_error(request.command, problem);
  }
  if (const std::string problem = attach_bus(kToolDev, request.bus, request.settings);
      !problem.empty()) {
    return refused(request.command, problem);
  }
  if (request.options.has("trace")) {
    trace_to_stderr();
  }
  const int status = request.options.has("map")
                         ? run_reg_by_name(request.action, request.command, request.options,
                                           request.bus)
                         : run_by_address(request);
  chip_bus_detach(kToolDev);
  return status;
}

}  // namespace chiputil
