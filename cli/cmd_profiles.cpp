// zuvek-cli profiles [show NAME | check FILE]: the bundled module profiles,
// one to start from, and the check of a profile of one's own.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/command.h"
#include "cli/profile_option.h"
#include "profiles/bundled_profiles.h"
#include "profiles/profile_loader.h"

namespace {

class ProfilesCommand : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    sub_ = app.add_subcommand("profiles",
                              "List the bundled module profiles (the AT dialect of a module "
                              "family); show one; check a profile file");
    show_ = sub_->add_subcommand("show", "Print a bundled profile, a starting point for your own");
    show_->add_option("name", name_, "the profile's name (see 'zuvek-cli profiles')")
        ->check(cli::ProfileChoices(false))
        ->required();
    check_ =
        sub_->add_subcommand("check", "Read a profile file and tell every mistake with its line");
    check_->add_option("file", name_, "the profile: a file, or a bundled profile's name")
        ->check(cli::ProfileChoices(true))
        ->required();
    sub_->footer(
        "Use one with 'zuvek-cli run --profile NAME|FILE' or 'profile = \"NAME|FILE\"' in\n"
        "zuvek.toml. To write your own: zuvek-cli profiles show default > mine.toml, edit it,\n"
        "then zuvek-cli profiles check mine.toml.\n"
        "Exit codes: 0 done; 1 no such profile, or the profile has mistakes.");
    return sub_;
  }

  int Run() override {
    if (show_->parsed()) {
      const BundledProfile* p = FindBundledProfile(name_);
      if (!p) {
        std::cerr << "zuvek-cli profiles: no bundled profile \"" << name_
                  << "\" (bundled: " << BundledProfileNames() << ")\n";
        return cli::kExitFailure;
      }
      std::cout << p->text;
      return cli::kExitOk;
    }
    if (check_->parsed()) {
      const ProfileLoad load = ResolveProfile(name_);
      for (const std::string& problem : load.problems)
        std::cerr << problem << "\n";
      if (!load.profile)
        return cli::kExitFailure;
      std::cout << name_ << ": profile \"" << load.profile->name << "\" is good\n";
      return cli::kExitOk;
    }
    for (const BundledProfile& b : BundledProfiles()) {
      const ProfileLoad load = ParseProfile(b.text, std::string(b.name) + ".toml");
      std::printf("%-10s %s\n", b.name,
                  load.profile ? load.profile->description.c_str() : "(does not load)");
    }
    return cli::kExitOk;
  }

 private:
  CLI::App* sub_ = nullptr;
  CLI::App* show_ = nullptr;
  CLI::App* check_ = nullptr;
  std::string name_;
};

ZUVEK_REGISTER_COMMAND(ProfilesCommand);

}  // namespace
