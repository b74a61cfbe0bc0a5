#include "profiles/module_commands.h"

const char* RestartTypeName(int restart_type) {
  switch (restart_type) {
    case RESTART_COLD:
      return "Cold Start";
    case RESTART_WARM:
      return "Warm Start";
    case RESTART_PLAIN:
      return "Plain Start";
    case RESTART_POWER_CYCLE:
      return "Power Cycle";
    default:
      return "Hot Start";
  }
}

int RestartTypeOfName(const std::string& name) {
  for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM, RESTART_PLAIN, RESTART_POWER_CYCLE})
    if (name == RestartTypeName(type))
      return type;
  return -1;
}

const char* RestartTypeWord(int restart_type) {
  switch (restart_type) {
    case RESTART_COLD:
      return "cold";
    case RESTART_WARM:
      return "warm";
    case RESTART_PLAIN:
      return "plain";
    case RESTART_POWER_CYCLE:
      return "power-cycle";
    default:
      return "hot";
  }
}

int RestartTypeOfWord(const std::string& word) {
  for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM, RESTART_PLAIN, RESTART_POWER_CYCLE})
    if (word == RestartTypeWord(type))
      return type;
  return -1;
}

const std::vector<std::string>& AskableRestartWords() {
  static const std::vector<std::string> words{"hot", "cold", "warm", "power-cycle"};
  return words;
}
