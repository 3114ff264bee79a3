// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "hid/board_discovery.h"
#include "shell/board_selection_file.h"
#include "support/sim_fixture.h"

namespace evm::test {
namespace {

// Two register links and two interface boards: RL0001, IB0001, RL0002, IB0002.
struct TwoBoardBench : SimContext {
  TwoBoardBench() : SimContext(NumberLocale::Point(), {.simulate = true, .simulatedBoards = 2}) {
    evm.shell().UsbAddress = sim->Interface()->ProductId();
    evm.usbDebug().UsbDebugLevel = DebugTrace::Hid;
  }
  sim::SimDevice& Board(size_t i) { return *sim->Boards()[i]; }
  sim::RegLinkBoard& Link(size_t i) { return dynamic_cast<sim::RegLinkBoard&>(Board(i)); }
};

TEST(BoardSelection, EachConnectionTakesTheChosenBoardOrTheFirstThatOpens) {
  struct Case {
    const char* name;
    std::string selector;  // "#3" names board 3 by its path
    int refused;           // a board that may not be opened, or -1
    bool required;
    int linkTaken, interfaceTaken;  // -1: no connection
    const char* whyLink;
    const char* whyInterface;
  };
  const Case cases[] = {
      {"no selection", "", -1, false, 0, 1, "", ""},
      {"by serial", "2", -1, false, 2, 3, "the selected board", "the selected board"},
      {"by path", "#", -1, false, 2, 3, "the selected board", "the selected board"},
      {"absent", "9", -1, false, 0, 1, "is absent: taking the first match, RL0001",
       "is absent: taking the first match, IB0001"},
      {"absent, required", "9", -1, true, -1, -1, "is absent", "is absent"},
      {"unopenable selected", "2", 2, false, 0, 3, "cannot be opened (Access is denied.)",
       "the selected board"},
      {"first unopenable", "", 0, false, 2, 1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TwoBoardBench bench;
    if (c.refused >= 0) bench.Board(static_cast<size_t>(c.refused)).openRefused = true;
    const auto pick = [&](const char* prefix, size_t second) {
      if (c.selector == "#") return bench.Board(second).path;
      return c.selector.empty() ? c.selector : prefix + std::string("000") + c.selector;
    };
    bench.evm.regLink().SelectedBoard = pick("RL", 2);
    bench.evm.regLink().SelectionRequired = c.required;
    bench.evm.dutWriter().SelectedBoard = pick("IB", 3);
    bench.evm.dutWriter().SelectionRequired = c.required;

    const bool linked = bench.evm.regLink().OpenRegLink();
    const bool found = bench.evm.dutWriter().FindMnemonicBoard();
    EXPECT_EQ(linked, c.linkTaken >= 0);
    EXPECT_EQ(found, c.interfaceTaken >= 0);
    if (linked) {
      EXPECT_EQ(bench.evm.regLink().DevicePath(), bench.Board(c.linkTaken).path);
    }
    if (found) {
      EXPECT_EQ(bench.evm.dutWriter().DevicePath, bench.Board(c.interfaceTaken).path);
    }
    EXPECT_NE(bench.evm.regLink().ChoiceNote.find(c.whyLink), std::string::npos)
        << bench.evm.regLink().ChoiceNote;
    EXPECT_NE(bench.evm.usbDebug().Text().find(c.whyInterface), std::string::npos)
        << bench.evm.usbDebug().Text();
  }
}

TEST(BoardSelection, DiscoveryListsEveryBoardAndWritesThroughOneLeaveTheOthersChipAlone) {
  TwoBoardBench bench;
  bench.Board(2).openRefused = true;
  const auto boards = DiscoverBoards(*bench.sim, kDefaultBoardVendorId);
  ASSERT_EQ(boards.size(), 4u);
  for (size_t i = 0; i < boards.size(); ++i) EXPECT_EQ(boards[i].openable, i != 2);
  EXPECT_EQ(boards[2].kind, BoardKind::RegLink);
  EXPECT_EQ(boards[3].serial, "IB0002");
  // Its ids come from the listing, as the user may not open it.
  EXPECT_EQ(boards[2].productId, kRegLinkProductId);
  EXPECT_EQ(boards[2].reason, "Access is denied.");
  EXPECT_EQ(bench.sim->OpenHandleCount(), 0);

  TwoBoardBench two;
  const uint16_t untouched = two.Link(0).Device().Register(5);
  ApplyBoardSelection(two.evm, {"RL0002", ""});
  ASSERT_TRUE(two.evm.regLink().WriteRegWord(0x40, 5, 0x12, 0x34));
  EXPECT_EQ(two.Link(2).Device().Register(5), 0x1234);
  EXPECT_EQ(two.Link(0).Device().Register(5), untouched);
  // A new choice lets go of the board in use; the next transfer takes the other.
  ApplyBoardSelection(two.evm, {"RL0001", ""});
  EXPECT_FALSE(two.evm.regLink().LinkOpen());
  ASSERT_TRUE(two.evm.regLink().WriteRegWord(0x40, 5, 0x00, 0x07));
  EXPECT_EQ(two.Link(0).Device().Register(5), 7);
  EXPECT_EQ(two.Link(2).Device().Register(5), 0x1234);
}

TEST(BoardSelectionFile, RoundTripsAndADamagedFileIsIgnoredAndKept) {
  TwoBoardBench bench;
  const auto file = bench.evm.StateFile(kBoardSelectionFileName);
  const BoardSelection chosen{"RL0002", "sim:hid#3,with a comma"};
  ASSERT_TRUE(WriteBoardSelectionFile(file, chosen));
  EXPECT_EQ(ReadBoardSelectionFile(file), chosen);
  EXPECT_EQ(LoadBoardSelection(bench.evm), "");
  EXPECT_EQ(bench.evm.regLink().SelectedBoard, "RL0002");

  for (const std::string damaged : {"\"RegLink\",\"RL0002\"\r\n", "12\r\n34\r\n",
                                    "\"Interface\",\"a\"\r\n\"RegLink\",\"b\"\r\n"}) {
    TwoBoardBench fresh;
    const auto path = fresh.evm.StateFile(kBoardSelectionFileName);
    ASSERT_TRUE(WriteFileAtomically(path, damaged));
    EXPECT_NE(LoadBoardSelection(fresh.evm).find("EVM_Board_Selection.csv ignored"),
              std::string::npos);
    EXPECT_EQ(fresh.evm.regLink().SelectedBoard, "");
    EXPECT_EQ(ReadWholeFile(path), damaged);
  }
}

}  // namespace
}  // namespace evm::test
