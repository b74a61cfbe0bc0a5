// Line matchers of the AT waits.
#pragma once

#include <string>

// True for a line that contains the pattern anywhere.
class ContainsMatcher {
 public:
  explicit ContainsMatcher(std::string pattern) : m_pattern(std::move(pattern)) {}
  bool operator()(const std::string& line) const;

 private:
  std::string m_pattern;
};

// True for a line by which the module refuses a command: the final result
// codes "ERROR", "+CME ERROR: <n>" and "+CMS ERROR: <n>" (3GPP TS 27.007),
// and Sierra Wireless's "ERROR CODE = <n>", which its "OK" follows.
bool IsRefusal(const std::string& line);

// The line as a person reads it: without its line end and outer blanks.
std::string ReplyText(const std::string& line);

// Follows the reply to "AT+WGPS?": a "+WGPS: 0" line sets m_bGnssOff, a
// "+WGPS: 1" line clears it (neither ends the wait); an "OK" line ends it.
// m_bGnssOff starts at 0 ("on" unless told otherwise), so a reply without a
// state line makes the engine stop GNSS first: the safe side for a cold start.
// A profile gives its own texts for off, on and the end of the reply.
class GnssStateMatcher {
 public:
  GnssStateMatcher();
  GnssStateMatcher(std::string off, std::string on, std::string done)
      : m_off(std::move(off)), m_on(std::move(on)), m_done(std::move(done)) {}
  bool operator()(const std::string& line);
  int m_bGnssOff = 0;
  // Whether a state line was seen at all during the wait.
  bool m_bStateSeen = false;

 private:
  std::string m_off, m_on, m_done;
};
