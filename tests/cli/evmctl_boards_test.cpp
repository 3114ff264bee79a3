// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_fixture.h"
#include "common/atomic_file.h"

namespace evm::test {
namespace {

// The bus voltage register: the simulated chips sit on different buses.
double BusVolts(const Json& read) {
  return read["registers"][2]["scaled"].get<double>();
}

TEST_F(Evmctl, ReglinkOptionReadsTheNamedBoardAndAnAbsentOneIsNoBoard) {
  const CliResult first = Sim({"--sim-boards", "2", "--json", "read"});
  const CliResult second = Sim({"--sim-boards", "2", "--reglink", "RL0002", "--json", "read"});
  ASSERT_EQ(first.code, 0) << first.err;
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_NEAR(BusVolts(Parsed(first)), 12.0, 0.1);
  EXPECT_NEAR(BusVolts(Parsed(second)), 6.0, 0.1);

  const CliResult absent = Sim({"--sim-boards", "2", "--reglink", "RL0009", "read"});
  EXPECT_EQ(absent.code, 3);
  EXPECT_EQ(absent.out, "");
  EXPECT_NE(absent.err.find("RL0009"), std::string::npos) << absent.err;
}

TEST_F(Evmctl, DevicesJsonListsEveryBoardAndMarksTheStoredSelection) {
  ASSERT_TRUE(WriteFileAtomically(dir.path() / "EVM_Board_Selection.csv",
                                  "\"RegLink\",\"RL0002\"\r\n\"Interface\",\"\"\r\n"));
  const CliResult r = Sim({"--sim-boards", "2", "--json", "devices"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json doc = Parsed(r);
  ASSERT_EQ(doc.size(), 4u) << r.out;
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(doc[i]["selected"].get<bool>(), i == 2) << i;
  EXPECT_EQ(doc[2]["kind"], "reglink");
  EXPECT_EQ(doc[2]["serial"], "RL0002");
  EXPECT_TRUE(doc[2]["openable"].get<bool>());
  const CliResult text = Sim({"--sim-boards", "2", "devices"});
  const auto lines = Lines(text.out);
  ASSERT_EQ(lines.size(), 4u) << text.out;
  EXPECT_NE(lines[2].find("serial RL0002"), std::string::npos) << lines[2];
  EXPECT_NE(lines[2].find("(selected)"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[0].find("(selected)"), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace evm::test
