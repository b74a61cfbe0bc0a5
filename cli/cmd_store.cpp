// zuvek-cli store: the results store's own commands. `sync` sends the runs
// waiting in the local spool to the results server; `import` adds day
// folders written before the store (or without it) from their CSV and
// result logs.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command.h"
#include "config/side_settings.h"
#include "store/day_folder_import.h"
#include "store/spooled_store.h"
#include "store/store_location.h"

namespace {

class StoreCommand : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    auto* sub = app.add_subcommand("store", "The results store: send waiting runs, import logs");
    sub->require_subcommand(1);
    sync_ = sub->add_subcommand("sync",
                                "send the runs that wait in the local spool to the results server");
    sync_->add_option("--store", store_, "postgresql://... (default: zuvek.toml)");
    import_ = sub->add_subcommand(
        "import", "add the tests of day folders (their CSV and result logs) to the store");
    import_->add_option("DAYFOLDER", folders_, "day folders (yyyy-mm-dd)")->required();
    import_->add_option("--store", store_,
                        "a SQLite file or postgresql://... (default: zuvek.toml, else "
                        "results.sqlite in the per-user data folder)");
    sub->footer(
        "Exit codes: 0 done; 1 the store or a folder could not be used; 2 bad command "
        "line.");
    return sub;
  }

  int Run() override {
    for (const std::string& problem : LoadSideSettings())
      std::cerr << "zuvek-cli: " << problem << "\n";
    const std::string where = store::ChooseStoreLocation(store_, g_side_settings.store);
    if (sync_->parsed())
      return Sync(where);
    return Import(where);
  }

 private:
  int Sync(const std::string& where) {
    if (!store::IsServerLocation(where)) {
      std::cerr << "zuvek-cli store sync: the store " << (where.empty() ? "(none)" : where)
                << " is no results server; give one with --store postgresql://... (or the "
                   "store key of zuvek.toml)\n";
      return cli::kExitUsage;
    }
    try {
      store::SpooledStore s(where, store::DefaultStorePath());
      const std::size_t sent = s.Sync();
      std::cout << "sent " << sent << " waiting row" << (sent == 1 ? "" : "s") << " to "
                << s.Where() << "; nothing waits in " << s.SpoolPath() << "\n";
      return cli::kExitOk;
    } catch (const std::exception& e) {
      std::cerr << "zuvek-cli store sync: " << e.what()
                << "; the runs stay in the spool, run it again when the server is back\n";
      return cli::kExitFailure;
    }
  }

  int Import(const std::string& where) {
    if (store::IsNoStore(where)) {
      std::cerr << "zuvek-cli store import: the store is \"none\"; give one with --store\n";
      return cli::kExitUsage;
    }
    int code = cli::kExitOk;
    try {
      auto s = store::OpenStore(where, [](const std::string& t) { std::cerr << t << "\n"; });
      for (const std::string& folder : folders_) {
        const store::ImportCount n = store::ImportDayFolder(*s, folder, [&](const std::string& p) {
          std::cerr << "zuvek-cli store import: " << p << "\n";
          code = cli::kExitFailure;
        });
        std::cout << folder << ": " << n.tests << " test" << (n.tests == 1 ? "" : "s") << ", "
                  << n.runs << " run" << (n.runs == 1 ? "" : "s") << " read into " << s->Where()
                  << " (rows it had already were kept)\n";
      }
    } catch (const std::exception& e) {
      std::cerr << "zuvek-cli store import: " << e.what() << "\n";
      return cli::kExitFailure;
    }
    return code;
  }

  CLI::App* sync_ = nullptr;
  CLI::App* import_ = nullptr;
  std::string store_;
  std::vector<std::string> folders_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(StoreCommand);
