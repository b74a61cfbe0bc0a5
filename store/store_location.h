// Which results store a command writes to: `--store PATH|postgresql://...|none`,
// else the `store` key of zuvek.toml, else results.sqlite in the per-user
// data folder.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "store/results_store.h"

namespace store {

// $XDG_DATA_HOME/zuvek/results.sqlite (by default ~/.local/share/zuvek/...);
// empty when there is no such folder.
std::string DefaultStorePath();
// The location a command uses: the option, else the setting, else the default.
std::string ChooseStoreLocation(const std::string& option, const std::string& setting);
// The same for reading only: the per-user folder is not made for it.
std::string ChooseStoreToRead(const std::string& option, const std::string& setting);
bool IsNoStore(const std::string& location);
bool IsServerLocation(const std::string& location);
// Opens the store at a location (not "none"); throws StoreError. A server
// gets the default store as its spool; tell hears of its outages.
std::unique_ptr<ResultsStore> OpenStore(const std::string& location,
                                        std::function<void(const std::string&)> tell = {});

}  // namespace store
