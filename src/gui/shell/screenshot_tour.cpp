// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/screenshot_tour.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "acquisition/continuous_read.h"
#include "common/atomic_file.h"
#include "common/clock.h"
#include "devices/evm_session.h"
#include "evm.h"
#include "gui/calibration/calibration_views.h"
#include "gui/plot/frm_measurement_plot.h"
#include "gui/registers/frm_help_with_reg.h"
#include "gui/registers/register_views.h"
#include "gui/script/frm_script.h"
#include "gui/script/frm_usb_template.h"
#include "gui/script/open_launcher.h"
#include "gui/shell/click_box.h"
#include "gui/shell/form_main.h"
#include "gui/shell/frm_check_software_rev.h"
#include "gui/shell/frm_choose_boards.h"
#include "gui/shell/frm_set_usb_address.h"
#include "gui/shell/frm_usb_com_prob.h"
#include "gui/testboard/frm_c_m_bits.h"
#include "gui/testboard/frm_debug_usb.h"
#include "gui/testboard/frm_eval_control.h"
#include "gui/testboard/frm_usb_dut_writer.h"
#include "script/evm_script_board.h"
#include "shell/settings_file.h"

namespace evm::gui {

namespace {

// The script the tour loads and runs: the test board's DAC checked through
// the converter, as an engineer's first script would.
constexpr const char* kTourScriptName = "dac_check.txt";
constexpr const char* kTourScript =
    "\"supply of the DUT on\",\"CMD ON\",\"\",\"\"\r\n"
    "\"mux: DAC B to CNV1\",\"CMD MUX 05\",\"\",\"\"\r\n"
    "\"DAC B to 2.5 V\",\"write_dac_b 2.5\",\"\",\"\"\r\n"
    "\"let it settle\",\"pause 0.2\",\"\",\"\"\r\n"
    "\"CNV1 sees DAC B\",\"read_cnv1\",\"2.49\",\"2.51\"\r\n"
    "\"DAC B to 1.2 V\",\"write_dac_b 1.2\",\"\",\"\"\r\n"
    "\"CNV1 follows\",\"read_cnv1\",\"1.19\",\"1.21\"\r\n"
    "\"converter bytes\",\"I2C CH2 S 91 ACKS R ACKM R ACKM P\",\"\",\"\"\r\n"
    "\"whole word\",\"result16\",\"1E00\",\"1F00\"\r\n"
    "\"supply off\",\"CMD OFF\",\"\",\"\"\r\n";

// Answers without waiting for anyone: what a dialog would have shown is kept
// for the report, and the file dialog hands over the file the tour chose.
class TourUserInterface final : public UserInterface {
 public:
  void MessageBox(const std::string& text, const std::string& title) override {
    Note(title + ": " + text);
  }
  UsbProblemChoice UsbProblemDialog() override {
    Note("USB Communication Problem");
    return UsbProblemChoice::RunWithoutUsb;
  }
  void ShowReminder() override { Note("Reminder!"); }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string&) override {
    Note(title + ": " + prompt);
    return std::nullopt;
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override {
    if (nextOpenFile) return std::exchange(nextOpenFile, std::nullopt);
    Note(request.title);
    return std::nullopt;
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override {
    Note(request.title);
    return std::nullopt;
  }
  void Beep() override {}
  void ProcessEvents() override { QApplication::processEvents(); }

  std::vector<std::string> shown;
  std::optional<std::string> nextOpenFile;

 private:
  void Note(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
      text.replace(at, 2, " / ");
    }
    shown.push_back(std::move(text));
  }
};

// A picture of one colour is a window that drew nothing.
bool OneColour(const QImage& image) {
  const QRgb first = image.pixel(0, 0);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != first) return false;
    }
  }
  return true;
}

// Lets the window system catch up: shows, layouts, the first activation.
// Ten seconds of the fastest capture fill the plot's shortest span; the
// turns bound the wait should the capture stall.
constexpr long kTourFastSamples = 2500;
constexpr long kTourFastTurns = 50'000'000;

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A left click where a user would put it, for the controls that act on the
// mouse rather than on a clicked() of their own.
void ClickWithMouse(QWidget* widget, std::optional<QPoint> where = std::nullopt) {
  const QPointF at = where ? QPointF(*where) : QRectF(widget->rect()).center();
  const QPointF global = widget->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

// Replaces the box's text key by key, so the box's own edit signals run.
void TypeInto(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  for (const QChar c : text) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(box, &key);
  }
}

void ClickCell(QTableWidget* table, int row, int column) {
  const QRect cell = table->visualItemRect(table->item(row, column));
  ClickWithMouse(table->viewport(), cell.center());
}

class Photographer {
 public:
  Photographer(const std::filesystem::path& folder, ScreenshotReport& report)
      : folder_(QString::fromStdString(folder.string())), report_(report) {
    QDir().mkpath(folder_);
  }

  void Shoot(QWidget* window, const QString& name) {
    const std::string picture = name.toStdString();
    if (!window) {
      report_.failed.push_back(picture + ": the window did not open");
      return;
    }
    const bool wasHidden = !window->isVisible();
    if (wasHidden) window->show();
    // A new window gets its layout's size, but at most part of its screen;
    // the offscreen screen is small, so a window the program did not size
    // itself is given the size it would have on a desktop.
    if (window->isWindow() && !window->testAttribute(Qt::WA_Resized)) {
      window->resize(window->sizeHint().expandedTo(window->minimumSize()));
    }
    Settle();
    const QImage image = window->grab().toImage();
    if (wasHidden) window->hide();
    if (image.isNull() || image.width() < 2 || image.height() < 2) {
      report_.failed.push_back(picture + ": the window drew no picture");
    } else if (OneColour(image)) {
      report_.failed.push_back(picture + ": the picture is of one colour");
    } else if (!image.save(QDir(folder_).filePath(name + ".png"), "PNG")) {
      report_.failed.push_back(picture + ": cannot write " +
                               QDir(folder_).filePath(name + ".png").toStdString());
    } else {
      report_.written.push_back(picture);
    }
  }

  // The window as a screen at `scale` shows it: the same layout in logical
  // pixels, drawn with that many device pixels to each.
  void ShootScaled(QWidget* window, const QString& name, qreal scale) {
    QImage image(window->size() * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    Settle();
    window->render(&image);
    if (!image.save(QDir(folder_).filePath(name + ".png"), "PNG")) {
      report_.failed.push_back(name.toStdString() + ": cannot write the picture");
    } else {
      report_.written.push_back(name.toStdString());
    }
  }

 private:
  QString folder_;
  ScreenshotReport& report_;
};

// A first run in this month with the evaluation board's own shunt: the load
// finds its settings and the reminder is not due. A folder that already has
// settings keeps them.
void PrepareStateFolder(const std::filesystem::path& folder, const DateTime& now) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const auto file = folder / kSettingsFileName;
  if (std::filesystem::exists(file)) return;
  WriteSettingsFile(file, StoredSettings{"0.01", "2", "100u", static_cast<double>(now.month),
                                         static_cast<double>(now.year)});
}

void UseTheBoardWindows(formMain_QMA740& main) {
  // The log is switched on first, so it shows the traffic of what follows.
  main.mnuDebug->trigger();
  if (main.debugUsb) main.debugUsb->Command1->click();

  main.cmdDac_Adc->trigger();
  if (frmEvalControl* eval = main.evalControl) {
    eval->Option1->click();
    eval->muxOptions[1]->click();  // CNV1+ to DAC_B
    eval->muxOptions[5]->click();  // CNV1- to GND
    eval->chkDAC_AutoCal->click();
    eval->dacBoxes[1]->setText("2.5");
    eval->dacButtons[1]->click();
    eval->Command5->click();
  }

  main.mnuC_Bits->trigger();
  if (frmC_M_Bits* bits = main.cMBits) {
    ClickWithMouse(bits->Text1[0]);
    ClickWithMouse(bits->Text1[3]);
    bits->Command1->click();
    bits->Command3->click();
  }

  main.cmdDUT_Writer->trigger();
  if (frmUSB_DUT_Writer* writer = main.dutWriter) {
    // The boxes a first run leaves empty get a converter read and a mux
    // setting; stored texts stay.
    const std::pair<size_t, const char*> commands[] = {{3, "I2C CH2 S 91 ACKS R ACKM R ACKM P"},
                                                       {4, "CMD MUX 05"}};
    for (const auto& [i, text] : commands) {
      if (writer->txtCmdString[i]->text().isEmpty()) writer->txtCmdString[i]->setText(text);
    }
  }

  main.mnuSetAddress->trigger();
}

void Tour(Evm& evm, TourUserInterface& ui, const QString& scriptFile, Photographer& camera) {
  formMain_QMA740 main(evm);
  if (!main.Load()) {
    camera.Shoot(nullptr, "formMain_QMA740");
    return;
  }
  main.show();
  main.activateWindow();
  Settle();
  // The window system decides about activation; the tour must not depend on
  // it, so a first activation that did not come is done as it would be.
  if (!evm.shell().FirstActivationDone) {
    FirstActivation(evm, main.Panels());
    main.RenderPanels();
  }

  // The second calibration against a meter that reads about 1 % below the
  // device, so the correction shows in the numbers.
  CalibrationViews& calibration = *main.calibrationViews;
  calibration.cmdEnterCurrentLSB->click();
  TypeInto(calibration.txtMeasShuntCurrent, "0.990");
  calibration.cmdReadInitCalCurrent->click();
  calibration.cmdSecondCal->click();

  RegisterViews& registers = *main.registerViews;
  main.SSTab1->setCurrentIndex(main.SSTab1->count() - 1);  // Registers
  Settle();
  registers.Command8.back()->click();  // "Read All Reg"
  ClickCell(registers.gridReg, 1, 1);  // the configuration register into the bit map
  registers.Command1->click();         // "Help With Current Reg"

  // Ten seconds of readings with the calibration in place, started from the
  // plot's own button before the script switches the device's supply off.
  main.mnuMeasurementPlot->trigger();
  if (frmMeasurementPlot* plot = main.measurementPlot) {
    plot->cboSpan->setCurrentIndex(0);
    int passes = 0;
    const int stopper = evm.measurement().AddPassListener([&](const MeasurementPass&) {
      if (++passes >= 18) cmdStopContinuousRead_Click(evm);
    });
    plot->cmdStartStop->click();
    evm.measurement().RemovePassListener(stopper);
  }
  // The fast capture of two registers, shot while it runs and holds the
  // board, before the script switches the device's supply off.
  if (frmMeasurementPlot* plot = main.measurementPlot) {
    plot->cboFastRegisters->setCurrentIndex(1);
    if (plot->StartFast()) {
      // Until the stop only the capture's thread may use the virtual clock:
      // this thread drains, as the window's timer would.
      for (long turn = 0; plot->FastRunning() && plot->Fast().Samples() < kTourFastSamples &&
                          turn < kTourFastTurns;
           ++turn) {
        plot->DrainFast();
      }
      plot->Redraw();
      camera.Shoot(plot, "frmMeasurementPlot_fast");
      plot->StopFast();
      plot->cmdLive->click();  // back to the passes of the continuous read
    } else {
      camera.Shoot(nullptr, "frmMeasurementPlot_fast");
    }
  }

  UseTheBoardWindows(main);

  EvmScriptBoard board(evm);
  frmUSB_Template* launcher = OpenLauncher(main, board, ui, evm.locale());
  launcher->Command7->click();
  frmScript* script = main.findChild<frmScript*>();
  if (script) {
    ui.nextOpenFile = scriptFile.toStdString();
    script->Command4->click();  // "Load Script"
    script->Command2->click();  // "Run Script"
  }
  // Last, so that the raw reports on show are those of a read.
  if (main.dutWriter) main.dutWriter->Command[3]->click();
  Settle();

  // Each tab with room for all of its content.
  main.resize(main.ContentSize());
  const QWidget* pages[] = {main.tabOverview, main.tabAdConfig, main.tabCalibrate, main.tabScaling,
                            main.tabRegisters};
  for (int i = 0; i < main.SSTab1->count(); ++i) {
    main.SSTab1->setCurrentIndex(i);
    camera.Shoot(&main, "formMain_QMA740_" + pages[i]->objectName());
  }
  // A 1600x1000 screen at scale 1.5, and a 1024x700 screen at scale 1, each
  // less a window manager's title bar and frame: the tabs scroll what does
  // not fit.
  main.resize(QSize(1600, 1000) / 1.5 - QSize(8, 30));
  for (int i : {2, 4}) {
    main.SSTab1->setCurrentIndex(i);
    camera.ShootScaled(&main, "formMain_QMA740_scale1.5_" + pages[i]->objectName(), 1.5);
  }
  main.resize(QSize(1024, 700) - QSize(8, 30));
  camera.ShootScaled(&main, "formMain_QMA740_1024x700", 1.0);
  main.SSTab1->setCurrentIndex(4);

  camera.Shoot(registers.helpWithReg, "frmHelpWithReg");
  camera.Shoot(main.setAddress, "frmSetUSBAddress");
  {
    frmCalDate legacy(main.setAddress ? static_cast<QWidget*>(main.setAddress) : &main);
    camera.Shoot(&legacy, "frmCalDate");
  }
  camera.Shoot(main.evalControl, "frmEvalControl");
  camera.Shoot(main.cMBits, "frmC_M_Bits");
  camera.Shoot(main.debugUsb, "frmDebugUSB");
  camera.Shoot(main.dutWriter, "frmUSB_DUT_Writer");
  camera.Shoot(launcher, "frmUSB_Template");
  camera.Shoot(script, "frmScript");
  camera.Shoot(main.measurementPlot, "frmMeasurementPlot");
  // Last of the main window's work: the grid reads the second register link.
  main.mnuChooseBoards->trigger();
  if (main.chooseBoards && main.chooseBoards->gridRegLink->rowCount() > 1) {
    main.chooseBoards->gridRegLink->selectRow(1);
    main.chooseBoards->cmdUse->click();
    registers.Command8.back()->click();  // "Read All Reg"
    main.chooseBoards->Refresh();
  }
  camera.Shoot(main.chooseBoards, "frmChooseBoards");
  {
    // As the program shows it: the address window is there, so "Set Address
    // and Try Again" can be used.
    frmUSB_Com_Prob problem(&main);
    problem.Command4->setEnabled(true);
    camera.Shoot(&problem, "frmUSB_Com_Prob");
  }
  {
    frmCheckSoftwareRev reminder(&main);
    camera.Shoot(&reminder, "frmCheckSoftwareRev");
  }

  // Ends as the user's close would, with the state files written.
  main.close();
  Settle();
}

}  // namespace

ScreenshotReport RunScreenshotTour(const ScreenshotTourOptions& options) {
  ScreenshotReport report;
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    report.failed.push_back("all windows: no temporary folder");
    return report;
  }
  const std::filesystem::path stateFolder =
      options.stateFolder.value_or(std::filesystem::path(scratch.path().toStdString()) / "state");
  const QString scriptFile = QDir(scratch.path()).filePath(kTourScriptName);
  if (!WriteFileAtomically(scriptFile.toStdString(), kTourScript)) {
    report.failed.push_back("frmScript: cannot write the tour's script");
  }

  // Virtual time from today on: the pictures do not wait for the board's
  // pauses, and the stored month is the current one.
  FakeClock clock(SystemClock().Now());
  PrepareStateFolder(stateFolder, clock.Now());
  TourUserInterface ui;
  EvmSession session(PlatformOptions{.simulate = true,
                                     .vendorId = options.vendorId,
                                     .simulatedBoards = 2,
                                     .simLoad = options.simLoad},
                     clock, ui, NumberLocale::Point(), stateFolder);
  Evm& evm = session.Context();
  Photographer camera(options.outputFolder, report);
  Tour(evm, ui, scriptFile, camera);
  report.shown = ui.shown;
  return report;
}

int ScreenshotMode(const ScreenshotTourOptions& options) {
  const ScreenshotReport report = RunScreenshotTour(options);
  for (const std::string& text : report.shown) {
    std::fprintf(stderr, "zm5520-evm: the program showed \"%s\"\n", text.c_str());
  }
  for (const std::string& failure : report.failed) {
    std::fprintf(stderr, "zm5520-evm: no picture of %s\n", failure.c_str());
  }
  return report.failed.empty() ? 0 : 1;
}

}  // namespace evm::gui
