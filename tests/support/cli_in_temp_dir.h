// zuvek-cli copied into a temporary folder, so that a test's TTFF.cfg,
// zuvek.toml and logs stay there, and the paths of the logs it printed.
#pragma once

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace testsupport {

struct CliInTempDir {
  TempDir dir;
  std::string exe = dir.file("zuvek-cli");
  // zuvek-cli, and beside it the program that draws its report (when built).
  CliInTempDir() {
    std::filesystem::copy_file(testsupport::kCliPath, exe);
    const auto report = std::filesystem::path(testsupport::kCliPath).parent_path() / "zuvek-report";
    if (std::filesystem::exists(report))
      std::filesystem::copy_file(report, dir.file("zuvek-report"));
  }
  // The per-user data folder of the runs (their results store) is here too.
  std::string StoreEnv() const { return "XDG_DATA_HOME=" + dir.file("share"); }
  std::string StorePath() const { return dir.file("share") + "/zuvek/results.sqlite"; }
  void Settings(const std::string& text) const { std::ofstream(dir.file("zuvek.toml")) << text; }
  // `zuvek-cli <lead...> <args...>` in the folder (SIGINT at the end of a hung run).
  ProgramResult Run(const std::vector<std::string>& lead, std::vector<std::string> args) const {
    args.insert(args.begin(), lead.begin(), lead.end());
    args.insert(args.begin(), exe);
    return RunProgram(args, dir.path().string(), {StoreEnv()}, SIGINT, -1);
  }
  // The first path printed that ends with `suffix` ("_summary.json").
  static std::string LogPath(const std::string& out, const std::string& suffix) {
    std::smatch m;
    return std::regex_search(out, m, std::regex("(\\S+" + suffix + ")")) ? m[1].str() : "";
  }
  static nlohmann::json Summary(const std::string& out) {
    return nlohmann::json::parse(ReadFile(LogPath(out, "_summary.json")));
  }
};

}  // namespace testsupport
