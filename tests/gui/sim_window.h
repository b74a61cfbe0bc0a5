// The window against the module simulator on a scaled clock, as the suites
// of whole tests through the window set it up: the simulator started with a
// fault script, the window opened on its two ports, a test of N runs started
// with "Define" and waited for.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <string>

#include "app/zuvek_dlg.h"
#include "config/app_config.h"
#include "config/side_settings.h"
#include "sim/faults.h"
#include "sim/simulator.h"
#include "tests/gui/window_fixture.h"

namespace guitest {

class SimWindow {
 public:
  explicit SimWindow(double scale = 50) : clock(std::make_shared<platform::ScaledClock>(scale)) {}
  ~SimWindow() {
    dlg.reset();
    simulator.Stop();
    g_side_settings = SideSettings{};
  }
  SimWindow(const SimWindow&) = delete;
  SimWindow& operator=(const SimWindow&) = delete;

  std::shared_ptr<platform::ScaledClock> clock;
  Scratch scratch{*clock};
  sim::Simulator simulator{clock};
  std::unique_ptr<CZUVEKDlg> dlg;

  // False, with a warning, when the fault script or the simulator is refused.
  bool StartSimulator(sim::SimOptions options, const char* script_text = "") {
    std::string error;
    auto script = sim::FaultScript::Parse(script_text, &error);
    if (script)
      options.script = *script;
    if (!script || !simulator.Start(options, &error)) {
      qWarning("simulator: %s", error.c_str());
      return false;
    }
    return true;
  }
  // The window shown and opened on the two ports, with 2 s of NMEA after
  // each fix; true when both ports opened.
  bool OpenWindow(const std::string& at_port, const std::string& nmea_port) {
    g_config.m_interval_sleep = 2;
    dlg = std::make_unique<CZUVEKDlg>(*clock, scratch.folders);
    dlg->show();
    Choose(1013, at_port);
    Choose(1019, nmea_port);
    Button(1016)->click();  // Open
    return dlg->Hub().PortsOpen();
  }
  void Choose(int id, const std::string& path) {
    auto* combo = dlg->ItemAs<QComboBox>(id);
    combo->addItem(QString::fromStdString(path));
    combo->setCurrentIndex(combo->count() - 1);
  }
  QAbstractButton* Button(int id) { return dlg->ItemAs<QAbstractButton>(id); }
  // Run with "Define" set to `runs`.
  void Run(int runs) {
    Button(1008)->click();  // "Define"
    dlg->ItemAs<QLineEdit>(1009)->setText(QString::number(runs));
    Button(1011)->click();
  }
  // The test started within 5 s and ended, Run enabled again, within ms.
  bool WaitForEnd(int ms = 60000) {
    return QTest::qWaitFor([&] { return dlg->Engine().IsRunning(); }, 5000) &&
           QTest::qWaitFor([&] { return !dlg->Engine().IsRunning() && Button(1011)->isEnabled(); },
                           ms);
  }
  // A cell of the result list; empty where it has none.
  QString Cell(int row, int col) {
    const QTableWidgetItem* item = dlg->ItemAs<QTableWidget>(1025)->item(row, col);
    return item ? item->text() : QString();
  }
};

}  // namespace guitest
