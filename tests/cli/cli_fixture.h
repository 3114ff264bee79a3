// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/evmctl.h"
#include "common/clock.h"
#include "common/utf8_path.h"
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

// evmctl run in this process with exactly `args`, on `on`; `out`, when
// given, takes standard output in place of the result's text.
inline CliResult RunEvmctlWith(const std::vector<std::string>& args, Clock& on,
                               const std::atomic<bool>* stop = nullptr, bool terminal = false,
                               std::ostream* out = nullptr) {
  std::ostringstream text, err;
  CliResult r;
  r.code = cli::RunEvmctl(args, cli::EvmctlIo{out ? *out : text, err, on, stop, terminal});
  r.out = text.str();
  r.err = err.str();
  return r;
}

// evmctl run in this process on virtual time, with a fresh config folder per
// test that every run gets as --config-dir.
class Evmctl : public ::testing::Test {
 protected:
  CliResult Run(const std::vector<std::string>& args) { return RunEvmctlWith(Args(args), clock); }
  CliResult Sim(std::vector<std::string> args) {
    args.insert(args.begin(), "--simulate");
    return Run(args);
  }
  std::vector<std::string> Args(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--config-dir", Utf8FromPath(dir.path())};
    all.insert(all.end(), args.begin(), args.end());
    return all;
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
  // A file of the config folder holding `content`; its name as evmctl takes it.
  std::string Put(const std::string& name, const std::string& content) {
    std::string path = File(name);
    std::ofstream(PathFromUtf8(path), std::ios::binary) << content;
    return path;
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
  void SleepUs(int64_t us) override {
    inner_.SleepUs(us);
    if (inner_.ElapsedMs() >= stopAtMs_) stop_ = true;
  }
  double SecondsSinceMidnight() override { return inner_.SecondsSinceMidnight(); }
  DateTime Now() override { return inner_.Now(); }
  bool Virtual() override { return true; }

 private:
  FakeClock& inner_;
  std::atomic<bool>& stop_;
  int64_t stopAtMs_;
};

inline std::string ScriptOf(std::initializer_list<const char*> steps) {
  std::string text;
  for (const char* step : steps) text += "\"\",\"" + std::string(step) + "\",\"\",\"\"\r\n";
  return text;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A report as evmctl prints it: `bytes`, zeros, and the sequence number in
// byte 31.
inline std::string ReportHex(std::string bytes, int sequence) {
  while (bytes.size() < 31 * 3 - 1) bytes += " 00";
  char last[4];
  std::snprintf(last, sizeof last, " %02X", sequence);
  return bytes + last;
}

}  // namespace evm::test
