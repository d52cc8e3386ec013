// SPDX-License-Identifier: Apache-2.0
// Runs a built command line tool as a user would: ARGS split by the shell,
// standard output and error captured through files. CTest runs test cases
// as parallel processes, hence the process id in the file names.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace test_support {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// The whole file at `path`, bytes as they are.
inline std::string contents(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline ToolRun run_tool(const std::string &tool, const std::string &args) {
  const std::string stem = ::testing::TempDir() + "tool_run." + std::to_string(getpid());
  const int status =
      std::system(("'" + tool + "' " + args + " >" + stem + ".out 2>" + stem + ".err").c_str());
  ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(stem + ".out"),
              contents(stem + ".err")};
  std::remove((stem + ".out").c_str());
  std::remove((stem + ".err").c_str());
  return run;
}

}  // namespace test_support
