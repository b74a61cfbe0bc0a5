// Drives the window for demonstrations, the screenshot and the benchmark:
// picks the ports by name, presses Open and Run, and saves a picture of the
// window once a fix has come in.
//
//   zuvek --demo-ports AT,NMEA --demo-run 3 --screenshot docs/screenshot.png
//         [--screenshot-tab signal|sky|history]
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string>

class CZUVEKDlg;

struct DemoOptions {
  QString at_port;          // part of the AT port's name; empty: no demo
  QString nmea_port;        // part of the NMEA port's name
  int runs = 0;             // 0: do not press Run
  QString screenshot;       // where to save the picture; empty: none
  int screenshot_rows = 1;  // result rows to wait for before the picture
  int screenshot_tab = 0;   // the tab under the chart shown in the picture (SkyTabs::Tab)
  int deadline_s = 180;     // give up on the picture after this long
};

// Reads the options above from the program's arguments. False, with a
// message, for an option it cannot use.
bool ParseDemoOptions(const QStringList& arguments, DemoOptions& options, std::string* error);

class DemoDriver : public QObject {
  Q_OBJECT

 public:
  DemoDriver(CZUVEKDlg& dlg, DemoOptions options);
  // 0, or 1 when a picture was asked for and not saved.
  int ExitCode() const { return exit_code_; }

 private:
  void Begin();
  void Poll();
  bool SelectPort(int combo_id, const QString& part);
  void SaveScreenshot();
  // Stops a test that still runs, as the Stop button does, and closes the
  // window once it has ended: a close during a test would ask first.
  void StopAndClose();

  CZUVEKDlg& dlg_;
  DemoOptions options_;
  QTimer poll_;
  int polls_ = 0;
  int exit_code_ = 0;
};
