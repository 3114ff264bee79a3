// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/config_controls.h"

#include <gtest/gtest.h>

#include "registers/register_display.h"
#include "registers/register_fixture.h"
#include "registers/register_map.h"

namespace evm {
namespace {

using test::RegContext;

TEST(ConfigControls, ResolutionCodesRoundTripAndAliasesShowAsTheirTwins) {
  for (int p = 0; p < 12; ++p) EXPECT_EQ(ResolutionPosition(ResolutionCode(p)), p) << p;
  for (int code = 4; code <= 7; ++code) EXPECT_EQ(ResolutionPosition(code), code - 4) << code;
}

TEST(ConfigControls, RegisterToListsInBothLocales) {
  for (const NumberLocale locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    RegContext c(locale);
    ReadAllRegs(c.evm, c.panels);
    const RegisterPanel& p = c.Panel();
    EXPECT_EQ(std::vector<int>({p.cmbShuntGain, p.cmbBusGain, p.cmbShuntResolution,
                                p.cmbBusResolution, p.cmbCnvMode}),
              std::vector<int>({3, 1, 3, 3, 7}));
    EXPECT_EQ(c.panels.calibration.txtMaxShunt, std::string("0") + locale.decimalSeparator + "32");
  }
}

TEST(ConfigControls, ListChangesRebuildRegister00hAndMarkIt) {
  struct Case {
    const char* name;
    int32_t start;
    ConfigList list;
    int position;
    int32_t result;
  };
  const Case cases[] = {
      {"128 averages on the shunt", 0x399F, ConfigList::ShuntResolution, 11, 0x39FF},
      {"power down", 0x39FF, ConfigList::CnvMode, 0, 0x39F8},
      {"16 V bus", 0x399F, ConfigList::BusGain, 0, 0x199F},
      {"div 1", 0x399F, ConfigList::ShuntGain, 0, 0x219F},
      {"second 532uS is code 1000", 0x399F, ConfigList::BusResolution, 4, 0x3C1F},
      {"9-bit bus", 0x399F, ConfigList::BusResolution, 0, 0x381F},
      {"reset bit and bit 14 survive", 0xC000, ConfigList::CnvMode, 5, 0xC005},
      {"alias code 0101 written back as 0001", 0x002F, ConfigList::CnvMode, 6, 0x000E},
      {"alias bus code 0110 written back as 0010", 0x0300, ConfigList::CnvMode, 0, 0x0100},
      {"unchanged choice marks nothing", 0x399F, ConfigList::CnvMode, 7, 0x399F},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    RegContext c;
    c.Store().RegValue[0] = k.start;
    RefreshRegDisplay(c.evm, c.panels);
    c.Store().RegEdited[0] = false;
    RefreshRegDisplay(c.evm, c.panels);
    ASSERT_EQ(c.Store().RegValue[0], k.start) << "showing an alias code changes nothing";
    ConfigListChosen(c.evm, c.panels, k.list, k.position);
    EXPECT_EQ(c.Store().RegValue[0], k.result);
    EXPECT_EQ(c.Store().RegEdited[0], k.start != k.result);
    EXPECT_EQ(c.Cell(1, 2), "0x" + FormatRegText(k.result, kFormHex, false));
  }
  RegContext refreshing;
  refreshing.Store().ControlsUpdating = true;
  ConfigListChosen(refreshing.evm, refreshing.panels, ConfigList::CnvMode, 5);
  EXPECT_EQ(refreshing.Store().RegValue[0], 0);
  EXPECT_FALSE(refreshing.Store().RegEdited[0]);
}

TEST(ConfigControls, AddressPinsGiveTheDeviceAddress) {
  struct Case {
    int a0, a1;
    int address;
    const char* text;
  };
  const Case cases[] = {
      {0, 0, 0x40, "40"}, {2, 1, 0x46, "46"},  {3, 3, 0x4F, "4F"},
      {1, 2, 0x49, "49"}, {0, -1, 0x3C, "3C"},
  };
  for (const Case& k : cases) {
    RegContext c;
    c.Panel().cmbA1 = k.a1;
    ConfigListChosen(c.evm, c.panels, ConfigList::A0, k.a0);
    EXPECT_EQ(c.Store().DeviceAddress, k.address) << k.a0 << "," << k.a1;
    EXPECT_EQ(c.Panel().txtAddress, k.text);
    EXPECT_EQ(c.Store().RegValue[0], 0) << "the address lists leave 00h alone";
  }

  RegContext c;
  c.Device().address = 0x4F;
  ConfigListChosen(c.evm, c.panels, ConfigList::A0, 3);
  ConfigListChosen(c.evm, c.panels, ConfigList::A1, 3);
  ReadAllRegs(c.evm, c.panels);
  EXPECT_FALSE(c.Panel().txtDutNotAckVisible);
  EXPECT_EQ(c.Store().RegValue[0], 0x399F) << "reads go to the chosen address";
}

}  // namespace
}  // namespace evm
