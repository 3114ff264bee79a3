// SPDX-License-Identifier: GPL-3.0-or-later
#include "api/run_statistics.h"

namespace evm {

namespace {

QuantityStatistics QuantityOf(const QuantityStats& s) {
  if (s.Empty()) return {};
  return {static_cast<long>(s.count), s.min, s.mean, s.max, s.PeakToPeak(), s.Std()};
}

}  // namespace

RunStatistics RunStatisticsOf(const Statistics& s) {
  RunStatistics r;
  r.samples = static_cast<long>(s.Samples());
  r.seconds = s.Seconds();
  r.lost = static_cast<long>(s.Lost());
  r.firstTimeSeconds = s.Empty() ? 0 : s.FirstTime();
  r.busVolts = QuantityOf(s.Of(StatQuantity::BusVolts));
  r.shuntVolts = QuantityOf(s.Of(StatQuantity::ShuntVolts));
  r.amps = QuantityOf(s.Of(StatQuantity::Amps));
  r.watts = QuantityOf(s.Of(StatQuantity::Watts));
  r.chargeAmpSeconds = s.ChargeAmpSeconds();
  r.chargeMah = s.ChargeMah();
  r.energyJoules = s.EnergyJoules();
  r.energyWh = s.EnergyWh();
  return r;
}

}  // namespace evm
