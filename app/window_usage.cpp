#include "app/window_usage.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: zuvek [OPTIONS]\n"
    "The window of ZUVEK, the time-to-first-fix (TTFF) bench tool for GNSS receivers in\n"
    "cellular modules: choose the AT and NMEA ports and their baud rates, press Open,\n"
    "then Run; the live position and the satellites' signal strength show while the\n"
    "ports are open. zuvek-cli runs the same tests without a window.\n"
    "\n"
    "Options:\n"
    "  -h, --help              print this help and exit\n"
    "  --version               print the version and exit\n"
    "  --demo-ports AT,NMEA    choose the ports whose names hold these texts and press\n"
    "                          Open (demonstrations, with the ports of zuvek-cli sim)\n"
    "  --demo-run N            then press Run for a test of N runs\n"
    "  --screenshot FILE       save a picture of the window as FILE once fixes are in,\n"
    "                          then close the window\n"
    "  --screenshot-rows N     wait for N result rows before the picture (default 1)\n"
    "Qt's own options (-platform NAME, -style NAME, ...) are taken too.\n"
    "\n"
    "Environment:\n"
    "  ZUVEK_TIME_SCALE=N      run the clock N times faster, only on the ports of a\n"
    "                          zuvek-cli sim running at that time scale\n"
    "\n"
    "Files: TTFF.cfg and zuvek.toml in the working directory (the settings, written\n"
    "when the window closes); the day folders beside the program, or in\n"
    "$XDG_DATA_HOME/zuvek (~/.local/share/zuvek) when its folder cannot be written.\n";

}  // namespace

std::optional<int> AnswerUsageQuestion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("zuvek %s\n", ZUVEK_VERSION);
      return 0;
    }
  }
  return std::nullopt;
}
