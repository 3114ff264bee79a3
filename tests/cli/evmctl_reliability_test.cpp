// SPDX-License-Identifier: GPL-3.0-or-later
// What evmctl does when its files, its boards, its output or the user get in
// the way: a clear refusal in bounded time, and nothing the user kept lost.
#ifndef _WIN32
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "plot/measurement_series.h"

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

std::string ScriptOf(std::initializer_list<const char*> steps) {
  std::string text;
  for (const char* step : steps) text += "\"\",\"" + std::string(step) + "\",\"\",\"\"\r\n";
  return text;
}

class EvmctlReliability : public Evmctl {
 protected:
  CliResult RunOn(Clock& on, std::ostream& out, const std::vector<std::string>& args,
                  const std::atomic<bool>* stop = nullptr) {
    std::vector<std::string> all = {"--config-dir", Utf8FromPath(dir.path()), "--simulate"};
    all.insert(all.end(), args.begin(), args.end());
    std::ostringstream err;
    CliResult r;
    r.code = cli::RunEvmctl(all, cli::EvmctlIo{out, err, on, stop, false});
    r.err = err.str();
    return r;
  }
  std::string Put(const std::string& name, const std::string& content) {
    const std::string path = File(name);
    std::ofstream(PathFromUtf8(path), std::ios::binary) << content;
    return path;
  }
};

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
      {"script FIFO", {"script", fifo}, notRegular},
      {"save-regs FIFO", {"save-regs", fifo}, notRegular},
      {"log FIFO", {"log", fifo, "--passes", "1"}, notRegular},
      {"--results FIFO", {"script", script, "--results", fifo}, notRegular},
      {"device", {"load-regs", "/dev/zero"}, "'/dev/zero' is not a regular file"},
      {"huge register file", {"load-regs", huge}, "is too large for a register file"},
      {"read-only log", {"log", readOnly, "--passes", "1"}, "Permission denied"},
      {"read-only register file", {"save-regs", readOnly}, "Permission denied"},
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

// Ctrl-C at `stopAtMs` ends the wait in progress at once and keeps what was done.
TEST_F(EvmctlReliability, StopEndsEveryWaitAndKeepsTheWorkDone) {
  const std::string pause = Put("pause.txt", ScriptOf({"CMD MUX 05", "pause 3600", "CMD MUX 00"}));
  const std::string convert = Put("cnv.txt", ScriptOf({"read_cnv1"}));
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int64_t stopAtMs;
    int code;
    int64_t endsByMs;
  };
  const Case cases[] = {
      {"pause", {"script", pause, "--results", File("r.txt")}, 1000, 130, 1200},
      {"silent interface board",
       {"--sim-fault", "interface:no-reply", "script", convert},
       500,
       130,
       700},
      {"silent register link", {"--sim-fault", "reglink:no-reply", "read"}, 500, 130, 700},
      // Unstopped, the pass ends at its first time-out, not at one per register.
      {"silent register link", {"--sim-fault", "reglink:no-reply", "read"}, 1 << 30, 1, 1200},
      {"slow register link, in time",
       {"--sim-fault", "reglink:slow-reply:500", "read"},
       1 << 30,
       0,
       6 * (100 + 500)},
      {"slow register link, too late",
       {"--sim-fault", "reglink:slow-reply:1500", "read"},
       1 << 30,
       1,
       1200},
      // Six reports a pass, six before the first: the link falls silent in the second.
      {"register link silent mid-log",
       {"--sim-fault", "reglink:no-reply@12", "log", File("mid.csv"), "--passes", "5"},
       1 << 30,
       1,
       60000},
  };
  for (const Case& c : cases) {
    FakeClock virtualTime;
    std::atomic<bool> stop{false};
    AlarmClock alarm(virtualTime, stop, c.stopAtMs);
    std::ostringstream out;
    const CliResult r = RunOn(alarm, out, c.args, &stop);
    EXPECT_EQ(r.code, c.code) << c.name << ": " << r.err;
    EXPECT_LE(virtualTime.ElapsedMs(), c.endsByMs) << c.name;
  }
  EXPECT_TRUE(fs::exists(File("r.txt"))) << "the results of the rows run so far";
  const auto log = ReadWholeFile(File("mid.csv"));
  ASSERT_TRUE(log);
  MeasurementSeries passes;
  EXPECT_EQ(ReadLogText(*log, passes).records, 1) << *log;
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
  std::ostringstream out, err;
  const int code = cli::RunEvmctl({"--simulate", "--json", "read"},
                                  cli::EvmctlIo{out, err, clock, nullptr, false});
  savedHome ? ::setenv("HOME", oldHome.c_str(), 1) : ::unsetenv("HOME");
  if (savedXdg) ::setenv("XDG_CONFIG_HOME", oldXdg.c_str(), 1);
  EXPECT_EQ(code, 2);
  EXPECT_NE(err.str().find("evmctl read: the state folder '" + (home / ".config").string()),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("can be written by other users"), std::string::npos) << err.str();
  EXPECT_EQ(Json::parse(out.str())["exit"], 2) << out.str();
  EXPECT_FALSE(fs::exists(home / ".config" / "zm5520-evm" / "EVM_Board_Selection.csv"));
}

TEST_F(EvmctlReliability, OutputThatCannotBeWrittenIsAFailure) {
  const std::string script = Put("s.txt", ScriptOf({"CMD MUX 05"}));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"read"},
                                               {"encode", "CMD MUX 05"},
                                               {"--json", "script", script},
                                               {"monitor", "--passes", "3"}}) {
    std::ostringstream full;
    full.setstate(std::ios::badbit);
    const CliResult r = RunOn(clock, full, args);
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

}  // namespace
}  // namespace evm::test
#endif
