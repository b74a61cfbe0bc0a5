#include "engine/at_matchers.h"

#include <cstring>

#include "profiles/module_commands.h"

namespace {

// A substring search on the text as a C string sees it (up to a NUL).
bool Contains(const std::string& line, const char* pattern) {
  return std::strstr(line.c_str(), pattern) != nullptr;
}

}  // namespace

std::string ReplyText(const std::string& line) {
  const auto first = line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos)
    return {};
  const auto last = line.find_last_not_of(" \t\r\n");
  return line.substr(first, last - first + 1);
}

bool IsRefusal(const std::string& line) {
  const std::string text = ReplyText(line);
  for (const char* prefix : {"+CME ERROR:", "+CMS ERROR:", "ERROR CODE ="})
    if (text.rfind(prefix, 0) == 0)
      return true;
  return text == "ERROR";
}

bool ContainsMatcher::operator()(const std::string& line) const {
  return Contains(line, m_pattern.c_str());
}

GnssStateMatcher::GnssStateMatcher()
    : GnssStateMatcher(module::kReplyGnssOff, module::kReplyGnssOn, module::kReplyOk) {}

bool GnssStateMatcher::operator()(const std::string& line) {
  if (Contains(line, m_off.c_str())) {
    m_bGnssOff = 1;
    m_bStateSeen = true;
    return false;
  }
  if (Contains(line, m_on.c_str())) {
    m_bGnssOff = 0;
    m_bStateSeen = true;
    return false;
  }
  return Contains(line, m_done.c_str());
}
