#include "app/zuvek_dlg.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QColor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>
#include <cstdio>
#include <utility>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "app/dlg_template.h"
#include "app/end_status.h"
#include "app/options_dialog.h"
#include "app/qt/dialog_units.h"
#include "app/qt/message_box.h"
#include "app/run_clock_label.h"
#include "app/sky_tabs.h"
#include "config/app_config.h"
#include "config/side_settings.h"
#include "controls/colorref.h"
#include "engine/results.h"
#include "engine/run_logs.h"
#include "engine/run_settings.h"
#include "engine/timeline_report.h"
#include "engine/ttff_settings.h"
#include "platform/debug_log.h"
#include "profiles/module_commands.h"
#include "serial/port_discovery.h"
#include "session/profile_choice.h"
#include "store/store_location.h"

int g_nStatusDots = 0;
const char* const kStopTestToClose =
    "A test is running. Stop it and close the window? The run in progress is counted as "
    "stopped, as Stop does.";
CZUVEKDlg* g_pMainDlg = nullptr;

CZUVEKDlg::CZUVEKDlg(platform::Clock& clock, const WorkingFolders& folders, QWidget* parent)
    : QDialog(parent),
      m_clock(clock),
      m_target(m_dispatcher),
      m_hub(m_target, clock, folders),
      m_store_sink([this] { return m_store_location; }, [this] { return m_store_module; },
                   [this](const std::string& sentence) { OnStorageProblem(sentence); }),
      m_engine([this] {
        EngineEnvironment env = m_hub.MakeEngineEnvironment(*this);
        env.result_sink = &m_store_sink;
        // zuvek.toml's choices until Run resolves them again.
        if (auto resolved = ResolveTestSettings({}).settings)
          env.test = std::move(*resolved);
        m_hub.SetFixRule(env.test.fix_rule);
        return env;
      }()),
      m_pChart(new CChartContrl_columnar),
      m_strStatus("System is running"),
      m_hIcon(MakeAppIcon()) {
  g_pMainDlg = this;
  OnInitDialog();
}

CZUVEKDlg::~CZUVEKDlg() {
  if (!destroyed_)
    OnDestroy();
  m_dispatcher.Close();  // a late Invoke from the worker is refused, not waited on
  m_engine.Join();
  m_hub.View().RemoveObserver(m_live_observer);
  m_hub.SetSkySink(nullptr);
  m_hub.SetPortLostHandler(nullptr);
  for (UINT msg : {kMsgTestResult, kMsgTestStarted, kMsgTestFinished})
    m_target.Off(msg);
  if (g_pMainDlg == this)
    g_pMainDlg = nullptr;
}

QWidget* CZUVEKDlg::Item(int id) const {
  auto it = m_items.find(id);
  return it == m_items.end() ? nullptr : it->second;
}

void CZUVEKDlg::SetEnabled(int id, bool enable) {
  if (QWidget* w = Item(id))
    w->setEnabled(enable);
}

bool CZUVEKDlg::IsChecked(int id) const {
  auto* b = ItemAs<QAbstractButton>(id);
  return b && b->isChecked();
}

void CZUVEKDlg::OnInitDialog() {
  setWindowTitle(QStringLiteral("ZUVEK_V1.3"));
  setWindowIcon(m_hIcon);
  // A main window with a minimise box (a tool left running for days must be
  // minimisable), a maximise box and a close box: it opens at the
  // template's size and grows and shrinks from there.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(qtui::DialogFont());
  BuildMenu();

  m_client = new QWidget;
  m_items = zuvek_dlg::BuildControls(m_client, zuvek_dlg::MainDialogControls());
  for (auto& [id, w] : m_items) {
    if (auto* button = qobject_cast<QPushButton*>(w))
      button->setAutoDefault(false);
  }
  m_listResults = ItemAs<QTableWidget>(1025);
  m_lbl_status = ItemAs<CLabel>(1023);
  m_run_clock = new RunClockLabel(m_clock, nullptr);
  LayOutWindow();

  FillCombos();
  ItemAs<QAbstractButton>(1000)->click();  // "Hot Start"
  ItemAs<QAbstractButton>(1004)->click();  // one run
  SetupResultList();
  SetEnabled(1017, false);
  StyleLabels();

  RestoreSelections();
  SetEnabled(1011, false);
  SetEnabled(1010, false);
  for (int id : {1026, 1027, 1019, 1020})
    SetEnabled(id, true);

  QWidget* frame = Item(1028);
  m_pChart->Create(m_client, frame->geometry(), kChartControlId);
  m_pChart->show();
  m_sky_tabs = new SkyTabs(m_client, frame->geometry(), m_pChart.get());
  KeepTemplatePlaces();
  ShowModuleChoice();
  ConnectSession();
  m_qt_status_timer = startTimer(kStatusPeriodMs);
  PrepareDebugLog();
}

void CZUVEKDlg::RestoreSelections() {
  // Selections of the last session; an index outside a list selects nothing.
  const std::pair<int, int> saved[] = {{1013, g_config.m_at_port_index},
                                       {1019, g_config.m_nmea_port_index},
                                       {1014, g_config.m_at_baud_index},
                                       {1015, g_config.m_chip_index}};
  for (auto [id, index] : saved) {
    auto* combo = ItemAs<QComboBox>(id);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  }
  // Without a TTFF.cfg both lists would name one port, which cannot be
  // both: the NMEA list takes the next one where there is one.
  auto* at = ItemAs<QComboBox>(1013);
  auto* nmea = ItemAs<QComboBox>(1019);
  if (g_config.LoadedMembers() == 0 && nmea->count() > 1 &&
      nmea->currentIndex() == at->currentIndex() && at->currentIndex() >= 0)
    nmea->setCurrentIndex((at->currentIndex() + 1) % nmea->count());
}

void CZUVEKDlg::ConnectSession() {
  m_hub.SetSkySink([this](const SkyEpoch& sky) {
    m_pChart->SetBars(sky.bars);
    m_sky_tabs->SetSky(sky.satellites);
  });
  m_live_observer = m_hub.View().AddObserver([this](int id, const std::string& text) {
    if (auto* label = ItemAs<CLabel>(id))
      label->SetText(QString::fromStdString(text));
  });
  m_hub.SetPortLostHandler([this](int, const std::string& text) { OnPortLost(text); });

  m_target.On(kMsgTestResult, [this](WPARAM w, LPARAM l) { return OnTestResult(w, l); });
  m_target.On(kMsgTestStarted, [this](WPARAM w, LPARAM l) { return OnTestStarted(w, l); });
  m_target.On(kMsgTestFinished, [this](WPARAM w, LPARAM l) { return OnTestFinished(w, l); });

  connect(ItemAs<QAbstractButton>(1011), &QAbstractButton::clicked, this, &CZUVEKDlg::OnRun);
  connect(ItemAs<QAbstractButton>(1016), &QAbstractButton::clicked, this, &CZUVEKDlg::OnOpenPorts);
  connect(ItemAs<QAbstractButton>(1017), &QAbstractButton::clicked, this, &CZUVEKDlg::OnClosePorts);
  connect(ItemAs<QAbstractButton>(1010), &QAbstractButton::clicked, this, &CZUVEKDlg::OnStop);
  connect(ItemAs<QAbstractButton>(1021), &QAbstractButton::clicked, this,
          &CZUVEKDlg::OnHiddenClose);
}

void CZUVEKDlg::BuildMenu() {
  m_pMenu = new QMenuBar(this);
  QMenu* tools = m_pMenu->addMenu(QStringLiteral("Tools"));
  QAction* option = tools->addAction(QStringLiteral("Option"));
  option->setObjectName(QStringLiteral("32771"));
  connect(option, &QAction::triggered, this, &CZUVEKDlg::OnOption);
  // A choice takes effect for the next test, and the fix rule's live view at once.
  m_choice = new ModuleChoiceMenus(tools, this,
                                   {[this](std::shared_ptr<const ModuleProfile> profile) {
                                      m_engine.SetProfile(std::move(profile));
                                      ShowModuleChoice();
                                    },
                                    [this](const std::string& rule) {
                                      m_engine.SetFixRule(rule);
                                      m_hub.SetFixRule(rule);
                                      ShowModuleChoice();
                                    }});
  m_power_cycle = new PowerCycleAction(tools);
  m_report = new ReportMenu(m_pMenu, this);
  // The window system's own menu is out of reach here: the About box lives
  // in a Help menu instead.
  QMenu* help = m_pMenu->addMenu(QStringLiteral("Help"));
  QAction* about = help->addAction(QStringLiteral("&About ZUVEK..."));
  about->setObjectName(QStringLiteral("16"));
  connect(about, &QAction::triggered, this, &CZUVEKDlg::OnAbout);
}

void CZUVEKDlg::LoadCombo(QComboBox* combo, const ComboModel& model) {
  combo->clear();
  for (const std::string& item : model.items)
    combo->addItem(QString::fromStdString(item));
  combo->setCurrentIndex(model.GetCurSel());
  // The list opens as wide as its longest entry: device names are long.
  combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
}

void CZUVEKDlg::FillCombos() {
  ComboModel at_ports, nmea_ports, at_baud, nmea_baud, chip;
  FillPortLists(at_ports, nmea_ports);
  FillBaudList(at_baud);
  FillBaudList(nmea_baud);
  FillChipList(chip);
  LoadCombo(ItemAs<QComboBox>(1013), at_ports);
  LoadCombo(ItemAs<QComboBox>(1019), nmea_ports);
  LoadCombo(ItemAs<QComboBox>(1014), at_baud);
  LoadCombo(ItemAs<QComboBox>(1020), nmea_baud);
  LoadCombo(ItemAs<QComboBox>(1015), chip);
}

void CZUVEKDlg::SetupResultList() {
  m_listResults->setHorizontalHeaderLabels(
      {QStringLiteral("TIMES"), QStringLiteral("Duration Time(s)"), QStringLiteral("RESULT")});
  m_listResults->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  // Three equal columns over the client width, as wide as the list allows.
  const int inner = m_listResults->width() - 2 * m_listResults->frameWidth();
  for (int c = 0; c < 3; ++c)
    m_listResults->setColumnWidth(c, inner / 3);
}

void CZUVEKDlg::StyleLabels() {
  m_lbl_status->SetFaceName(QStringLiteral("San Serif"), 0).SetPointSize(12).SetTextColor(0xFF0000);
  for (int id : kLiveFieldIds) {
    ItemAs<CLabel>(id)
        ->SetFaceName(QStringLiteral("San Serif"))
        .SetPointSize(12)
        .SetTextColor(RGB(0, 10, 250))
        .SetText(QString());
  }
}

void CZUVEKDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_qt_status_timer) {
    OnTimer(kStatusTimerId);
    return;
  }
  QDialog::timerEvent(event);
}

void CZUVEKDlg::OnTimer(int id) {
  if (id != kStatusTimerId)
    return;
  // Between tests nothing reads the NMEA queue (a test empties it before
  // each start anyway): drop what streamed in, or it fills to its cap.
  if (RunState() == 0)
    m_hub.NmeaQueue().Clear();
  if (RunState() != 2) {
    m_lbl_status->SetText(m_end_status);
    return;
  }
  m_lbl_status->SetText(QString::fromStdString(m_strStatus) + QString(g_nStatusDots, '.'));
  g_nStatusDots = (g_nStatusDots + 1) % 6;
}

void CZUVEKDlg::OnRun() {
  int restart = m_engine.m_nRestartType;
  if (IsChecked(1001))
    restart = 1;  // Cold
  else if (IsChecked(1000))
    restart = 0;  // Hot
  else if (IsChecked(1002))
    restart = 2;  // Warm
  if (m_power_cycle->Chosen())
    restart = RESTART_POWER_CYCLE;
  m_engine.m_nRestartType = restart;

  int times = static_cast<int>(m_engine.m_nTimes);
  const std::pair<int, int> counts[] = {{1004, 1}, {1012, 10}, {1005, 20}, {1006, 50}, {1007, 100}};
  bool chosen = false;
  for (auto [id, n] : counts) {
    if (IsChecked(id)) {
      times = n;
      chosen = true;
      break;
    }
  }
  if (!chosen && IsChecked(1008)) {
    times = ParseDefineCount(ItemAs<QLineEdit>(1009)->text().toStdString());
    if (times <= 0) {
      qtui::ShowMessageBox(QString::fromUtf8(kCountMustBePositive), this);
      return;
    }
  }
  // The settings are resolved again for each test: a profile file may have
  // changed since it was chosen. One that no longer loads keeps the test
  // from starting.
  if (!m_engine.IsRunning()) {
    const TestSettingsResolution resolved = ResolveTestSettings({});
    const std::string restart_problem =
        resolved.settings ? RestartTypeProblem(*resolved.settings, restart) : "";
    if (!resolved.settings || !restart_problem.empty()) {
      const std::string refusal =
          !restart_problem.empty() ? restart_problem
          : resolved.problem.empty()
              ? ProfileRefusal(resolved.profile_asked, resolved.profile_problems,
                               kTestNotStartedSentence)
              : resolved.problem;
      qtui::ShowMessageBox(QString::fromStdString(refusal), this);
      return;
    }
    // A port that is not open would only let the test wait out its
    // time-outs: say which one, and start nothing.
    if (const std::string why = m_hub.PortsNotReady(); !why.empty()) {
      SetEndStatus(QStringLiteral("Not started: ") + QString::fromStdString(why));
      return;
    }
    // Never a plain start labelled as a cold or warm one without a word.
    if (const std::string why = NoResetSentence(*resolved.settings->profile, restart);
        !why.empty() &&
        !qtui::AskYesNo(QStringLiteral("The %1. Run them anyway, recorded as plain starts?")
                            .arg(QString::fromStdString(why.substr(4))),
                        this))
      return;
    m_store_location = store::ChooseStoreLocation(resolved.settings->store, "");
    TestSettings settings = *resolved.settings;
    // The hooks' environment names the module by its AT port, as the store does.
    settings.module_name = settings.at_port = m_hub.Request().at_name;
    settings.nmea_port = m_hub.Request().nmea_name;
    m_engine.SetSettings(std::move(settings));
    ShowModuleChoice();
    m_store_module = m_hub.Request().at_name;
    SetEndStatus(QString());
  }
  // Start refuses a second test while one runs; it disables the setup
  // controls itself once the worker is on its way.
  m_engine.Start(restart, static_cast<unsigned>(times));
}

void CZUVEKDlg::OnStop() {
  m_engine.Stop();
}

LRESULT CZUVEKDlg::OnTestResult(WPARAM wparam, LPARAM) {
  std::unique_ptr<TestResult> record(reinterpret_cast<TestResult*>(wparam));
  if (!record)
    return 0;
  const ResultRow row = FormatResultRow(*record);
  m_listResults->insertRow(0);
  const std::string* texts[] = {&row.times, &row.duration, &row.result};
  for (int c = 0; c < 3; ++c) {
    auto* item = new QTableWidgetItem(QString::fromStdString(*texts[c]));
    item->setTextAlignment(Qt::AlignCenter);
    if (!record->reset_suspect.empty()) {
      // The texts stay; the row is marked and says why when pointed at.
      item->setBackground(QColor(255, 214, 102));
      item->setToolTip(QStringLiteral("Reset suspect: ") +
                       QString::fromStdString(record->reset_suspect));
    }
    m_listResults->setItem(0, c, item);
  }
  return 0;
}

LRESULT CZUVEKDlg::OnTestStarted(WPARAM, LPARAM) {
  m_listResults->setRowCount(0);
  SetEnabled(1011, false);
  SetEnabled(1010, true);
  m_hub.OnTestStarted();
  return 1;
}

void CZUVEKDlg::OnStartOk(unsigned run, std::int64_t ok_stamp_us) {
  const unsigned runs = m_engine.m_nTimes;
  m_dispatcher.PostTask([this, run, runs, ok_stamp_us] {
    m_run_clock->StartRun(run, runs, ok_stamp_us);
    m_sky_tabs->StartRun(run);
  });
}

void CZUVEKDlg::OnTimeline(unsigned run, timeline::TimelinePhase phase, std::int64_t ms) {
  m_dispatcher.PostTask([this, run, phase, ms] {
    m_run_clock->Reach(run, phase, ms);
    m_sky_tabs->Reach(run, phase, ms);
  });
}

void CZUVEKDlg::OnSignalSample(unsigned run, std::int64_t ms, const timeline::SkySample& sky) {
  // The rows as the signal file has them, read as the report reads them.
  std::string csv = std::string(kSignalHeader) + "\n" + SignalRows(run, ms, sky);
  m_dispatcher.PostTask([this, run, csv = std::move(csv)] { m_sky_tabs->AddSignalRows(run, csv); });
}

LRESULT CZUVEKDlg::OnTestFinished(WPARAM, LPARAM) {
  m_run_clock->Clear();
  // Run needs open ports: a test that ends after Close leaves it off.
  SetEnabled(1011, m_hub.PortsOpen());
  SetEnabled(1010, false);
  const TestOutcome outcome = m_engine.LastOutcome();
  m_report->SetLastTest(outcome.csv_path);
  SetEndStatus(QString::fromStdString(EndStatusText(outcome)));
  return 1;
}

void CZUVEKDlg::SetEndStatus(const QString& text) {
  m_end_status = text;
  m_lbl_status->setToolTip(text);
  if (RunState() != 2)
    m_lbl_status->SetText(text);
}

void CZUVEKDlg::OnHiddenClose() {
  m_listResults->insertRow(0);
  for (int c = 0; c < 3; ++c)
    m_listResults->setItem(0, c, new QTableWidgetItem(QStringLiteral("1")));
}

void CZUVEKDlg::OnOption() {
  if (RunState() != 0)
    return;
  CDialogOptions dlg(this);
  dlg.exec();
}

void CZUVEKDlg::OnAbout() {
  CAboutDlg dlg(m_hIcon, this);
  dlg.exec();
}

void CZUVEKDlg::done(int result) {
  if (!destroyed_ && !MayCloseWhileTesting())
    return;
  if (!destroyed_)
    OnDestroy();
  QDialog::done(result);
}

bool CZUVEKDlg::MayCloseWhileTesting() {
  if (!m_engine.IsRunning())
    return true;
  if (!qtui::AskYesNo(QString::fromUtf8(kStopTestToClose), this))
    return false;
  // Closing stops the test as Stop does: the run in progress is accounted
  // for the same way.
  m_engine.Stop();
  return true;
}

void CZUVEKDlg::StopEngineForExit() {
  if (!m_engine.IsRunning())
    return;
  // The worker writes its statistics and closes its logs within a second;
  // it still needs this thread for the window operations it asks for.
  m_engine.RequestShutdown();
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer waited;
  waited.start();
  connect(&poll, &QTimer::timeout, &loop, [&] {
    if (!m_engine.IsRunning() || waited.elapsed() > kShutdownWaitMs)
      loop.quit();
  });
  poll.start(10);
  loop.exec();
  if (m_engine.IsRunning())
    m_dispatcher.Close();
  m_engine.Join();
}

void CZUVEKDlg::OnDestroy() {
  destroyed_ = true;
  killTimer(m_qt_status_timer);
  StopEngineForExit();
  g_config.m_at_port_index = ItemAs<QComboBox>(1013)->currentIndex();
  g_config.m_nmea_port_index = ItemAs<QComboBox>(1019)->currentIndex();
  g_config.m_at_baud_index = ItemAs<QComboBox>(1014)->currentIndex();
  g_config.m_chip_index = ItemAs<QComboBox>(1015)->currentIndex();
  if (!SaveSideSettings())
    std::fprintf(stderr, "zuvek: could not write %s\n", kSideSettingsFileName);
  if (!SaveConfig()) {
    std::fprintf(stderr, "zuvek: could not write %s; the settings of this session are lost\n",
                 kConfigFileName);
    LOG_DEBUG("could not write TTFF.cfg\n");
  }
  CloseDebugLog();
}
