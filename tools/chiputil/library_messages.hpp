// SPDX-License-Identifier: Apache-2.0
// The library's log lines, caught while an object of this class lives, so
// that the tool can report a refusal as its own one-line error.
#pragma once

#include <chip_util/log.h>

#include <string>
#include <vector>

namespace chiputil {

class LibraryMessages {
 public:
  LibraryMessages();
  ~LibraryMessages();
  LibraryMessages(const LibraryMessages &) = delete;
  LibraryMessages &operator=(const LibraryMessages &) = delete;

  // Every line logged since construction, without the leading line break.
  const std::vector<std::string> &lines() const;
  // The last line, or `otherwise` when nothing was logged.
  std::string last_or(const std::string &otherwise) const;

 private:
  hdk_printf_func previous_;
};

}  // namespace chiputil
