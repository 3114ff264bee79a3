// SPDX-License-Identifier: GPL-3.0-or-later
// What evmctl does when its files, its boards, its output or the user get in
// the way: a clear refusal in bounded time, and nothing the user kept lost;
// and its exit statuses as the shell sees them (on Windows,
// tools/test-windows.sh compares evmctl.exe's statuses with these).
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "shell/settings_file.h"

namespace evm::test {
namespace {

namespace fs = std::filesystem;

// 23 register values, then blank lines up to `bytes`.
std::string RegisterFileOf(size_t bytes) {
  std::string text;
  for (int i = 0; i < 23; ++i) text += "0\r\n";
  text.resize(bytes, '\n');
  return text;
}

using EvmctlReliability = Evmctl;

TEST_F(EvmctlReliability, SpecialHugeAndReadOnlyFilesAreRefusedAndKept) {
  const std::string fifo = File("ff");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const std::string readOnly = Put("ro.csv", "PRECIOUS\r\n");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string huge = Put("huge.csv", RegisterFileOf(kStateFileLimit + 1));
  const std::string script = Put("s.txt", ScriptOf({"CMD MUX 05"}));
  const std::string notRegular = "'" + fifo + "' is not a regular file";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {"load-regs FIFO", {"load-regs", fifo}, notRegular},
      {"save-regs FIFO", {"save-regs", fifo}, notRegular},
      {"--results FIFO", {"script", script, "--results", fifo}, notRegular},
      {"huge register file", {"load-regs", huge}, "is too large for a register file"},
      {"read-only log", {"log", readOnly, "--passes", "1"}, "Permission denied"},
  };
  for (const Case& c : cases) {
    const CliResult r = Sim(c.args);
    EXPECT_EQ(r.code, 2) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << ": " << r.err;
  }
  EXPECT_EQ(ReadWholeFile(readOnly), "PRECIOUS\r\n");
  EXPECT_TRUE(fs::is_fifo(fifo));

  // A pipe among the state files is named and passed over.
  const std::string state = File("EVM_Address_Settings.csv");
  ASSERT_EQ(::mkfifo(state.c_str(), 0666), 0);
  const CliResult r = Sim({"send", "CMD MUX 05"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err;
}

TEST_F(EvmctlReliability, DacWriteTheBoardDidNotTakeFailsItsRow) {
  const std::string script = Put("dac.txt", ScriptOf({"write_dac_b 2.5"}));
  for (const char* fault :
       {"", "no-reply", "garbage", "wrong-echo", "write-failure", "read-failure"}) {
    std::vector<std::string> args = {"script", script, "--results", File("r.txt")};
    if (*fault) args.insert(args.begin(), {"--sim-fault", std::string("interface:") + fault});
    const CliResult r = Sim(args);
    const auto results = ReadWholeFile(File("r.txt"));
    ASSERT_TRUE(results) << fault;
    if (!*fault) {
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(results->find("FAIL"), std::string::npos) << *results;
      continue;
    }
    EXPECT_EQ(r.code, 1) << fault << ": " << r.out;
    EXPECT_NE(r.err.find("(row 1: the interface board did not take the DAC write)"),
              std::string::npos)
        << fault << ": " << r.err;
    EXPECT_NE(results->find("FAIL"), std::string::npos) << fault << ": " << *results;
  }
}

// A folder the program picks itself that others may write is refused, as
// whoever can write there chooses the boards root's evmctl drives.
TEST_F(EvmctlReliability, StateFolderOthersCanWriteIsRefused) {
  const fs::path home = dir.path() / "home";
  fs::create_directories(home / ".config" / "zm5520-evm");
  fs::permissions(home / ".config" / "zm5520-evm", fs::perms::all);
  const char* savedHome = std::getenv("HOME");
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string oldHome = savedHome ? savedHome : "", oldXdg = savedXdg ? savedXdg : "";
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  const CliResult r = RunEvmctlWith({"--simulate", "--json", "read"}, clock);
  savedHome ? ::setenv("HOME", oldHome.c_str(), 1) : ::unsetenv("HOME");
  if (savedXdg) ::setenv("XDG_CONFIG_HOME", oldXdg.c_str(), 1);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("evmctl read: the state folder '" + (home / ".config").string()),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("can be written by other users"), std::string::npos) << r.err;
  EXPECT_EQ(Json::parse(r.out)["exit"], 2) << r.out;
  EXPECT_FALSE(fs::exists(home / ".config" / "zm5520-evm" / "EVM_Board_Selection.csv"));
}

TEST_F(EvmctlReliability, OutputThatCannotBeWrittenIsAFailure) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"read"}, {"monitor", "--passes", "3"}}) {
    std::ostringstream full;
    full.setstate(std::ios::badbit);
    std::vector<std::string> all = args;
    all.insert(all.begin(), "--simulate");
    const CliResult r = RunEvmctlWith(Args(all), clock, nullptr, false, &full);
    EXPECT_EQ(r.code, 2) << args[0];
    EXPECT_NE(r.err.find("cannot write the output"), std::string::npos) << args[0] << r.err;
  }
}

TEST_F(EvmctlReliability, SavesFollowLinksSweepLeftoversAndKeepNameBytes) {
  const std::string real = Put("real.csv", "old");
  const std::string link = File("link.csv");
  fs::create_symlink(real, link);
  ASSERT_EQ(Sim({"save-regs", link}).code, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_NE(ReadWholeFile(real), "old");

  const std::string leftover = Put("real.csv.0123456789abcdef.tmp~", "half");
  fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  ASSERT_EQ(Sim({"save-regs", real}).code, 0);
  EXPECT_FALSE(fs::exists(leftover));

  const std::string name = File("log\xe9.csv");
  const Json doc = Parsed(Sim({"--json", "log", name, "--passes", "1"}));
  ASSERT_TRUE(doc.contains("file_bytes")) << doc.dump();
  std::string hex;
  for (unsigned char byte : name) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  EXPECT_EQ(doc["file_bytes"].get<std::string>(), hex);
}

// The settings file the calibration replaces may be the user's only copy of
// the old inputs: when it does not parse it is kept aside, the next one
// beside the first.
TEST_F(EvmctlReliability, CalibrateWriteKeepsDamagedSettingsAside) {
  const std::vector<std::string> calibrate = {"calibrate", "--rshunt", "10m",  "--max-current",
                                              "2",         "--lsb",    "100u", "--write"};
  const std::string settings = File("ZM5520_1EVM_Settings.csv");
  for (const char* damaged : {"GARBAGE\r\n", "LATER GARBAGE"}) {
    Put("ZM5520_1EVM_Settings.csv", damaged);
    const CliResult r = Sim(calibrate);
    ASSERT_EQ(r.code, 0) << r.err;
  }
  EXPECT_EQ(ReadWholeFile(settings + ".bad"), "GARBAGE\r\n");
  std::vector<std::string> later;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("ZM5520_1EVM_Settings.csv.") && name.ends_with(".bad") &&
        ReadWholeFile(entry.path()) == std::optional<std::string>("LATER GARBAGE")) {
      later.push_back(name);
    }
  }
  EXPECT_EQ(later.size(), 1u) << "the second damaged file is kept under its own name";
  EXPECT_TRUE(ReadSettingsFile(settings)) << "the new settings read back";
}

// evmctl run by the shell, as a process.
TEST(EvmctlProcess, ExitStatusesReachTheShell) {
  TempDir dir;
  const struct {
    const char* args;
    int code;
    const char* out;  // start of standard output; nullptr: not checked
  } cases[] = {
      {"--version", 0, "evmctl " EVM_VERSION_STRING "\n"},
      {"--simulate write 5 A000", 0, "05h  wrote A000  read A000  match"},
      {"--simulate write 2 1234", 1, "02h  wrote 1234  read "},  // read-only: MISMATCH
      {"frobnicate", 2, nullptr},
      {"--vendor-id 0001 devices", 3, nullptr},
  };
  const std::string out = (dir.path() / "out").string();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.args);
    // Standard input empty: a prompt that waited for an answer ends the run.
    const std::string command = "'" EVMCTL_PATH "' --config-dir '" + dir.path().string() + "' " +
                                k.args + " >'" + out + "' 2>/dev/null </dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), k.code);
    if (k.out) {
      EXPECT_EQ(ReadWholeFile(out).value_or("").rfind(k.out, 0), 0u);
    }
  }
}

}  // namespace
}  // namespace evm::test
#endif
