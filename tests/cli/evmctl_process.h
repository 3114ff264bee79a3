#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/utf8_path.h"
#include "support/temp_dir.h"

namespace evm::test {

struct ProcessResult {
  int code = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs argv[0] with `argv` (UTF-8), standard input empty and standard output
// and error into the two files; the exit status or -1.
int RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& out,
               const std::filesystem::path& err);

// evmctl as the shell runs it: its own process, standard input empty, so a
// prompt that waited for an answer would end the run instead of hanging it.
// Every run gets --config-dir in `config`, so nothing reaches the user's
// folders.
inline ProcessResult RunEvmctlProcess(const std::filesystem::path& config,
                                      const std::vector<std::string>& args) {
  TempDir capture;
  const std::filesystem::path outFile = capture.path() / "out";
  const std::filesystem::path errFile = capture.path() / "err";
  std::vector<std::string> argv = {EVMCTL_PATH, "--config-dir", Utf8FromPath(config)};
  argv.insert(argv.end(), args.begin(), args.end());

  ProcessResult result;
  result.code = RunProgram(argv, outFile, errFile);
  result.out = ReadWholeFile(outFile).value_or("");
  result.err = ReadWholeFile(errFile).value_or("");
  return result;
}

}  // namespace evm::test
