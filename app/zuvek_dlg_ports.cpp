// The window's port handlers (Open, Close, a vanished port) and the window
// operations the test engine asks for from its worker thread.
#include <QAbstractButton>
#include <QComboBox>
#include <QPointer>
#include <QTimer>
#include <array>

#include "app/qt/message_box.h"
#include "app/zuvek_dlg.h"
#include "profiles/module_commands.h"
#include "profiles/module_profile.h"
#include "serial/port_discovery.h"
#include "session/port_reconnect.h"

namespace {

constexpr std::array<int, 10> kSetupControls = {1004, 1012, 1005, 1006, 1007,
                                                1008, 1000, 1001, 1002, 1037};
constexpr std::array<int, 4> kPortControls = {1013, 1019, 1014, 1020};

}  // namespace

void CZUVEKDlg::OnOpenPorts() {
  PortRequest request;
  request.at_rate = BaudRateForIndex(ItemAs<QComboBox>(1014)->currentIndex());
  request.nmea_rate = BaudRateForIndex(ItemAs<QComboBox>(1020)->currentIndex());
  request.at_name = ItemAs<QComboBox>(1013)->currentText().toStdString();
  request.nmea_name = ItemAs<QComboBox>(1019)->currentText().toStdString();
  if (IsChecked(1029)) {
    const ModuleProfile& profile = m_engine.Profile() ? *m_engine.Profile() : DefaultProfile();
    request.auto_start = profile.GnssOn().command;
  }
  // Both lists naming one port would open it twice: the second open would
  // find the window itself holding it.
  if (!request.at_name.empty() && request.at_name == request.nmea_name) {
    qtui::ShowMessageBox(
        QStringLiteral("The AT and NMEA lists both name %1. Choose the module's NMEA port in the "
                       "NMEA list (zuvek-cli ports --probe tells which is which), then Open.")
            .arg(QString::fromStdString(request.at_name)),
        this);
    return;
  }
  if (m_before_open_ports)
    m_before_open_ports(request);
  SetEndStatus(QString());
  // A failing step does not stop the next: each failure is its own box, and
  // the window goes into the open state whatever happened.
  for (const std::string& text : m_hub.OpenPorts(request))
    qtui::ShowMessageBox(QString::fromStdString(text), this);
  SetEnabled(1017, true);
  SetEnabled(1016, false);
  SetEnabled(1011, true);
  EnablePortControls(false);
}

void CZUVEKDlg::OnClosePorts() {
  m_hub.ClosePorts();
  SetEnabled(1017, false);
  SetEnabled(1016, true);
  SetEnabled(1011, false);
  SetEnabled(1010, false);
  EnablePortControls(true);
  ClearLiveView();
  // With the ports gone and Stop disabled, a running test could only wait
  // out its time-outs: ask it to end.
  if (m_engine.IsRunning())
    m_engine.Stop();
}

void CZUVEKDlg::EnablePortControls(bool enable) {
  for (int id : kPortControls)
    SetEnabled(id, enable);
}

void CZUVEKDlg::ClearLiveView() {
  m_hub.OnTestStarted();  // the position fields
  m_hub.Nmea().OnClearSatellites();
  m_pChart->SetBars({});
}

void CZUVEKDlg::OnPortLost(const std::string& text) {
  // A test that reconnects lost ports says so itself if they stay away; a
  // power-cycle test takes them away in every run.
  if (m_engine.IsRunning() &&
      (m_engine.Settings().reconnect_s > 0 || m_engine.m_nRestartType == RESTART_POWER_CYCLE))
    return;
  // Told from inside the receive path: once that has returned, the view
  // empties (nothing more comes from the module) and the box shows.
  QPointer<CZUVEKDlg> self(this);
  QTimer::singleShot(0, this, [self, text] {
    if (!self)
      return;
    self->ClearLiveView();
    qtui::ShowMessageBox(QString::fromStdString(text), self);
  });
}

void CZUVEKDlg::OnStorageProblem(const std::string& sentence) {
  // Told by the worker or from inside the receive path: neither waits for
  // the user, so the test goes on while the box is up.
  QPointer<CZUVEKDlg> self(this);
  QMetaObject::invokeMethod(
      this,
      [self, sentence] {
        if (!self)
          return;
        qtui::ShowMessageBox(QString::fromStdString(sentence), self);
        LOG_DEBUG((sentence + "\n").c_str());  // where it can still be written
      },
      Qt::QueuedConnection);
}

bool CZUVEKDlg::IsImportXtraChecked() {
  bool checked = false;
  m_target.Invoke([this, &checked] { checked = IsChecked(1037); });
  return checked;
}

void CZUVEKDlg::EnableSetupControls(bool enable) {
  m_target.Invoke([this, enable] {
    for (int id : kSetupControls)
      SetEnabled(id, enable);
    m_choice->SetEnabled(enable);
  });
}

void CZUVEKDlg::ShowMessage(const std::string& text) {
  qtui::ShowMessageBox(QString::fromStdString(text), this);
}

bool CZUVEKDlg::ReconnectPorts(unsigned seconds, const std::function<bool()>& cancelled) {
  std::string why;
  if (::ReconnectPorts(m_hub, m_target, m_clock, seconds, cancelled, &why))
    return true;
  if (!cancelled()) {
    ShowMessage("The ports did not come back: " + why +
                ". The test ends; check the module, close the ports and open them again.");
  }
  return false;
}

void CZUVEKDlg::ClearLiveViewAfterRun() {
  m_target.Invoke([this] { m_hub.OnRunEndReset(); });
}
