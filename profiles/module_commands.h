// What the tool sends to the module's AT port and what it waits for.
#pragma once

#include <string>
#include <vector>

namespace module {

inline constexpr const char* kQueryGnss = "AT+WGPS?\r\n";
inline constexpr const char* kStopGnss = "AT+WGPSEND\r\n";
inline constexpr const char* kStartGnss = "AT+WGPS=1\r\n";
inline constexpr const char* kQueryClock = "AT+CCLK?\r\n";
// Filled with the module time and the time uncertainty in milliseconds.
inline constexpr const char* kXtraTimeFormat = "AT+WGPSXTRATIME=0,\"%s\",1,1,%u\r\n";
inline constexpr const char* kDefaultXtraData = "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"";

// Delete commands by restart type (0 hot, 1 cold, 2 warm).
inline constexpr const char* kDeleteHot = "AT+WGPSDEL=1\r\n";
inline constexpr const char* kDeleteCold = "AT+WGPSDEL=0\r\n";
inline constexpr const char* kDeleteWarm = "AT+WGPSDEL=2\r\n";

inline constexpr const char* kReplyOk = "OK";
inline constexpr const char* kReplyGnssOff = "+WGPS: 0";
inline constexpr const char* kReplyGnssOn = "+WGPS: 1";
inline constexpr const char* kReplyClock = "+CCLK:";

// The one talker whose RMC status marks a fix.
inline constexpr const char* kFixSentence = "$GPRMC";

}  // namespace module

// RESTART_PLAIN is never asked for: it is what a test records when its
// profile has no command for the restart type asked, so that its runs were
// plain starts of the module's own choosing.
// RESTART_POWER_CYCLE: a power-cycle hook cuts and restores the module's
// power before each start (no delete command is sent).
enum RestartType : int {
  RESTART_HOT = 0,
  RESTART_COLD = 1,
  RESTART_WARM = 2,
  RESTART_PLAIN = 3,
  RESTART_POWER_CYCLE = 4
};

// "Hot Start", "Cold Start", "Warm Start", "Plain Start", "Power Cycle".
const char* RestartTypeName(int restart_type);
// The restart type of such a name; -1 for any other text.
int RestartTypeOfName(const std::string& name);
// "hot", "cold", "warm", "plain", "power-cycle": the restart type as the
// summary, the store's filters and the command line name it.
const char* RestartTypeWord(int restart_type);
// The restart type of such a word; -1 for any other text.
int RestartTypeOfWord(const std::string& word);
// The words a user may ask for (every type but plain, which is only recorded).
const std::vector<std::string>& AskableRestartWords();
