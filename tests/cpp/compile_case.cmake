# SPDX-License-Identifier: Apache-2.0
# Compiles SOURCE with -DCHIP_CASE=CASE (syntax only) and checks the
# outcome: EXPECT empty means it must compile; otherwise it must fail with a
# diagnostic matching the regular expression EXPECT.
# INCLUDE: the include directories (a list: the sources' and the generated
# version header's).
list(TRANSFORM INCLUDE PREPEND -I OUTPUT_VARIABLE include_flags)
execute_process(
  COMMAND ${COMPILER} -std=c++20 -fsyntax-only -fno-exceptions ${include_flags} -DCHIP_CASE=${CASE}
          ${SOURCE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(EXPECT STREQUAL "")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "case ${CASE} must compile:\n${out}")
  endif()
elseif(rc EQUAL 0)
  message(FATAL_ERROR "case ${CASE} compiled but must not (${EXPECT})")
elseif(NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "case ${CASE} failed for another reason than '${EXPECT}':\n${out}")
endif()
