#include "cli/manual_section.h"

namespace cli {

std::string RoffText(const std::string& text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && (c == '.' || c == '\''))
      out += "\\&";
    if (c == '\\')
      out += "\\e";
    else
      out += c;
    line_start = c == '\n';
  }
  return out;
}

namespace {

// An option's name as roff prints a literal minus.
std::string RoffName(const std::string& name) {
  std::string out;
  for (char c : name)
    out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

std::string OptionTag(const OptionEntry& o) {
  std::string tag;
  if (!o.positional.empty()) {
    tag = "\\fI" + RoffText(o.positional) + "\\fR";
  } else {
    for (const std::string& name : o.names)
      tag += (tag.empty() ? "\\fB" : "\\fR, \\fB") + RoffName(name);
    tag += "\\fR";
  }
  if (!o.value.empty())
    tag += " " + RoffText(o.value);
  return tag;
}

std::string Synopsis(const CommandEntry& c, const std::string& program) {
  std::string out = program + " " + c.path;
  if (c.options.size() > 1 || (c.options.size() == 1 && c.options[0].positional.empty()))
    out += " [OPTIONS]";
  for (const OptionEntry& o : c.options) {
    if (!o.positional.empty())
      out += " " + o.positional;
  }
  if (!c.subcommands.empty())
    out += " SUBCOMMAND";
  return out;
}

}  // namespace

std::string ManualCommandsSection(const std::vector<CommandEntry>& table,
                                  const std::string& program) {
  std::string out = "[COMMANDS]\n";
  for (const CommandEntry& c : table) {
    if (c.path.empty())
      continue;
    out += ".SS \"" + RoffText(Synopsis(c, program)) + "\"\n";
    out += RoffText(c.description) + "\n";
    for (const OptionEntry& o : c.options) {
      out += ".TP\n" + OptionTag(o) + "\n";
      if (!o.description.empty())
        out += RoffText(o.description) + "\n";
    }
    if (!c.footer.empty())
      out += ".PP\n" + RoffText(c.footer) + "\n";
  }
  return out;
}

}  // namespace cli
