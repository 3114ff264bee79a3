#ifndef _WIN32
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cmath>
#include <csignal>

#include "cli/cli_fixture.h"

namespace evm::test {
namespace {

// Each pass of the monitor gives what `read` gives on the same board, in the
// same units and scaling; the simulated device's conversions differ by a few
// counts of noise from read to read.
TEST_F(Evmctl, MonitorPassesMatchRead) {
  const ProcessResult read = Sim({"--json", "read"});
  ASSERT_EQ(read.code, 0) << read.err;
  const Json registers = Parsed(read)["registers"];
  const ProcessResult monitor = Sim({"monitor", "--passes", "3", "--json"});
  ASSERT_EQ(monitor.code, 0) << monitor.err;
  const std::vector<std::string> lines = Lines(monitor.out);
  ASSERT_EQ(lines.size(), 3u) << monitor.out;
  for (const std::string& line : lines) {
    const auto pass = JsonReader::Parse(line);
    ASSERT_TRUE(pass) << line;
    EXPECT_TRUE((*pass)["acknowledged"].boolean);
    EXPECT_EQ((*pass)["time"].text.size(), 23u) << line;
    struct Field {
      const char* key;
      size_t reg;
      double tolerance;
    };
    const double watts = registers[3]["scaled"].number;
    const double amperes = registers[4]["scaled"].number;
    for (const Field& f : {Field{"shunt_volts", 1, 4e-5}, Field{"bus_volts", 2, 0.008},
                           Field{"watts", 3, std::abs(watts) * 0.01},
                           Field{"amperes", 4, std::abs(amperes) * 0.01}}) {
      EXPECT_NEAR((*pass)[f.key].number, registers[f.reg]["scaled"].number, f.tolerance) << f.key;
    }
  }
  const ProcessResult text = Sim({"monitor", "--passes", "1"});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find(" V  shunt "), std::string::npos) << text.out;

  // No device at the address: every pass is said to be unanswered.
  const ProcessResult absent = Sim({"--address", "45", "monitor", "--passes", "2", "--json"});
  EXPECT_EQ(absent.code, 1);
  ASSERT_EQ(Lines(absent.out).size(), 2u) << absent.out;
  for (const std::string& line : Lines(absent.out)) {
    EXPECT_NE(line.find("\"acknowledged\":false"), std::string::npos) << line;
  }
}

#ifndef _WIN32
// Ctrl-C ends the monitor after the pass in progress, as a finished count.
TEST_F(Evmctl, MonitorEndsCleanlyOnInterrupt) {
  TempDir capture;
  const std::string outFile = (capture.path() / "out").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::execl(EVMCTL_PATH, EVMCTL_PATH, "--config-dir", dir.path().c_str(), "--simulate", "monitor",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  // Waits for the first pass on the file, not for a time.
  int status = 0;
  while (ReadWholeFile(outFile).value_or("").find('\n') == std::string::npos) {
    ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "ended before its first pass";
    ::sched_yield();
  }
  ::kill(pid, SIGINT);
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace evm::test
