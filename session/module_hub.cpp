#include "session/module_hub.h"

#include <cstring>

#include "engine/engine_host.h"
#include "engine/run_logs.h"
#include "fix_rules/registry.h"
#include "platform/file_writes.h"
#include "platform/folders.h"
#include "serial/open_diagnosis.h"
#include "serial/posix_tty.h"

ModuleHub::ModuleHub(platform::MessageTarget& target, platform::Clock& clock,
                     const WorkingFolders& folders)
    : target_(target),
      clock_(clock),
      folders_(folders),
      receive_path_(m_serial_at, m_serial_nmea, m_vec_at, m_vec_receive_nmea, m_vec_nmea_display,
                    target, clock),
      nmea_(live_view_) {
  com_msg_ = InitDefaultComMsg();
  receive_path_.SetMessageNumber(com_msg_);
  target_.On(com_msg_, [this](WPARAM w, LPARAM l) { return OnSerialMessage(w, l); });
  target_.On(kMsgNmeaLine, [this](WPARAM w, LPARAM) -> LRESULT {
    const char* line = reinterpret_cast<const char*>(w);
    if (line)
      nmea_bytes_ += std::strlen(line);
    return nmea_.OnNmeaLine(line);
  });
  target_.On(kMsgClearPosition, [this](WPARAM, LPARAM) -> LRESULT {
    nmea_.ResetAtRunStart();
    return 1;
  });
  target_.On(kMsgClearSatellites, [this](WPARAM, LPARAM) -> LRESULT {
    nmea_.OnClearSatellites();
    return 1;
  });
}

ModuleHub::~ModuleHub() {
  ClosePorts();
  target_.Off(com_msg_);
  target_.Off(kMsgNmeaLine);
  target_.Off(kMsgClearPosition);
  target_.Off(kMsgClearSatellites);
}

LRESULT ModuleHub::OnSerialMessage(WPARAM wparam, LPARAM lparam) {
  if (LoWord(wparam) == kEventPortLost) {
    const int port = lparam == 0 ? 0 : 1;
    if (!lost_[port]) {
      lost_[port] = true;
      port_lost_ = true;
      const std::string text =
          std::string(port == 0 ? "The AT port" : "The NMEA port") +
          " is gone: the device disappeared or was unplugged. Close the ports, check the "
          "module, then open them again.";
      LOG_DEBUG((text + "\n").c_str());
      if (on_port_lost_)
        on_port_lost_(port, text);
    }
    return 0;
  }
  return receive_path_.OnSerialMessage(wparam, lparam);
}

std::vector<std::string> ModuleHub::OpenOne(CSerialMFC& port, const std::string& name, DWORD rate,
                                            LPARAM user) {
  std::vector<std::string> messages;
  // Another program reading the same device would take the module's replies:
  // refuse the open and say who it is. Otherwise say why an open failed.
  const std::string path = tty::DevicePath(name);
  std::string unseen;
  const std::string held =
      name.empty() ? std::string() : CheckNoOtherHolder(path, diagnosis_, &unseen);
  if (!unseen.empty())
    LOG_DEBUG((unseen + "\n").c_str());
  if (!held.empty()) {
    messages.push_back(kOpenPortFailed);
    messages.push_back(held);
  } else if (port.Open(name.c_str(), &target_, 0, user, 0, 0) != 0) {
    messages.push_back(kOpenPortFailed);
    messages.push_back(DescribeOpenFailure(name, path, static_cast<DWORD>(port.GetLastError()),
                                           GatherOpenFacts(path, diagnosis_)));
  }
  if (port.SetLineFormat(rate, 8, 0, 0) != 0)
    messages.push_back(kSerialFailed);
  if (port.SetFlowControl(CSerial::FlowNone) != 0)
    messages.push_back(kSerialFailed);
  return messages;
}

std::vector<std::string> ModuleHub::OpenPorts(const PortRequest& request) {
  std::vector<std::string> messages = OpenOne(m_serial_at, request.at_name, request.at_rate, 0);
  auto nmea = OpenOne(m_serial_nmea, request.nmea_name, request.nmea_rate, 1);
  messages.insert(messages.end(), nmea.begin(), nmea.end());
  ports_open_ = true;
  lost_[0] = lost_[1] = false;
  request_ = request;
  port_lost_ = false;
  if (!request.auto_start.empty())
    m_serial_at.Write(request.auto_start.c_str());
  nmea_all_path_ = folders_.GetNmeaLogDir() + platform::kPathSeparator + FormatTimeOfDay(clock_) +
                   "_nmea_log_all.txt";
  platform::CloseTrackedFile(g_fp_nmea_all);
  g_fp_nmea_all = std::fopen(nmea_all_path_.c_str(), "w");
  platform::TrackFile(g_fp_nmea_all, nmea_all_path_);
  if (!g_fp_nmea_all)
    LOG_DEBUG(("cannot create " + nmea_all_path_ + "\n").c_str());
  m_vec_receive_nmea.Clear();
  nmea_bytes_ = 0;
  nmea_since_us_ = clock_.MonotonicUs();
  return messages;
}

std::string ModuleHub::PortsNotReady() {
  if (!ports_open_)
    return "the ports are not open; press Open";
  const char* names[] = {"AT", "NMEA"};
  CSerialMFC* ports[] = {&m_serial_at, &m_serial_nmea};
  const std::string* asked[] = {&request_.at_name, &request_.nmea_name};
  for (int i = 0; i < 2; ++i) {
    const std::string port = std::string("the ") + names[i] + " port " + *asked[i];
    if (lost_[i])
      return port + " is gone; close the ports, check the module and open them again";
    if (!ports[i]->IsOpen())
      return port + " is not open (Open failed); close the ports, check it and open them again";
  }
  return {};
}

void ModuleHub::ClosePorts() {
  SuspendPorts();
  if (g_fp_nmea_all) {
    platform::CloseTrackedFile(g_fp_nmea_all);
    g_fp_nmea_all = nullptr;
  }
  ports_open_ = false;
}

EngineEnvironment ModuleHub::MakeEngineEnvironment(EngineHost& host) {
  EngineEnvironment env;
  env.clock = &clock_;
  env.at_queue = &m_vec_at;
  env.nmea_queue = &m_vec_receive_nmea;
  env.write_at = [this](const std::string& cmd) {
    std::lock_guard<std::mutex> lock(at_write_mutex_);
    m_serial_at.Write(cmd.c_str());
  };
  env.target = &target_;
  env.host = &host;
  env.day_dir = folders_.GetDayDir();
  env.nmea_log_dir = folders_.GetNmeaLogDir();
  env.nmea_byte_rate = [this] { return NmeaByteRate(); };
  env.port_lost = &port_lost_;
  return env;
}

double ModuleHub::NmeaByteRate() const {
  const double seconds = static_cast<double>(clock_.MonotonicUs() - nmea_since_us_.load()) / 1e6;
  return seconds >= 1.0 ? static_cast<double>(nmea_bytes_.load()) / seconds : 0.0;
}

void ModuleHub::SuspendPorts() {
  m_serial_at.StopListener(INFINITE);
  m_serial_nmea.StopListener(INFINITE);
  // A worker's write stuck on an AT port that stopped draining ends first,
  // so that the lock below is never held for long.
  m_serial_at.AbortIo();
  {
    std::lock_guard<std::mutex> lock(at_write_mutex_);
    m_serial_at.Close();
  }
  m_serial_nmea.Close();
}

std::vector<std::string> ModuleHub::ResumePorts() {
  SuspendPorts();
  std::vector<std::string> messages;
  {
    std::lock_guard<std::mutex> lock(at_write_mutex_);
    messages = OpenOne(m_serial_at, request_.at_name, request_.at_rate, 0);
  }
  auto nmea = OpenOne(m_serial_nmea, request_.nmea_name, request_.nmea_rate, 1);
  messages.insert(messages.end(), nmea.begin(), nmea.end());
  if (messages.empty()) {
    lost_[0] = lost_[1] = false;
    port_lost_ = false;
  }
  m_vec_at.Clear();
  m_vec_receive_nmea.Clear();
  return messages;
}

void ModuleHub::SetFixRule(const std::string& name) {
  // With a rule other than the default the live view takes every talker's
  // RMC and GSA, so that a receiver without $GPRMC shows its position.
  nmea_.SetLiveViewMode(fix_rules::IsDefault(name) ? LiveViewMode::kGprmc
                                                   : LiveViewMode::kAnyTalker);
}
