// SPDX-License-Identifier: Apache-2.0
#include "fmea_notes.hpp"

#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "text.hpp"

namespace chiputil {
namespace {

// The keys of an option; "val" also ends "cmp_val".
constexpr const char *kKeys[] = {"addr", "mask", "val", "cmp_val"};

bool continues_word(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Where the parser finds `key` in an option's text from `from` on (see
// fmea.h): the first occurrence, except that a key which ends a longer key
// counts only where it does not continue a word. npos when there is none.
size_t key_position(std::string_view body, std::string_view key, size_t from = 0) {
  const bool tail = key == "val";
  size_t at = body.find(key, from);
  while (tail && at != std::string_view::npos && at > 0 && continues_word(body[at - 1])) {
    at = body.find(key, at + 1);
  }
  return at;
}

// Whether the parser read a number for `key` in the option that begins at
// `option`: a field it does not read keeps its start value, so two start
// values tell a read 0 from none.
bool parser_read(const char *option, const char *key) {
  uint32_t from_zero = 0;
  uint32_t from_one = 1;
  drv_fmea_parse_para(option, key, &from_zero);
  drv_fmea_parse_para(option, key, &from_one);
  return from_zero == from_one;
}

// A parameter as written: the key up to the next ',', blank or the end of
// the option, cut at a length that fits a message.
std::string written_at(std::string_view body, size_t at) {
  const size_t end = std::min(body.find_first_of(", \t", at), body.size());
  return quoted(body.substr(at, std::min<size_t>(end - at, 32)));
}

std::string list_of(const std::vector<std::string> &items) {
  std::string list;
  for (const std::string &item : items) {
    list += (list.empty() ? "" : ", ") + item;
  }
  return list;
}

// The notes on one option that begins at `option`: parameters written in
// it that the parser could not read, and repeated keys, of which only the
// first counts.
std::vector<std::string> option_notes(const char *name, const char *option) {
  std::string_view body(option + std::strlen(name) + 1);
  const size_t bracket = body.find(']');
  body = body.substr(0, bracket);
  std::vector<std::string> unread;
  std::vector<std::string> repeated;
  for (const char *key : kKeys) {
    const size_t at = key_position(body, key);
    if (at == std::string_view::npos) {
      continue;
    }
    if (!parser_read(option, key)) {
      unread.push_back(written_at(body, at));
    }
    for (size_t again = key_position(body, key, at + 1); again != std::string_view::npos;
         again = key_position(body, key, again + 1)) {
      repeated.push_back(written_at(body, again));
    }
  }
  std::vector<std::string> notes;
  if (!unread.empty()) {
    notes.push_back(std::string(name) + ": could not read " + list_of(unread) +
                    (bracket == std::string_view::npos
                         ? " (no ']' closes the option)"
                         : " (a key takes one separator, then a decimal or 0x hex number)") +
                    (unread.size() == 1 ? "; it shows as 0" : "; they show as 0"));
  }
  if (!repeated.empty()) {
    notes.push_back(std::string(name) + ": ignored " + list_of(repeated) +
                    " (only the first of each key counts)");
  }
  return notes;
}

// How many decimal numbers a dfx list in hexadecimal mode passes over:
// runs of digits that no 0x number covers.
size_t ignored_decimals(const char *list) {
  const size_t size = std::strlen(list);
  std::vector<bool> covered(size, false);
  for (size_t i = 0; i < size; ++i) {
    if (drv_fmea_str_is_x_num(list + i) != 0) {
      size_t end = i + 2;
      while (end < size && drv_fmea_char_is_x_digital(list[end]) != 0) {
        ++end;
      }
      std::fill(covered.begin() + static_cast<long>(i), covered.begin() + static_cast<long>(end),
                true);
    }
  }
  size_t runs = 0;
  for (size_t i = 0; i < size; ++i) {
    const bool free_digit = !covered[i] && drv_fmea_char_is_d_digital(list[i]) != 0;
    const bool after_free_digit =
        i > 0 && !covered[i - 1] && drv_fmea_char_is_d_digital(list[i - 1]) != 0;
    runs += free_digit && !after_free_digit ? 1 : 0;
  }
  return runs;
}

}  // namespace

std::vector<std::string> fmea_command_notes(const char *command) {
  std::vector<std::string> notes;
  for (const char *name : kFmeaOptionNames) {
    const std::string keyword = std::string(name) + "[";
    const char *option = std::strstr(command, keyword.c_str());
    if (option == nullptr) {
      continue;
    }
    const std::vector<std::string> own = option_notes(name, option);
    notes.insert(notes.end(), own.begin(), own.end());
    if (std::strstr(option + 1, keyword.c_str()) != nullptr) {
      notes.push_back(std::string(name) + ": only the first " + quoted(keyword) +
                      " counts; the others are ignored");
    }
  }
  char *list = drv_fmea_get_opt_string(command, "dfx");
  if (list == nullptr && std::strstr(command, "dfx") != nullptr) {
    notes.emplace_back("could not read the dfx list (no ']' closes it)");
  }
  if (list != nullptr && drv_fmea_get_x_num_count(list) != 0) {
    if (const size_t ignored = ignored_decimals(list); ignored != 0) {
      notes.push_back("dfx: " + std::to_string(ignored) +
                      (ignored == 1 ? " decimal number" : " decimal numbers") +
                      " ignored (a list that holds a 0x number counts only its 0x numbers)");
    }
  }
  hdk_free(list);
  return notes;
}

}  // namespace chiputil
