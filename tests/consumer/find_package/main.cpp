// Registers a small register table, looks a register up, provokes one
// refused index and checks the exact report the print function receives.
#include <chip_util/chip_util.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string g_printed;

int capture(const char *format, ...) {
  char text[600];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_printed += text;
  return length;
}

const hdk_reg_info kRegs[] = {HDK_REG32_FIELD(0x10, 4, 3), HDK_REG32_WHOLE(0x20)};
const hdk_reg_inst kInsts[] = {{0x1000, 0, 0, 2, kRegs}};
const hdk_reg_module kModules[] = {{0, 1, kInsts, 0, 0}};
hdk_chip_reg_table g_table = {0, 1, kModules, {0, 0, 0, 0, 0}, nullptr};

int fail(const char *what) {
  std::fprintf(stderr, "consumer: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  if (hdk_register_reg(7, &g_table) != 0 || g_table.chip_id != 7) return fail("registration");
  if (hdk_get_reg_info(7, 0, HDK_REG_ID(0, 1)) != &kRegs[1]) return fail("register lookup");

  hdk_printf_func_register(capture);
  const hdk_reg_info *reg = nullptr;
  if (hdk_para_chk_and_get_module("consumer_write", 7, 0, HDK_REG_ID(3, 0), 0, nullptr, nullptr,
                                  &reg) != -1 ||
      reg != nullptr) {
    return fail("module index 3 accepted");
  }
  const std::string expected = "\r\nconsumer_write(7, 0, 0xc00000, 0) error code 0x2.";
  if (g_printed != expected) return fail(("report was \"" + g_printed + "\"").c_str());

  // The bounds-checked functions are part of the package as well.
  char copy[8] = {0};
  if (memcpy_s(copy, sizeof copy, "chip", 5) != 0 || std::strcmp(copy, "chip") != 0) {
    return fail("memcpy_s");
  }
  std::puts("find_package consumer: table registered, report exact");
  return 0;
}
