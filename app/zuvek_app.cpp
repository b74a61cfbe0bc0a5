#include "app/zuvek_app.h"

#include <cstdio>
#include <cstdlib>

#include <QTimer>
#include "session/module_hub.h"
#include "session/time_scale_choice.h"

#include "app/demo_driver.h"
#include "app/qt/message_box.h"
#include "app/zuvek_dlg.h"
#include "config/app_config.h"
#include "config/config_checks.h"
#include "config/side_settings.h"

CZUVEKApp theApp;

std::optional<double> WindowTimeScaleAsked() {
  if (const char* text = std::getenv("ZUVEK_TIME_SCALE")) {
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    if (end != text && scale > 0 && scale <= 1000)
      return scale;
    std::fprintf(stderr, "zuvek: ignoring ZUVEK_TIME_SCALE=%s (a number from 0 to 1000)\n", text);
  }
  return std::nullopt;
}

std::shared_ptr<platform::AdjustableClock> MakeWindowClock() {
  return std::make_shared<platform::AdjustableClock>();
}

void ChooseWindowClockScale(platform::AdjustableClock& clock, std::optional<double> asked,
                            const PortRequest& request) {
  const TimeScaleChoice choice = ChooseWindowTimeScale(asked, request.at_name, request.nmea_name);
  if (!choice.note.empty())
    std::fprintf(stderr, "%s\n", choice.note.c_str());
  clock.SetScale(choice.scale);
}

QString ReadSideSettings() {
  QString problems;
  if (const std::string damaged = DamagedConfigSentence(LastConfigLoad(), kConfigFileName);
      !damaged.empty()) {
    std::fprintf(stderr, "zuvek: %s\n", damaged.c_str());
    problems += QString::fromStdString(damaged) + QLatin1Char('\n');
  }
  for (const std::string& problem : LoadSideSettings()) {
    std::fprintf(stderr, "zuvek: %s\n", problem.c_str());
    problems += QString::fromStdString(problem) + QLatin1Char('\n');
  }
  return problems.trimmed();
}

int CZUVEKApp::InitInstance(const QStringList& arguments) {
  DemoOptions demo;
  std::string error;
  if (!ParseDemoOptions(arguments, demo, &error)) {
    std::fprintf(stderr, "zuvek: %s\n", error.c_str());
    return 2;
  }
  LoadConfig();
  const std::optional<double> asked = WindowTimeScaleAsked();
  auto clock = MakeWindowClock();
  m_clock = clock;
  platform::SetProcessClock(m_clock);
  m_folders.Init(*m_clock);
  // zuvek.toml: a wrong value is told once the window is up.
  const QString problems = ReadSideSettings();
  for (const std::string& problem : m_folders.Problems())
    std::fprintf(stderr, "zuvek: %s\n", problem.c_str());
  CZUVEKDlg dlg(*m_clock, m_folders);
  dlg.SetBeforeOpenPorts([clock, asked](const PortRequest& request) {
    ChooseWindowClockScale(*clock, asked, request);
  });
  if (!problems.isEmpty()) {
    QTimer::singleShot(0, &dlg, [&dlg, problems] { qtui::ShowMessageBox(problems, &dlg); });
  }
  DemoDriver driver(dlg, demo);
  dlg.exec();
  return driver.ExitCode();
}
