// Where a test program finds the source tree's data and the programs it
// runs. The build writes them into one small file per test program, so
// that the tests' own code compiles the same in every clone (and a
// compiler cache serves a fresh clone in another folder).
#pragma once

namespace testsupport {

extern const char* const kSourceDir;    // the source tree
extern const char* const kNmeaDataDir;  // tests/data/nmea, the recordings
extern const char* const kCliPath;      // the build's zuvek-cli
// The build's zuvek-cli whose day folder fills up (cli_tests only).
extern const char* const kCliFullDiskPath;
// The build's stand-in ModemManager (modem_manager_bus_tests only).
extern const char* const kStandInPath;

}  // namespace testsupport
