// SPDX-License-Identifier: Apache-2.0
// hdk_file_name_cut: the last component of a path, without copying.
#include <chip_util/log.h>

#include <cstring>

extern "C" const char *hdk_file_name_cut(const char *path) {
  if (path == nullptr) {
    return "<null>";
  }
  for (size_t i = std::strlen(path); i > 0; --i) {
    if (path[i - 1] == '/' || path[i - 1] == '\\') {
      return path + i;
    }
  }
  return path;
}
