// CZUVEKDlg: the tool's window. It owns the hub of the module's ports, the
// test engine and the satellite chart, lays out the controls of its dialog
// template and carries the message table that joins them.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <boost/shared_ptr.hpp>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/module_choice_menus.h"
#include "app/power_cycle_action.h"
#include "app/qt/qt_dispatcher.h"
#include "app/report_menu.h"
#include "controls/chart.h"
#include "controls/label.h"
#include "engine/engine_host.h"
#include "engine/ttff_engine.h"
#include "nmea/live_view.h"
#include "platform/message_target.h"
#include "serial/combo_model.h"
#include "session/module_hub.h"
#include "store/opening_store_sink.h"

class QAbstractButton;
class QLabel;
class QScrollArea;
class RunClockLabel;
class SkyTabs;

// The status animation's counter: "System is running" plus 0..5 dots. It
// keeps counting across tests.
extern int g_nStatusDots;
// The question closing the window asks while a test runs.
extern const char* const kStopTestToClose;

class CZUVEKDlg : public QDialog, public EngineHost {
  Q_OBJECT

 public:
  static constexpr int kStatusTimerId = 99;
  static constexpr int kStatusPeriodMs = 1000;
  static constexpr int kChartControlId = 0xFFFF;
  // How long closing the window waits for a running test to end.
  static constexpr int kShutdownWaitMs = 3000;

  CZUVEKDlg(platform::Clock& clock, const WorkingFolders& folders, QWidget* parent = nullptr);
  ~CZUVEKDlg() override;

  // The control with this id (its object name), or null.
  QWidget* Item(int id) const;
  template <class T>
  T* ItemAs(int id) const {
    return qobject_cast<T*>(Item(id));
  }

  // Handlers of the message table, public so that a demo driver and tests
  // can reach them the way the framework would.
  void OnTimer(int id);
  void OnRun();
  void OnStop();
  void OnOpenPorts();
  void OnClosePorts();
  void OnOption();
  void OnAbout();
  void OnHiddenClose();
  LRESULT OnTestResult(WPARAM wparam, LPARAM lparam);
  LRESULT OnTestStarted(WPARAM wparam, LPARAM lparam);
  LRESULT OnTestFinished(WPARAM wparam, LPARAM lparam);

  void EnablePortControls(bool enable);
  // Called by Open with the chosen ports before they are opened (the
  // start-up code sets the clock's speed for them).
  void SetBeforeOpenPorts(std::function<void(const PortRequest&)> hook) {
    m_before_open_ports = std::move(hook);
  }

  // EngineHost, called from the worker: carried out on the GUI thread.
  bool IsImportXtraChecked() override;
  void EnableSetupControls(bool enable) override;
  void ShowMessage(const std::string& text) override;
  void ClearLiveViewAfterRun() override;
  // From any thread: one box on the GUI thread, then the debug log.
  void OnStorageProblem(const std::string& sentence) override;
  bool ReconnectPorts(unsigned seconds, const std::function<bool()>& cancelled) override;
  // Posted to the GUI thread: the run clock beside the status line.
  void OnStartOk(unsigned run, std::int64_t ok_stamp_us) override;
  void OnTimeline(unsigned run, timeline::TimelinePhase phase, std::int64_t ms) override;
  // Posted to the GUI thread: the S/N history's tab.
  void OnSignalSample(unsigned run, std::int64_t ms, const timeline::SkySample& sky) override;

  int RunState() const { return m_engine.RunState(); }
  // The status line's sentence between tests (how the last one ended, or
  // why Run started none); empty after Open and Run.
  const QString& EndStatus() const { return m_end_status; }
  QScrollArea* ClientScroll() const { return m_scroll; }
  QLabel* ModuleChoiceLabel() const { return m_module_label; }
  ModuleHub& Hub() { return m_hub; }
  TestEngine& Engine() { return m_engine; }
  CChartContrl_columnar* Chart() const { return m_pChart.get(); }
  RunClockLabel* RunClock() const { return m_run_clock; }
  SkyTabs* Tabs() const { return m_sky_tabs; }
  QMenuBar* MenuBar() const { return m_pMenu; }
  ReportMenu* Report() const { return m_report; }
  // The Tools menu's choice of module profile and fix rule.
  ModuleChoiceMenus& ModuleChoice() const { return *m_choice; }
  const QIcon& Icon() const { return m_hIcon; }
  // True once the window has saved its settings on the way out.
  bool Destroyed() const { return destroyed_; }

 public slots:
  void done(int result) override;

 protected:
  void timerEvent(QTimerEvent* event) override;
  // The client's resizes: the chart and the result list take the room.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnInitDialog();
  // The frame around the template (zuvek_dlg_layout.cpp): the scrolling
  // client, the strip with the run clock and the module choice below it.
  void LayOutWindow();
  void KeepTemplatePlaces();
  void ShowModuleChoice();
  // Empties the position fields, the satellite lists and the chart.
  void ClearLiveView();
  // The status line's sentence between tests.
  void SetEndStatus(const QString& text);
  // Closing while a test runs: asks once; true to go on closing (the test
  // is then stopped).
  bool MayCloseWhileTesting();
  // The list selections of the last session; an index outside a list
  // selects nothing.
  void RestoreSelections();
  // The live view, the chart, the worker's messages and the buttons.
  void ConnectSession();
  void BuildMenu();
  void FillCombos();
  void StyleLabels();
  void SetupResultList();
  void OnDestroy();
  void OnPortLost(const std::string& text);
  void SetEnabled(int id, bool enable);
  bool IsChecked(int id) const;
  void StopEngineForExit();
  void LoadCombo(QComboBox* combo, const ComboModel& model);

  platform::Clock& m_clock;
  qtui::QtDispatcher m_dispatcher;
  platform::MessageTarget m_target;
  ModuleHub m_hub;
  // The results store of each test: where the settings say when Run is
  // pressed, the module named by its AT port (as zuvek-cli run names it).
  std::string m_store_location, m_store_module;
  store::OpeningStoreSink m_store_sink;
  TestEngine m_engine;
  boost::shared_ptr<CChartContrl_columnar> m_pChart;
  std::string m_strStatus;
  QMenuBar* m_pMenu = nullptr;
  ModuleChoiceMenus* m_choice = nullptr;
  PowerCycleAction* m_power_cycle = nullptr;
  ReportMenu* m_report = nullptr;
  QIcon m_hIcon;
  QWidget* m_client = nullptr;
  std::map<int, QWidget*> m_items;
  QTableWidget* m_listResults = nullptr;
  CLabel* m_lbl_status = nullptr;
  RunClockLabel* m_run_clock = nullptr;
  SkyTabs* m_sky_tabs = nullptr;
  QScrollArea* m_scroll = nullptr;
  QLabel* m_module_label = nullptr;
  std::map<int, QRect> m_template_rects;
  QString m_end_status;
  LiveView::Handle m_live_observer = 0;
  int m_qt_status_timer = 0;
  bool destroyed_ = false;
  std::function<void(const PortRequest&)> m_before_open_ports;
};

// The one window, set by its constructor.
extern CZUVEKDlg* g_pMainDlg;
