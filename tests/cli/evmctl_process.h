#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "support/temp_dir.h"

namespace evm::test {

struct ProcessResult {
  int code = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// evmctl as the shell runs it: its own process, standard input empty, so a
// prompt that waited for an answer would end the run instead of hanging it.
// Every run gets --config-dir in `config`, so nothing reaches the user's
// folders.
inline ProcessResult RunEvmctlProcess(const std::filesystem::path& config,
                                      const std::vector<std::string>& args) {
  TempDir capture;
  const std::string outFile = (capture.path() / "out").string();
  const std::string errFile = (capture.path() / "err").string();
  std::vector<std::string> argv = {EVMCTL_PATH, "--config-dir", config.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  ProcessResult result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(cargv[0], cargv.data());
    ::_exit(127);
  }
  if (pid < 0) return result;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.code = WEXITSTATUS(status);
  result.out = ReadWholeFile(outFile).value_or("");
  result.err = ReadWholeFile(errFile).value_or("");
  return result;
}

}  // namespace evm::test
