// CZUVEKApp: start-up of the window. Loads TTFF.cfg, makes the working
// folders beside the program and runs the main window until it closes.
//
// Common-control registration, control-container support and a registry
// key have no counterpart under Qt; the window manager paints the icon of a
// minimised window.
#pragma once

#include <QStringList>
#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/working_folders.h"

struct PortRequest;

class CZUVEKApp {
 public:
  // Runs the program; returns its exit status.
  int InitInstance(const QStringList& arguments);

  std::string GetDayDir() const { return m_folders.GetDayDir(); }
  std::string GetNmeaLogDir() const { return m_folders.GetNmeaLogDir(); }

 private:
  WorkingFolders m_folders;
  std::shared_ptr<platform::Clock> m_clock;
};

// The clock of the window: real time until the ports are opened, then the
// speed ChooseWindowClockScale picks for them.
std::shared_ptr<platform::AdjustableClock> MakeWindowClock();
// The scale ZUVEK_TIME_SCALE asks for (a number above 0, up to 1000; tests
// and demonstrations); none when unset or not such a number (said on
// standard error).
std::optional<double> WindowTimeScaleAsked();
// At Open: the simulator's scale when both ports are one running
// simulator's, real time otherwise; what was asked and not given is said on
// standard error.
void ChooseWindowClockScale(platform::AdjustableClock& clock, std::optional<double> asked,
                            const PortRequest& request);

// Reads zuvek.toml in the working directory into g_side_settings; returns
// its problems, one a line ("zuvek.toml:LINE: what is wrong"), each also
// written on standard error. Empty when all is well.
QString ReadSideSettings();

extern CZUVEKApp theApp;
