#include "app/zuvek_app.h"

#include <cstdio>
#include <cstdlib>

#include "app/demo_driver.h"
#include "app/zuvek_dlg.h"
#include "config/app_config.h"

CZUVEKApp theApp;

std::shared_ptr<platform::Clock> MakeWindowClock() {
  if (const char* text = std::getenv("ZUVEK_TIME_SCALE")) {
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    if (end != text && scale > 0 && scale <= 1000)
      return std::make_shared<platform::ScaledClock>(scale);
    std::fprintf(stderr, "zuvek: ignoring ZUVEK_TIME_SCALE=%s (a number from 0 to 1000)\n", text);
  }
  return std::make_shared<platform::RealClock>();
}

int CZUVEKApp::InitInstance(const QStringList& arguments) {
  DemoOptions demo;
  std::string error;
  if (!ParseDemoOptions(arguments, demo, &error)) {
    std::fprintf(stderr, "zuvek: %s\n", error.c_str());
    return 2;
  }
  LoadConfig();
  m_clock = MakeWindowClock();
  platform::SetProcessClock(m_clock);
  m_folders.Init(*m_clock);
  for (const std::string& problem : m_folders.Problems())
    std::fprintf(stderr, "zuvek: %s\n", problem.c_str());
  CZUVEKDlg dlg(*m_clock, m_folders);
  DemoDriver driver(dlg, demo);
  dlg.exec();
  return driver.ExitCode();
}
