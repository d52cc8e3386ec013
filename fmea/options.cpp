// SPDX-License-Identifier: Apache-2.0
// Keyword options and the dfx number list of an FMEA command string.
#include <chip_util/bounds.h>
#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <cstddef>
#include <cstring>

#include "option_scan.hpp"

// The record layout is shared with drivers: keep it fixed.
static_assert(sizeof(drv_fmea_opt) == 20);
static_assert(sizeof(drv_fmea_opt[DRV_FMEA_OPT_SET_SIZE]) == 160);

namespace {

bool is_option_type(drv_fmea_opt_type type) {
  return type >= DRV_FMEA_OPT_READ && type <= DRV_FMEA_OPT_INJECT_UNDO;
}

// Runs `use` on the dfx option's text and releases the text afterwards;
// 0 when there is no such option.
template <typename Use>
uint32_t with_list_text(const char *command, Use use) {
  char *list = drv_fmea_get_opt_string(command, chip_fmea::kListKeyword);
  if (list == nullptr) {
    return 0;
  }
  const uint32_t result = use(list);
  hdk_free(list);
  return result;
}

}  // namespace

extern "C" int32_t drv_fmea_parse_opt(const char *command, drv_fmea_opt_type type,
                                      drv_fmea_opt *opt) {
  if (opt == nullptr) {
    return 0;
  }
  drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE];
  (void)memset_s(set, sizeof set, 0, sizeof set);
  opt->valid = 0;
  (void)drv_fmea_parse_opt_set(command, set);
  return drv_fmea_get_opt(set, type, opt);
}

extern "C" uint32_t drv_fmea_parse_opt_set(const char *command,
                                           drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE]) {
  if (command == nullptr || set == nullptr) {
    return 0;
  }
  uint32_t found = 0;
  for (uint32_t i = 0; i < DRV_FMEA_OPT_SET_SIZE; ++i) {
    const int32_t parsed = drv_fmea_parse_cmd(command, chip_fmea::kOptionKeywords[i], &set[i]);
    found += static_cast<uint32_t>(parsed);
  }
  return found;
}

extern "C" int32_t drv_fmea_get_opt(const drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE],
                                    drv_fmea_opt_type type, drv_fmea_opt *opt) {
  if (set == nullptr || opt == nullptr || !is_option_type(type)) {
    return 0;
  }
  const drv_fmea_opt *record = &set[type - 1];
  // A record copied onto itself is already in place (and the bounded copy
  // would refuse the overlap by clearing it).
  if (record != opt) {
    (void)memcpy_s(opt, sizeof *opt, record, sizeof *opt);
  }
  return 1;
}

extern "C" int32_t drv_fmea_parse_cmd(const char *command, const char *keyword,
                                      drv_fmea_opt *opt) {
  if (command == nullptr || keyword == nullptr || opt == nullptr) {
    return 0;
  }
  const char *option = std::strstr(command, keyword);
  if (option == nullptr) {
    return 0;
  }
  opt->valid = 1;
  for (const chip_fmea::OptionKey &key : chip_fmea::kOptionKeys) {
    drv_fmea_parse_para(option, key.name, &(opt->*key.field));
  }
  return 1;
}

extern "C" void drv_fmea_parse_para(const char *text, const char *key, uint32_t *field) {
  if (text == nullptr || key == nullptr || field == nullptr) {
    return;
  }
  const char *number = chip_fmea::parameter_number(text, key);
  if (number != nullptr) {
    (void)drv_fmea_str_to_num(number, field);
  }
}

extern "C" char *drv_fmea_get_opt_string(const char *command, const char *key) {
  if (command == nullptr || key == nullptr) {
    return nullptr;
  }
  const char *start = std::strstr(command, key);
  if (start == nullptr) {
    return nullptr;
  }
  const char *bracket = std::strchr(start, ']');
  if (bracket == nullptr || bracket == start) {
    return nullptr;
  }
  const size_t length = static_cast<size_t>(bracket - start);
  // The block holds the text, its ']' and the terminating NUL.
  if (length > UINT32_MAX - 2u) {
    return nullptr;
  }
  const uint32_t size = static_cast<uint32_t>(length) + 2u;
  auto *text = static_cast<char *>(hdk_malloc(size));
  if (text == nullptr) {
    return nullptr;
  }
  (void)memset_s(text, size, 0, size);
  if (strncpy_s(text, size, start, length + 1u) != 0) {
    hdk_free(text);
    return nullptr;
  }
  return text;
}

extern "C" uint32_t drv_fmea_parse_dfx_num(const char *command) {
  return with_list_text(command, [](const char *list) { return drv_fmea_get_num_count(list); });
}

extern "C" uint32_t drv_fmea_parse_dfx(const char *command, uint32_t capacity, uint32_t *array) {
  if (array == nullptr || capacity == 0) {
    return 0;
  }
  return with_list_text(command, [capacity, array](const char *list) {
    return drv_fmea_get_nums(list, array, capacity);
  });
}
