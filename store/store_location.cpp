#include "store/store_location.h"

#include "platform/folders.h"
#include "store/spooled_store.h"
#include "store/sqlite_store.h"

namespace store {

std::string DefaultStorePath() {
  const std::string folder = platform::UserDataFolder();
  return folder.empty() ? "" : folder + "results.sqlite";
}

std::string ChooseStoreLocation(const std::string& option, const std::string& setting) {
  if (!option.empty())
    return option;
  if (!setting.empty())
    return setting;
  return DefaultStorePath();
}

std::string ChooseStoreToRead(const std::string& option, const std::string& setting) {
  if (!option.empty())
    return option;
  if (!setting.empty())
    return setting;
  const std::string folder = platform::UserDataFolderPath();
  return folder.empty() ? "" : folder + "results.sqlite";
}

bool IsNoStore(const std::string& location) {
  return location == "none";
}

bool IsServerLocation(const std::string& location) {
  return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<ResultsStore> OpenStore(const std::string& location,
                                        std::function<void(const std::string&)> tell) {
  if (location.empty())
    throw StoreError(
        "there is no per-user data folder for the results store (set XDG_DATA_HOME or HOME), "
        "so the runs are only in the text logs; give one with --store PATH");
  if (IsServerLocation(location)) {
    const std::string spool = DefaultStorePath();
    if (spool.empty())
      throw StoreError("there is no per-user data folder for the spool of " + ServerName(location) +
                       " (set XDG_DATA_HOME or HOME)");
    return std::make_unique<SpooledStore>(location, spool, tell);
  }
  return std::make_unique<SqliteStore>(location);
}

}  // namespace store
