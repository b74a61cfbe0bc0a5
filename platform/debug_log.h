// The debug log of a program start: "ZUVEK_yyyy-mm-dd_hh_mm_ss.txt" in the
// working directory; the ones of earlier starts are deleted from the
// program's folder first.
#pragma once

#include <cstdio>
#include <string>

#include "platform/clock.h"

// Appends one entry "[%s] line:%d\t\t%s" to the debug log, stamped with the
// process clock's local time. A message of any length is written whole.
void LogDebug(const char* message, int line);
#define LOG_DEBUG(message) LogDebug((message), __LINE__)

// The open debug log, or null. Written through LogDebug.
extern std::FILE* g_fp_debug_log;

// Installs fp as the debug log (null to detach) and returns the previous one.
std::FILE* SetDebugLogStream(std::FILE* fp);
// Writes the bytes to the debug log, if open, and flushes it. One writer at a
// time; returns false when nothing could be written.
bool WriteDebugLog(const char* data, std::size_t size);

// The file name of a debug log started at t.
std::string DebugLogName(const platform::LocalTime& t);

// True for a file name that an earlier start's debug log may have: a ".txt"
// name holding "ZUVEK_20" anywhere (case-sensitive).
bool IsOldDebugLogName(const std::string& name);

// Deletes the old debug logs in program_folder (files only) and opens the
// new one in the working directory into g_fp_debug_log. Returns the name
// opened, empty when it could not be created.
std::string PrepareDebugLogIn(const std::string& program_folder, const platform::Clock& clock);
// The same for the program's own folder.
std::string PrepareDebugLog();
// Opens a new debug log in `folder` (a test of its own, such as a module of
// a bench: the other tests' debug logs of the same second stay theirs).
void OpenDebugLogIn(const std::string& folder, const platform::Clock& clock);
// Closes the debug log if it is open.
void CloseDebugLog();
