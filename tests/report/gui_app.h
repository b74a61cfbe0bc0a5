// The QGuiApplication the report's painting needs (fonts), offscreen.
#pragma once

#include <QGuiApplication>
#include <cstdlib>

namespace testsupport {

inline void EnsureGuiApplication() {
  if (QGuiApplication::instance())
    return;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "report_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

}  // namespace testsupport
