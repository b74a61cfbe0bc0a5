// The hub of the tool: the module's two ports, their receive queues, the
// receive path and the live view, shared by the window and the CLI.
//
// It lives on the owner thread of its message target (the window's GUI
// thread, the CLI's main thread): every handler it binds runs there.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ttff_engine.h"
#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"
#include "platform/clock.h"
#include "platform/message_target.h"
#include "platform/working_folders.h"
#include "serial/line_queue.h"
#include "serial/open_diagnosis.h"
#include "serial/receive_path.h"
#include "serial/serial_mfc.h"

inline constexpr const char* kOpenPortFailed = "Open serial port failed!";
inline constexpr const char* kSerialFailed = "Serial Failed!";

// What Open was given: the names shown in the port lists and the rates.
struct PortRequest {
  std::string at_name;
  DWORD at_rate = 115200;
  std::string nmea_name;
  DWORD nmea_rate = 115200;
  // "Auto Start/Stop GPS": the profile's command that turns GNSS on, written
  // once both ports are set up (no reply awaited); empty when not ticked.
  std::string auto_start;
};

class ModuleHub {
 public:
  ModuleHub(platform::MessageTarget& target, platform::Clock& clock, const WorkingFolders& folders);
  ~ModuleHub();
  ModuleHub(const ModuleHub&) = delete;
  ModuleHub& operator=(const ModuleHub&) = delete;

  // Opens both ports, sets their line format, optionally starts GNSS, opens
  // the all-NMEA log and empties the NMEA queue. A failing step does not
  // stop the next ones; the texts to show the user come back in order. A
  // port that does not open gives "Open serial port failed!" and then a
  // sentence with the cause and what to do; a port that another process has
  // open is refused the same way, naming that process.
  std::vector<std::string> OpenPorts(const PortRequest& request);
  // Stops the listeners, closes the ports and the all-NMEA log.
  void ClosePorts();
  bool PortsOpen() const { return ports_open_; }
  // Why a test on these ports would fail at once: "the NMEA port ttyUSB1 is
  // not open (Open failed)" or "... is gone"; empty when both are open.
  std::string PortsNotReady();

  // Where the open path looks for other holders of a port and for the ports
  // that exist (/proc and the system's device folders; fakes in tests).
  void SetDiagnosisRoots(const DiagnosisRoots& roots) { diagnosis_ = roots; }

  // Called once per port that vanished while open (0 AT, 1 NMEA), with a
  // sentence to show the user.
  void SetPortLostHandler(std::function<void(int port, const std::string& text)> handler) {
    on_port_lost_ = std::move(handler);
  }
  // After a port vanished during a test: SuspendPorts closes both ports and
  // keeps the all-NMEA log open; ResumePorts opens them again under the
  // names and at the rates of the last OpenPorts (no auto start) and returns
  // the texts of what failed. Both on the owner thread.
  void SuspendPorts();
  std::vector<std::string> ResumePorts();
  const PortRequest& Request() const { return request_; }
  // Set when a port vanished; cleared when the ports open.
  const std::atomic<bool>& PortLostFlag() const { return port_lost_; }

  // Where the sky of each epoch goes (the chart and the sky plot).
  void SetSkySink(SkyEpochSink sink) { nmea_.SetSink(std::move(sink)); }

  // The live view for the test's fix rule (fix_rules/registry.h): any rule
  // but the default shows every talker's RMC and GSA. On the owner thread.
  void SetFixRule(const std::string& name);
  // The engine's environment on this hub's queues and AT port; the test's
  // settings (EngineEnvironment::test) are the caller's to give.
  EngineEnvironment MakeEngineEnvironment(EngineHost& host);

  // The handlers of the worker's user messages that belong to the live view.
  void OnTestStarted() { nmea_.ResetAtTestStart(); }
  void OnRunEndReset() { nmea_.ResetAtRunEnd(); }

  LineQueue& AtQueue() { return m_vec_at; }
  LineQueue& NmeaQueue() { return m_vec_receive_nmea; }
  LiveView& View() { return live_view_; }
  NmeaLineHandler& Nmea() { return nmea_; }
  CSerialMFC& AtPort() { return m_serial_at; }
  CSerialMFC& NmeaPort() { return m_serial_nmea; }
  const std::string& NmeaAllLogPath() const { return nmea_all_path_; }
  // NMEA bytes per second of the clock since the ports opened; 0 before a
  // second has passed.
  double NmeaByteRate() const;

 private:
  LRESULT OnSerialMessage(WPARAM wparam, LPARAM lparam);
  std::vector<std::string> OpenOne(CSerialMFC& port, const std::string& name, DWORD rate,
                                   LPARAM user);

  platform::MessageTarget& target_;
  platform::Clock& clock_;
  const WorkingFolders& folders_;
  CSerialMFC m_serial_at;
  CSerialMFC m_serial_nmea;
  LineQueue m_vec_at;
  LineQueue m_vec_receive_nmea;
  std::vector<char> m_vec_nmea_display;
  ReceivePath receive_path_;
  LiveView live_view_;
  NmeaLineHandler nmea_;
  UINT com_msg_ = 0;
  bool ports_open_ = false;
  bool lost_[2] = {false, false};
  std::string nmea_all_path_;
  // The worker writes commands while the user may close the ports.
  std::mutex at_write_mutex_;
  std::function<void(int, const std::string&)> on_port_lost_;
  std::atomic<std::uint64_t> nmea_bytes_{0};
  std::atomic<std::int64_t> nmea_since_us_{0};
  PortRequest request_;
  std::atomic<bool> port_lost_{false};
  DiagnosisRoots diagnosis_;
};
