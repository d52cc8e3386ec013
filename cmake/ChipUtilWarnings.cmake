# SPDX-License-Identifier: Apache-2.0
# Warning flags for project code only (third-party code keeps its own).
add_library(chip_util_warnings INTERFACE)
target_compile_options(chip_util_warnings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${CHIP_UTIL_WERROR}>:-Werror>)
