// SPDX-License-Identifier: GPL-3.0-or-later
// The interface-board commands of evmctl, send and script, run as processes.
#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "common/write_records.h"

namespace evm::test {
namespace {

const char* kReadCnv1 = "I2C CH2 S 91 ACKS R ACKM R ACKM P";

TEST_F(Evmctl, SendPrintsReportsReadsAndAcknowledges) {
  const CliResult r = Sim({"send", "CMD MUX 05", kReadCnv1});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 10u) << r.out;
  EXPECT_EQ(lines[0], "> CMD MUX 05");
  EXPECT_EQ(lines[1], "  command  " + ReportText("CMD MUX 05", 1));
  EXPECT_EQ(lines[6], "  command  " + ReportText(kReadCnv1, 2)) << "sequence numbers go on";
  EXPECT_EQ(lines[9], "  acks     00");

  const Json read = Parsed(Sim({"--json", "send", "CMD MUX 05", kReadCnv1}))["commands"][1];
  EXPECT_EQ(read["text"].get<std::string>(), kReadCnv1);
  EXPECT_EQ(read["reads"].size(), 2u);
  EXPECT_TRUE(read["acknowledged"].get<bool>());
  const CliResult nak = Sim({"--json", "send", "I2C CH2 S 92 ACKS R ACKM P"});
  EXPECT_EQ(nak.code, 1);
  EXPECT_FALSE(Parsed(nak)["commands"][0]["acknowledged"].get<bool>());
}

TEST_F(Evmctl, ExampleScriptPasses) {
  const CliResult r = Sim({"script", (kExamples / "dac_to_converters.txt").string()});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  const auto lines = Lines(r.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("PASS: ", 0), 0u) << lines.back();
  EXPECT_EQ(r.out.find("FAIL"), std::string::npos) << r.out;
}

// The results file is the script window's (the stored golden file), and the
// JSON rows agree with it.
TEST_F(Evmctl, ScriptWithFailsWritesTheWindowsResults) {
  const std::string results = File("results.txt");
  const CliResult r =
      Sim({"--json", "script", (kScripts / "dac_to_cnv1.txt").string(), "--results", results});
  EXPECT_EQ(r.code, 1);
  const auto written = ReadWholeFile(results);
  const auto expected = ReadWholeFile(kScripts / "dac_to_cnv1.expected.txt");
  ASSERT_TRUE(written);
  ASSERT_TRUE(expected);
  EXPECT_EQ(*written, *expected);

  const Json doc = Parsed(r);
  EXPECT_EQ(doc["verdict"].get<std::string>(), "FAIL");
  const auto& rows = doc["rows"];
  const auto lines = Lines(*expected);
  ASSERT_EQ(rows.size(), lines.size());
  int fails = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto fields = ReadRecordFields(lines[i]);
    ASSERT_EQ(fields.size(), 6u) << lines[i];
    EXPECT_EQ(rows[i]["step"].get<std::string>(), fields[1].text);
    EXPECT_EQ(rows[i]["result"].get<std::string>(), fields[4].text);
    EXPECT_EQ(rows[i]["verdict"].is_null() ? "" : rows[i]["verdict"].get<std::string>(),
              fields[5].text);
    fails += fields[5].text == "FAIL";
  }
  EXPECT_EQ(doc["fail"].get<double>(), fails);

  const CliResult text = Sim({"script", (kScripts / "dac_to_cnv1.txt").string()});
  EXPECT_EQ(text.code, 1);
  EXPECT_EQ(Lines(text.out).back(),
            "FAIL: " + std::to_string(static_cast<int>(doc["pass"].get<double>())) + " passed, " +
                std::to_string(fails) + " failed");
}

TEST_F(Evmctl, BreakStepsAreReportedAndSkipped) {
  const std::string script = File("with_break.txt");
  ASSERT_TRUE(WriteFileAtomically(script,
                                  "\"route\",\"CMD MUX 05\",\"\",\"\"\r\n"
                                  "\"wait for the user\",\"break\",\"\",\"\"\r\n"
                                  "\"set\",\"write_dac_b 2.5\",\"\",\"\"\r\n"
                                  "\"check\",\"read_cnv1\",\"2.49\",\"2.51\"\r\n"));
  const CliResult r = Sim({"--json", "script", script});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("row 2: break skipped"), std::string::npos) << r.err;
  const Json doc = Parsed(r);
  ASSERT_EQ(doc["rows"].size(), 4u);
  EXPECT_TRUE(doc["rows"][1]["skipped"].get<bool>());
  EXPECT_FALSE(doc["rows"][2]["skipped"].get<bool>());
  EXPECT_EQ(doc["rows"][3]["verdict"].get<std::string>(), "PASS")
      << "the run went on after the break";
  EXPECT_EQ(doc["verdict"].get<std::string>(), "PASS");
}

}  // namespace
}  // namespace evm::test
