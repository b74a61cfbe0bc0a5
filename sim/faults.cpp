#include "sim/faults.h"
#include "platform/file_reads.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace sim {

void FaultSet::Merge(const FaultSet& o) {
  silent = silent || o.silent;
  if (o.late_ms > 0)
    late_ms = o.late_ms;
  no_delete_ack = no_delete_ack || o.no_delete_ack;
  if (o.error) {
    error = true;
    error_prefix = o.error_prefix;
  }
  gnss_on = gnss_on || o.gnss_on;
  no_fix = no_fix || o.no_fix;
  reset_ignored = reset_ignored || o.reset_ignored;
  garbage = garbage || o.garbage;
  split_crlf = split_crlf || o.split_crlf;
  burst = burst || o.burst;
  if (o.drop_nmea_s >= 0)
    drop_nmea_s = o.drop_nmea_s;
  if (o.drop_at_s >= 0)
    drop_at_s = o.drop_at_s;
  if (o.vanish_after_s >= 0) {
    vanish_after_s = o.vanish_after_s;
    vanish_for_s = o.vanish_for_s;
  }
}

bool FaultSet::ErrorFor(const std::string& command) const {
  return error && command.compare(0, error_prefix.size(), error_prefix) == 0;
}

namespace {

bool ParseNumber(const std::string& text, double& out) {
  if (text.empty())
    return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && out >= 0;
}

}  // namespace

bool ApplyFaultWord(const std::string& word, FaultSet& f) {
  const auto eq = word.find('=');
  const std::string key = word.substr(0, eq);
  const std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
  const bool has_value = eq != std::string::npos;
  double number = 0;
  if (key == "silent" && !has_value)
    f.silent = true;
  else if (key == "late" && ParseNumber(value, number))
    f.late_ms = static_cast<std::int64_t>(number);
  else if (key == "no-delete-ack" && !has_value)
    f.no_delete_ack = true;
  else if (key == "error") {
    f.error = true;
    f.error_prefix = value;
    for (char& c : f.error_prefix)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  } else if (key == "gnss-on" && !has_value)
    f.gnss_on = true;
  else if (key == "no-fix" && !has_value)
    f.no_fix = true;
  else if (key == "reset-ignored" && !has_value)
    f.reset_ignored = true;
  else if (key == "garbage" && !has_value)
    f.garbage = true;
  else if (key == "split-crlf" && !has_value)
    f.split_crlf = true;
  else if (key == "burst" && !has_value)
    f.burst = true;
  else if (key == "drop-nmea" && ParseNumber(value, number))
    f.drop_nmea_s = number;
  else if (key == "drop-at" && ParseNumber(value, number))
    f.drop_at_s = number;
  else if (key == "vanish" && value.find(':') != std::string::npos) {
    double gone = 0;
    if (!ParseNumber(value.substr(0, value.find(':')), number) ||
        !ParseNumber(value.substr(value.find(':') + 1), gone))
      return false;
    f.vanish_after_s = number;
    f.vanish_for_s = gone;
  } else
    return false;
  return true;
}

std::optional<FaultScript> FaultScript::Parse(const std::string& text, std::string* error) {
  FaultScript script;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) -> std::optional<FaultScript> {
    if (error)
      *error = "line " + std::to_string(number) + ": " + why;
    return std::nullopt;
  };
  while (std::getline(in, line)) {
    ++number;
    if (const auto hash = line.find('#'); hash != std::string::npos)
      line.resize(hash);
    const auto colon = line.find(':');
    std::istringstream head(line.substr(0, colon == std::string::npos ? 0 : colon));
    std::string who;
    head >> who;
    if (colon == std::string::npos) {
      if (line.find_first_not_of(" \t\r") == std::string::npos)
        continue;
      return fail("expected \"run N:\" or \"all:\"");
    }
    int run = 0;
    if (who == "run") {
      if (!(head >> run) || run < 1)
        return fail("bad run number");
    } else if (who != "all") {
      return fail("expected \"run N:\" or \"all:\"");
    }
    FaultSet faults;
    std::istringstream words(line.substr(colon + 1));
    std::string word;
    while (words >> word) {
      if (!ApplyFaultWord(word, faults))
        return fail("unknown fault \"" + word + "\"");
    }
    if (run == 0)
      script.all_.Merge(faults);
    else
      script.runs_[run].Merge(faults);
  }
  return script;
}

std::optional<FaultScript> FaultScript::Load(const std::string& path, std::string* error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    if (error)
      *error = path + " is a folder; give a fault script file (lines like \"run 2: no-fix\")";
    return std::nullopt;
  }
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    if (error)
      *error = "cannot read " + path;
    return std::nullopt;
  }
  return Parse(*text, error);
}

FaultSet FaultScript::ForRun(int run) const {
  FaultSet faults = all_;
  if (const auto it = runs_.find(run); it != runs_.end())
    faults.Merge(it->second);
  return faults;
}

}  // namespace sim
