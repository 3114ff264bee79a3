// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/evmctl.h"
#include "common/clock.h"
#include "common/utf8_path.h"
#include "mnemonic/mnemonic_language.h"
#include "support/temp_dir.h"

namespace evm::test {

inline const std::filesystem::path kExamples = EVM_EXAMPLES_DIR;
inline const std::filesystem::path kTestData = EVM_TEST_DATA_DIR;
inline const std::filesystem::path kScripts = kTestData / "script";

using Json = nlohmann::json;

struct CliResult {
  int code = -1;
  std::string out;
  std::string err;
};

// evmctl run in this process on virtual time, with a fresh config folder per
// test that every run gets as --config-dir.
class Evmctl : public ::testing::Test {
 protected:
  CliResult Run(const std::vector<std::string>& args, const std::atomic<bool>* stop = nullptr) {
    std::vector<std::string> all = {"--config-dir", Utf8FromPath(dir.path())};
    all.insert(all.end(), args.begin(), args.end());
    std::ostringstream out, err;
    CliResult r;
    r.code = cli::RunEvmctl(all, cli::EvmctlIo{out, err, clock, stop, false});
    r.out = out.str();
    r.err = err.str();
    return r;
  }
  CliResult Sim(std::vector<std::string> args) {
    args.insert(args.begin(), "--simulate");
    return Run(args);
  }
  // The output of a --json run, which must parse.
  Json Parsed(const CliResult& r) {
    const Json json = Json::parse(r.out, nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << "not JSON: " << r.out;
    return json.is_discarded() ? Json{} : json;
  }
  std::string File(const std::string& name) {
    return Utf8FromPath(dir.path() / PathFromUtf8(name));
  }

  TempDir dir;
  FakeClock clock;
};

// Virtual time that raises the stop flag, as Ctrl-C would, at `stopAtMs`.
class AlarmClock final : public Clock {
 public:
  AlarmClock(FakeClock& inner, std::atomic<bool>& stop, int64_t stopAtMs)
      : inner_(inner), stop_(stop), stopAtMs_(stopAtMs) {}
  void SleepMs(int64_t ms) override {
    inner_.SleepMs(ms);
    if (inner_.ElapsedMs() >= stopAtMs_) stop_ = true;
  }
  double SecondsSinceMidnight() override { return inner_.SecondsSinceMidnight(); }
  DateTime Now() override { return inner_.Now(); }

 private:
  FakeClock& inner_;
  std::atomic<bool>& stop_;
  int64_t stopAtMs_;
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

// The report core builds for `text`, as evmctl prints it.
inline std::string ReportText(const std::string& text, uint8_t sequence) {
  ParsedMnemonic parsed;
  ParseMnemonicText(text, sequence, parsed);
  std::string hex;
  for (size_t i = 0; i < 32; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X", parsed.report[i]);
    hex += (i ? " " : "") + std::string(b);
  }
  return hex;
}

}  // namespace evm::test
