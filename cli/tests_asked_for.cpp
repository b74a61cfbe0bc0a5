#include "cli/tests_asked_for.h"

#include <iostream>
#include <memory>

#include "config/side_settings.h"
#include "platform/folders.h"
#include "report/store_tests.h"
#include "store/store_location.h"

namespace cli {

namespace {

// The tests of a store: selector; the store is opened at the first one.
std::optional<report::TestData> ReadFromStore(const std::string& given, const std::string& store,
                                              std::unique_ptr<store::StoreReader>& reader) {
  std::string problem;
  try {
    if (!reader) {
      for (const std::string& p : LoadSideSettings())
        std::cerr << "zuvek-cli: " << p << "\n";
      reader = store::OpenReader(store::ChooseStoreToRead(store, g_side_settings.store));
    }
    auto test = report::ReadStoreSelector(*reader, given, problem);
    if (!test)
      std::cerr << "zuvek-cli: " << problem << "\n";
    return test;
  } catch (const std::exception& e) {
    std::cerr << "zuvek-cli: " << e.what() << "\n";
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::vector<report::TestData>> ReadTestsAskedFor(
    const std::vector<std::string>& given_tests, const std::string& store) {
  // A stem DAY/hh-mm-ss is looked for where the logs go: beside the program
  // or in the per-user data folder (an installed program's).
  std::vector<std::string> dirs;
  for (const std::string& dir : {platform::GetProgramFolder(), platform::UserDataFolder()}) {
    if (!dir.empty())
      dirs.push_back(dir);
  }
  std::vector<report::TestData> tests;
  std::unique_ptr<store::StoreReader> reader;
  for (const std::string& given : given_tests) {
    if (report::IsStoreSelector(given)) {
      auto test = ReadFromStore(given, store, reader);
      if (!test)
        return std::nullopt;
      tests.push_back(std::move(*test));
      for (const std::string& p : tests.back().problems)
        std::cerr << "zuvek-cli: " << given << ": " << p << "\n";
      continue;
    }
    std::string problem;
    const auto files = report::FindTestFiles(given, dirs, problem);
    if (!files) {
      std::cerr << "zuvek-cli: " << problem << "\n";
      return std::nullopt;
    }
    tests.push_back(report::ReadTest(*files));
    for (const std::string& p : tests.back().problems)
      std::cerr << "zuvek-cli: " << files->label << ": " << p << "\n";
  }
  return tests;
}

}  // namespace cli
