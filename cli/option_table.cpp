#include "cli/option_table.h"

#include <CLI/CLI.hpp>

namespace cli {

std::vector<std::string> FixedValues(const std::string& type) {
  std::vector<std::string> out;
  const size_t open = type.find('{');
  const size_t close = type.find('}', open);
  if (open == std::string::npos || close == std::string::npos)
    return out;
  std::string word;
  for (size_t i = open + 1; i <= close; ++i) {
    if (type[i] == ',' || type[i] == '}') {
      if (!word.empty())
        out.push_back(word);
      word.clear();
    } else {
      word += type[i];
    }
  }
  return out;
}

namespace {

OptionEntry ReadOption(const CLI::Option& opt) {
  OptionEntry e;
  for (const std::string& name : opt.get_lnames())
    e.names.push_back("--" + name);
  for (const std::string& name : opt.get_snames())
    e.names.push_back("-" + name);
  if (!opt.nonpositional())
    e.positional = opt.get_name(true);
  if (opt.get_type_size_max() > 0 || !opt.nonpositional()) {
    e.value = opt.get_type_name();
    e.choices = FixedValues(e.value);
    // CLI11's checks name a path as FILE, DIR or PATH; a text without fixed
    // values may be anything, a file name among others (a port, a store).
    const bool text = e.value.rfind("TEXT", 0) == 0 && e.choices.empty();
    e.files = text || e.value.find("FILE") != std::string::npos ||
              e.value.find("DIR") != std::string::npos || e.value.find("PATH") != std::string::npos;
  }
  e.description = opt.get_description();
  return e;
}

void ReadCommand(const CLI::App& app, const std::string& path, std::vector<CommandEntry>& out) {
  CommandEntry entry;
  entry.path = path;
  entry.description = app.get_description();
  entry.footer = app.get_footer();
  for (const CLI::Option* opt : app.get_options()) {
    if (!opt->get_group().empty())
      entry.options.push_back(ReadOption(*opt));
  }
  const auto shown = [](const CLI::App* sub) {
    return !sub->get_name().empty() && !sub->get_group().empty();
  };
  const std::vector<const CLI::App*> subs = app.get_subcommands(shown);
  for (const CLI::App* sub : subs)
    entry.subcommands.push_back(sub->get_name());
  out.push_back(std::move(entry));
  for (const CLI::App* sub : subs)
    ReadCommand(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), out);
}

}  // namespace

std::vector<CommandEntry> ReadOptionTable(const CLI::App& app) {
  std::vector<CommandEntry> out;
  ReadCommand(app, "", out);
  return out;
}

}  // namespace cli
