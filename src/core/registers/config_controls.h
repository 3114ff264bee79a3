// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace evm {

class Evm;
struct MainPanels;

// Items of the choice lists, in list order.
inline constexpr std::array<const char*, 4> kShuntGainItems = {
    "div 1 (40mV max)", "div 2 (80mV max)", "div 4 (160mV max)", "div 8 (320mV max)"};
inline constexpr std::array<const char*, 2> kBusGainItems = {"16V FSR", "32V FSR"};
inline constexpr std::array<const char*, 12> kResolutionItems = {
    "9-bit,  1 avg, 84uS",     "10-bit, 1 avg, 148uS",    "11-bit, 1 avg, 276uS",
    "12-bit, 1 avg, 532uS",    "12-bit, 1 avg, 532uS",    "12-bit, 2 avg, 1.06mS",
    "12-bit, 4 avg, 2.13mS",   "12-bit, 8 avg, 4.26mS",   "12-bit, 16 avg, 8.51mS",
    "12-bit, 32 avg, 17.02mS", "12-bit, 64 avg, 34.05mS", "12-bit, 128 avg, 68.10mS"};
inline constexpr std::array<const char*, 8> kCnvModeItems = {"Power Down",
                                                             "Shunt Voltage, Triggered",
                                                             "Bus Voltage, Triggered",
                                                             "Shunt & Bus Voltage, Triggered",
                                                             "ADC off (Disable)",
                                                             "Shunt Voltage, Continuous",
                                                             "Bus Voltage, Continuous",
                                                             "Shunt & Bus Voltage, Continuous"};
inline constexpr std::array<const char*, 4> kAddressPinItems = {"GND", "VS+", "SDA", "SCL"};

// The lists whose change rebuilds register 00h and the device address.
enum class ConfigList { ShuntGain, BusGain, ShuntResolution, BusResolution, CnvMode, A0, A1 };

// Resolution/averaging field code for a list position and back. Codes 0100
// to 0111 repeat 0000 to 0011 in the device, so they show as those.
int ResolutionCode(int position);
int ResolutionPosition(int code);

// List positions to the device address, txtAddress and register 00h, then the
// display refresh.
void ConfigFromControls(Evm& evm, MainPanels& panels);

// Register 00h to the lists, the range values and their boxes.
void ControlsFromConfig(Evm& evm, MainPanels& panels);

// The user picked an item: the list's click handler.
void ConfigListChosen(Evm& evm, MainPanels& panels, ConfigList list, int position);

}  // namespace evm
