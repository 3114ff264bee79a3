#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/evmctl_process.h"
#include "cli/json_reader.h"
#include "support/temp_dir.h"

namespace evm::test {

inline const std::filesystem::path kExamples = EVM_EXAMPLES_DIR;
inline const std::filesystem::path kScripts = std::filesystem::path(EVM_TEST_DATA_DIR) / "script";

// A fresh config folder per test; Run passes it to every evmctl run.
class Evmctl : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args) { return RunEvmctl(dir.path(), args); }
  ProcessResult Sim(std::vector<std::string> args) {
    args.insert(args.begin(), "--simulate");
    return Run(args);
  }
  // The output of a --json run, which must parse.
  Json Parsed(const ProcessResult& r) {
    const auto json = JsonReader::Parse(r.out);
    EXPECT_TRUE(json) << "not JSON: " << r.out;
    return json.value_or(Json{});
  }
  std::string File(const std::string& name) {
    return Utf8FromPath(dir.path() / PathFromUtf8(name));
  }

  TempDir dir;
};

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

}  // namespace evm::test
