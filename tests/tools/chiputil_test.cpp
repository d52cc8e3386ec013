// The chiputil command as a user runs it: known vectors, every refused
// input class with its exit status and message, and JSON parsed back.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

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

ToolRun chiputil(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  std::string program = CHIPUTIL_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string &arg : copies) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);

  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
  posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  close(err_pipe[1]);
  ToolRun run;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << program;
    close(out_pipe[0]);
    close(err_pipe[0]);
    return run;
  }
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string *sinks[2] = {&run.out, &run.err};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) {
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          sinks[i]->append(buffer, static_cast<size_t>(n));
        } else {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open_count;
        }
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
const std::string kSpacesPattern = repeat(kSpacesFrameRow + " ", 4);

TEST(Chiputil, EncodesFifteenBlanksToTheKnownFrame) {
  const ToolRun run = chiputil({"j0", "encode", "--len", "16", ""});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, repeat(kSpacesFrameRow + "\n", 4));
}

TEST(Chiputil, DecodesEveryRotationOfAnEncodedTrace) {
  const ToolRun encoded = chiputil({"j0", "encode", "--len", "64", "LINE-CARD-7/PORT-3"});
  ASSERT_EQ(encoded.status, 0) << encoded.err;
  std::string hex = encoded.out;
  for (char &c : hex) {
    c = c == '\n' ? ' ' : c;
  }
  // Rotate by 37 bytes, as a receiver may see it.
  const std::string rotated = hex.substr(37 * 3) + hex.substr(0, 37 * 3);
  const ToolRun run = chiputil({"j0", "decode", "--json", rotated});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["trace_length"], 64);
  EXPECT_EQ(json["text"], "LINE-CARD-7/PORT-3" + std::string(62 - 18, ' '));
}

TEST(Chiputil, DecodeEscapesUnprintableBytes) {
  const ToolRun run = chiputil({"j0", "decode", repeat("0x00:", 63) + "0x00"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "trace length: 1\ntext: \"\\x00\"\n");
}

TEST(Chiputil, Crc7OfTheKnownFrame) {
  const ToolRun from_text = chiputil({"crc7", "--text", ""});
  EXPECT_EQ(from_text.status, 0) << from_text.err;
  EXPECT_EQ(from_text.out, "crc7: 0x48 (frame byte 0 with marker: 0xc8)\n");
  const ToolRun from_hex = chiputil({"crc7", kSpacesFrameRow});
  EXPECT_EQ(from_hex.out,
            "crc7: 0x48 (frame byte 0 with marker: 0xc8)\nreceived byte 0: 0xc8 (CRC matches)\n");
}

TEST(Chiputil, FmeaExampleInTextAndJson) {
  const std::string command = "read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]";
  const ToolRun text = chiputil({"fmea", command});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out, "read         addr=0x1000 mask=0xff val=0x1 cmp_val=0x5\n"
                      "dfx          1 2 3\n");
  const ToolRun json_run = chiputil({"fmea", "--json", command + " inject[addr=0x2000,val=3]"});
  ASSERT_EQ(json_run.status, 0) << json_run.err;
  const auto json = nlohmann::json::parse(json_run.out);
  ASSERT_EQ(json["options"].size(), 2u);
  EXPECT_EQ(json["options"][0]["name"], "read");
  EXPECT_EQ(json["options"][0]["addr"], 0x1000);
  EXPECT_EQ(json["options"][0]["cmp_val"], 5);
  EXPECT_EQ(json["options"][1]["type"], 7);
  EXPECT_EQ(json["options"][1]["val"], 3);
  EXPECT_EQ(json["dfx"], nlohmann::json::array({1, 2, 3}));
}

TEST(Chiputil, FieldGetAndSetThroughTheWideFieldFunctions) {
  const ToolRun get = chiputil({"field", "get", "--start", "4", "--bits", "8", "--reg-bytes", "4",
                            "12345678"});
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out, "field: 0x67\n");
  const ToolRun set = chiputil({"field", "set", "--start", "4", "--bits", "8", "--reg-bytes", "4",
                            "12345678", "ab"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out, "register: 0x12345ab8\n");
  const ToolRun wide = chiputil({"field", "get", "--json", "--start", "24", "--bits", "16",
                             "--reg-bytes", "8", "000000aa:bb000000"});
  ASSERT_EQ(wide.status, 0) << wide.err;
  const auto json = nlohmann::json::parse(wide.out);
  EXPECT_EQ(json["field"], "aabb");
  EXPECT_EQ(json["register"], "000000aabb000000");
  EXPECT_EQ(json["reg_bytes"], 8);
}

struct Refusal {
  std::vector<std::string> args;
  int status;
  std::string message;
};

// Printed in test names and failure reports (the default would dump the
// object's bytes, padding and pointers included).
void PrintTo(const Refusal &r, std::ostream *out) {
  *out << "chiputil";
  for (const std::string &arg : r.args) *out << ' ' << arg;
}

class ChiputilRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(ChiputilRefuses, WithOneLineSayingWhatWasExpected) {
  const Refusal &r = GetParam();
  const ToolRun run = chiputil(r.args);
  EXPECT_EQ(run.status, r.status);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_EQ(run.err, r.message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ChiputilRefuses,
    ::testing::Values(
        Refusal{{"frobnicate"}, 2,
                "chiputil: unknown command 'frobnicate' (expected j0, crc7, fmea, field or demo; "
                "see 'chiputil --help')"},
        Refusal{{"j0", "decode", "zz"}, 2,
                "chiputil j0 decode: malformed hex: 'z' at position 1 is not a hex digit "
                "(expected pairs of 0-9a-f, optionally separated by blanks or colons) (see "
                "'chiputil j0 decode --help')"},
        Refusal{{"j0", "decode", "c82"}, 2,
                "chiputil j0 decode: malformed hex: odd number of hex digits (3); every byte "
                "takes two (see 'chiputil j0 decode --help')"},
        Refusal{{"j0", "decode", "c820"}, 2,
                "chiputil j0 decode: expected 64 bytes of hex, got 2 (see 'chiputil j0 decode "
                "--help')"},
        Refusal{{"j0", "encode", "--len", "32", "x"}, 2,
                "chiputil j0 encode: --len takes 16, 64, 1 or 0 (see 'chiputil j0 encode "
                "--help')"},
        Refusal{{"j0", "encode", "--frame", "x"}, 2,
                "chiputil j0 encode: unknown option '--frame' (see 'chiputil j0 encode --help')"},
        Refusal{{"j0", "encode", "0123456789abcdef"}, 2,
                "chiputil j0 encode: TEXT has 16 characters; a 16-byte trace holds at most 15 "
                "(see 'chiputil j0 encode --help')"},
        Refusal{{"crc7", "c8"}, 2,
                "chiputil crc7: expected 16 bytes of hex, got 1 (see 'chiputil crc7 --help')"},
        Refusal{{"fmea", "no options here"}, 1,
                "chiputil fmea: no option found (expected e.g. read[addr=0x10] or dfx[1,2])"},
        Refusal{{"field", "get", "--start", "30", "--bits", "8", "--reg-bytes", "4", "12345678"},
                2,
                "chiputil field get: the field (--start 30, --bits 8) must lie within the 32-bit "
                "register (see 'chiputil field get --help')"},
        Refusal{{"field", "get", "--start", "0", "--bits", "8", "--reg-bytes", "4", "123456"}, 2,
                "chiputil field get: REGHEX: expected 4 bytes of hex, got 3 (see 'chiputil field "
                "get --help')"},
        Refusal{{"field", "set", "--start", "4", "--bits", "12", "--reg-bytes", "4", "12345678",
                 "1000"},
                1, "chiputil field set: value 0x00001000 does not fit in a 12-bit field"}));

TEST(Chiputil, HelpForTheToolAndEverySubcommand) {
  for (const auto &args : std::vector<std::vector<std::string>>{
           {"--help"}, {"j0", "--help"}, {"j0", "encode", "--help"}, {"crc7", "--help"},
           {"fmea", "--help"}, {"field", "--help"}, {"demo", "--help"}}) {
    const ToolRun run = chiputil(args);
    EXPECT_EQ(run.status, 0) << args[0];
    EXPECT_EQ(run.out.rfind("usage: chiputil", 0), 0u) << run.out;
    EXPECT_TRUE(run.err.empty());
  }
}

TEST(Chiputil, DemoRunsTheWalkthrough) {
  const ToolRun run = chiputil({"demo"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("walkthrough complete"), std::string::npos);
}

}  // namespace
