#include <QAction>
#include <QCheckBox>
#include <QLineSeries>
#include <algorithm>

#include "calibration/continuous_read.h"
#include "common/atomic_file.h"
#include "gui/main_window_fixture.h"
#include "gui/plot/frm_measurement_plot.h"

namespace evm::gui {
namespace {

struct PlotFixture : test_support::MainWindowFixture {
  frmMeasurementPlot* Plot() {
    w.mnuMeasurementPlot->trigger();
    return w.measurementPlot;
  }
  size_t RegisterReads() {
    size_t reads = 0;
    for (const auto& r : c.sim->RegLink()->Requests()) reads += r.size() >= 3 && r[0] == 0x15;
    return reads;
  }
  // Continuous reading from the registers tab's button for `passes` passes.
  void Read(int passes) {
    int seen = 0;
    const int id = c.evm.measurement.AddPassListener([&](const MeasurementPass&) {
      if (++seen == passes) cmdStopContinuousRead_Click(c.evm);
    });
    Button("cmdStartContinuousRead", "tabRegisters")->click();
    c.evm.measurement.RemovePassListener(id);
  }
};

TEST(MeasurementPlot, FollowsTheReadingPausesAndExports) {
  PlotFixture f;
  frmMeasurementPlot* plot = f.Plot();
  ASSERT_NE(plot, nullptr);
  EXPECT_EQ(f.Plot(), plot) << "one window per program";
  const size_t before = f.RegisterReads();
  f.Read(5);
  EXPECT_EQ(plot->Series().Size(), 5u);
  EXPECT_EQ(plot->lines[0]->count(), 5);
  EXPECT_EQ(f.RegisterReads() - before, 5u * 6) << "the plot reads nothing itself";

  plot->chkPause->setChecked(true);
  const QList<QPointF> held = plot->lines[2]->points();
  f.Read(3);
  EXPECT_EQ(plot->Series().Size(), 8u) << "passes keep coming in";
  EXPECT_EQ(plot->lines[2]->points(), held);
  EXPECT_EQ(plot->Visible().Count(), 5u);
  plot->chkPause->setChecked(false);
  EXPECT_EQ(plot->lines[2]->count(), 8);

  const std::string csv = (f.c.dir.path() / "plot.csv").string();
  ASSERT_TRUE(plot->ExportCsv(csv));
  const std::string text = ReadWholeFile(csv).value_or("");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 8) << "the header and every pass";
}

}  // namespace
}  // namespace evm::gui
