# SPDX-License-Identifier: Apache-2.0
# Configures and builds the consumer project SOURCE in BINARY against the
# installed PREFIX with the outer build's toolchain and flags, then runs
# each program of RUN (comma separated). Every step must succeed.
# EXPECT_SIM (0/1) tells the consumer whether the simulator is installed.
file(REMOVE_RECURSE "${BINARY}")

function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${output}")
  endif()
  message(STATUS "${what}: ${output}")
endfunction()

set(configure_args -G "${GENERATOR}" -S "${SOURCE}" -B "${BINARY}"
    "-DCMAKE_PREFIX_PATH=${PREFIX}"
    "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
    "-DCMAKE_C_COMPILER=${C_COMPILER}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "-DCMAKE_C_FLAGS=${C_FLAGS}"
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${EXE_LINKER_FLAGS}"
    "-DCHIP_UTIL_EXPECT_SIM=${EXPECT_SIM}"
    # Only the staged prefix may satisfy find_package.
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
if(MAKE_PROGRAM)
  list(APPEND configure_args "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}")
endif()
run_step("configure" "${CMAKE_COMMAND}" ${configure_args})
run_step("build" "${CMAKE_COMMAND}" --build "${BINARY}")

string(REPLACE "," ";" programs "${RUN}")
foreach(program IN LISTS programs)
  run_step("${program}" "${BINARY}/${program}")
endforeach()
