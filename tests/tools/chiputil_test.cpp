// The chiputil command as a user runs it: known vectors, every refused
// input class with its exit status and message, and JSON parsed back.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

extern char **environ;

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string contents(FILE *file) {
  std::string all;
  std::rewind(file);
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    all.append(buffer, n);
  }
  std::fclose(file);
  return all;
}

// Runs the built command with its standard output and error in files.
ToolRun chiputil(std::vector<std::string> args) {
  args.insert(args.begin(), CHIPUTIL_PATH);
  std::vector<char *> argv;
  for (std::string &arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  FILE *out = std::tmpfile();
  FILE *err = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
  ToolRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  } else {
    ADD_FAILURE() << "cannot start " << argv[0];
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = contents(out);
  run.err = contents(err);
  return run;
}

std::string repeat(const std::string &unit, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) {
    all += unit;
  }
  return all;
}

const std::string kSpacesFrameRow = "c8" + repeat(" 20", 15);

// A run with its exact exit status and output: known vectors print on
// standard output only; a refused input prints one line on standard error
// saying what was expected.
struct Case {
  std::vector<std::string> args;
  int status;
  std::string err;
  std::string out = "";
};

// Names each case by its command line (the default printer would dump the
// object's bytes, padding included), without the brackets and semicolons
// that test discovery cannot carry in a name.
void PrintTo(const Case &c, std::ostream *out) {
  std::string line = "chiputil";
  for (const std::string &arg : c.args) {
    line += ' ' + arg;
  }
  std::replace_if(
      line.begin(), line.end(), [](char ch) { return ch == '[' || ch == ']' || ch == ';'; }, '_');
  *out << line;
}

class ChiputilRuns : public ::testing::TestWithParam<Case> {};

TEST_P(ChiputilRuns, WithExactStatusAndOutput) {
  const Case &r = GetParam();
  const ToolRun run = chiputil(r.args);
  EXPECT_EQ(run.status, r.status);
  EXPECT_EQ(run.out, r.out);
  EXPECT_EQ(run.err, r.err.empty() ? "" : r.err + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    KnownVectors, ChiputilRuns,
    ::testing::Values(
        Case{{"j0", "encode", "--len", "16", ""}, 0, "", repeat(kSpacesFrameRow + "\n", 4)},
        Case{{"j0", "decode", repeat("0x00:", 63) + "0x00"}, 0, "",
             "trace length: 1\ntext: \"\\x00\"\n"},
        Case{{"crc7", "--text", ""}, 0, "", "crc7: 0x48 (frame byte 0 with marker: 0xc8)\n"},
        Case{{"crc7", kSpacesFrameRow}, 0, "",
             "crc7: 0x48 (frame byte 0 with marker: 0xc8)\nreceived byte 0: 0xc8 (CRC matches)\n"},
        Case{{"fmea", "read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]"}, 0, "",
             "read         addr=0x1000 mask=0xff val=0x1 cmp_val=0x5\ndfx          1 2 3\n"},
        Case{{"field", "get", "--start", "4", "--bits", "8", "--reg-bytes", "4", "12345678"}, 0,
             "", "field: 0x67\n"},
        Case{{"field", "set", "--start", "4", "--bits", "8", "--reg-bytes", "4", "12345678", "ab"},
             0, "", "register: 0x12345ab8\n"}));

INSTANTIATE_TEST_SUITE_P(
    RefusedInputs, ChiputilRuns,
    ::testing::Values(
        Case{{"frobnicate"}, 2,
             "chiputil: unknown command 'frobnicate' (expected j0, crc7, fmea, field or demo; "
             "see 'chiputil --help')"},
        Case{{"j0", "decode", "zz"}, 2,
             "chiputil j0 decode: malformed hex: 'z' at position 1 is not a hex digit "
             "(expected pairs of 0-9a-f, optionally separated by blanks or colons) (see "
             "'chiputil j0 decode --help')"},
        Case{{"j0", "decode", "c82"}, 2,
             "chiputil j0 decode: malformed hex: odd number of hex digits (3); every byte "
             "takes two (see 'chiputil j0 decode --help')"},
        Case{{"j0", "decode", "c820"}, 2,
             "chiputil j0 decode: expected 64 bytes of hex, got 2 (see 'chiputil j0 decode "
             "--help')"},
        Case{{"j0", "encode", "--len", "32", "x"}, 2,
             "chiputil j0 encode: --len takes 16, 64, 1 or 0 (see 'chiputil j0 encode "
             "--help')"},
        Case{{"j0", "encode", "--frame", "x"}, 2,
             "chiputil j0 encode: unknown option '--frame' (see 'chiputil j0 encode --help')"},
        Case{{"j0", "encode", "0123456789abcdef"}, 2,
             "chiputil j0 encode: TEXT has 16 characters; a 16-byte trace holds at most 15 "
             "(see 'chiputil j0 encode --help')"},
        Case{{"crc7", "c8"}, 2,
             "chiputil crc7: expected 16 bytes of hex, got 1 (see 'chiputil crc7 --help')"},
        Case{{"fmea", "no options here"}, 1,
             "chiputil fmea: no option found (expected e.g. read[addr=0x10] or dfx[1,2])"},
        Case{{"field", "get", "--start", "30", "--bits", "8", "--reg-bytes", "4", "12345678"}, 2,
             "chiputil field get: the field (--start 30, --bits 8) must lie within the 32-bit "
             "register (see 'chiputil field get --help')"},
        Case{{"field", "get", "--start", "0", "--bits", "8", "--reg-bytes", "4", "123456"}, 2,
             "chiputil field get: REGHEX: expected 4 bytes of hex, got 3 (see 'chiputil field "
             "get --help')"},
        Case{{"field", "set", "--start", "4", "--bits", "12", "--reg-bytes", "4", "12345678",
              "1000"},
             1, "chiputil field set: value 0x00001000 does not fit the 12-bit field"}));

nlohmann::json json_of(const std::vector<std::string> &args) {
  const ToolRun run = chiputil(args);
  EXPECT_EQ(run.status, 0) << run.err;
  return nlohmann::json::parse(run.out);
}

TEST(Chiputil, DecodesARotatedEncodedTraceToJson) {
  const ToolRun encoded = chiputil({"j0", "encode", "--len", "64", "LINE-CARD-7/PORT-3"});
  ASSERT_EQ(encoded.status, 0) << encoded.err;
  std::string hex = encoded.out;
  std::replace(hex.begin(), hex.end(), '\n', ' ');
  // Rotate by 37 bytes, as a receiver may see it.
  const auto json = json_of({"j0", "decode", "--json", hex.substr(37 * 3) + hex.substr(0, 37 * 3)});
  EXPECT_EQ(json["trace_length"], 64);
  EXPECT_EQ(json["text"], "LINE-CARD-7/PORT-3" + std::string(62 - 18, ' '));
}

TEST(Chiputil, FmeaAndWideFieldToJson) {
  const auto fmea = json_of({"fmea", "--json",
                             "read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3] "
                             "inject[addr=0x2000,val=3]"});
  ASSERT_EQ(fmea["options"].size(), 2u);
  EXPECT_EQ(fmea["options"][0]["name"], "read");
  EXPECT_EQ(fmea["options"][0]["addr"], 0x1000);
  EXPECT_EQ(fmea["options"][0]["cmp_val"], 5);
  EXPECT_EQ(fmea["options"][1]["type"], 7);
  EXPECT_EQ(fmea["options"][1]["val"], 3);
  EXPECT_EQ(fmea["dfx"], nlohmann::json::array({1, 2, 3}));
  const auto wide = json_of({"field", "get", "--json", "--start", "24", "--bits", "16",
                             "--reg-bytes", "8", "000000aa:bb000000"});
  EXPECT_EQ(wide["field"], "aabb");
  EXPECT_EQ(wide["register"], "000000aabb000000");
  EXPECT_EQ(wide["reg_bytes"], 8);
}

TEST(Chiputil, HelpForTheToolAndEverySubcommandAndTheDemo) {
  for (const auto &args : std::vector<std::vector<std::string>>{
           {"--help"}, {"j0", "--help"}, {"j0", "encode", "--help"}, {"crc7", "--help"},
           {"fmea", "--help"}, {"field", "--help"}, {"demo", "--help"}}) {
    const ToolRun run = chiputil(args);
    EXPECT_EQ(run.status, 0) << args[0];
    EXPECT_EQ(run.out.rfind("usage: chiputil", 0), 0u) << run.out;
    EXPECT_TRUE(run.err.empty());
  }
  const ToolRun demo = chiputil({"demo"});
  EXPECT_EQ(demo.status, 0) << demo.err;
  EXPECT_NE(demo.out.find("walkthrough complete"), std::string::npos);
}

}  // namespace
