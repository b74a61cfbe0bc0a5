#include "cli/completion_script.h"

#include <algorithm>

namespace cli {

namespace {

// A word bash sees as it is between single quotes.
std::string Quoted(const std::string& word) {
  return "'" + word + "'";
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) {
    if (w.find_first_of("' \t\n") != std::string::npos)
      continue;  // never a name or value of ours; kept out of the quotes
    out += (out.empty() ? "" : " ") + w;
  }
  return out;
}

// One case arm: the patterns joined by |, then the action.
void Arm(std::string& out, const std::vector<std::string>& patterns, const std::string& action) {
  if (patterns.empty())
    return;
  out += "    ";
  for (size_t i = 0; i < patterns.size(); ++i)
    out += (i == 0 ? "" : i % 4 ? "|" : "|\\\n    ") + Quoted(patterns[i]);
  out += ") " + action + " ;;\n";
}

// Walking the words typed so far: an option's value is skipped, a
// subcommand's name moves the path on.
std::string WalkArms(const std::vector<CommandEntry>& table) {
  std::vector<std::string> valued;
  std::string out;
  for (const CommandEntry& c : table) {
    for (const OptionEntry& o : c.options) {
      if (o.positional.empty() && !o.value.empty()) {
        for (const std::string& name : o.names)
          valued.push_back(c.path + "|" + name);
      }
    }
  }
  Arm(out, valued, "skip=1");
  for (const CommandEntry& c : table) {
    for (const std::string& sub : c.subcommands)
      Arm(out, {c.path + "|" + sub}, "path=" + Quoted(c.path.empty() ? sub : c.path + " " + sub));
  }
  return out;
}

// After an option that takes a value: its fixed values, file names, or
// nothing to offer (a number).
std::string ValueArms(const std::vector<CommandEntry>& table) {
  std::string out;
  for (const CommandEntry& c : table) {
    for (const OptionEntry& o : c.options) {
      if (!o.positional.empty() || o.value.empty())
        continue;
      std::vector<std::string> patterns;
      for (const std::string& name : o.names)
        patterns.push_back(c.path + "|" + name);
      std::string action = "words=" + Quoted(Joined(o.choices));
      if (o.files)
        action += "; files=1";
      Arm(out, patterns, action);
    }
  }
  return out;
}

// Elsewhere: the command's options after a '-', else its subcommands and
// the values of its positionals.
std::string WordArms(const std::vector<CommandEntry>& table, bool options) {
  std::string out;
  for (const CommandEntry& c : table) {
    std::vector<std::string> words;
    bool files = false;
    for (const OptionEntry& o : c.options) {
      if (options && o.positional.empty())
        words.insert(words.end(), o.names.begin(), o.names.end());
      if (!options && !o.positional.empty()) {
        words.insert(words.end(), o.choices.begin(), o.choices.end());
        files = files || o.files;
      }
    }
    if (!options)
      words.insert(words.end(), c.subcommands.begin(), c.subcommands.end());
    Arm(out, {c.path}, "words=" + Quoted(Joined(words)) + (files ? "; files=1" : ""));
  }
  return out;
}

}  // namespace

std::string BashCompletionScript(const std::vector<CommandEntry>& table,
                                 const std::string& program) {
  std::string function = "_" + program;
  std::replace(function.begin(), function.end(), '-', '_');
  return "# bash completion for " + program +
         ": its subcommands, their options and the values they take.\n"
         "# Written by `" +
         program + " completion bash` from the program's own options.\n" + function +
         "() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  local path= skip= words= files= i\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    if [[ -n $skip ]]; then skip=; continue; fi\n"
         "    case \"$path|${COMP_WORDS[i]}\" in\n" +
         WalkArms(table) +
         "    esac\n"
         "  done\n"
         "  case \"$path|$prev\" in\n" +
         ValueArms(table) +
         "    *)\n"
         "      if [[ $cur == -* ]]; then\n"
         "        case \"$path\" in\n" +
         WordArms(table, true) +
         "        esac\n"
         "      else\n"
         "        case \"$path\" in\n" +
         WordArms(table, false) +
         "        esac\n"
         "      fi ;;\n"
         "  esac\n"
         "  mapfile -t COMPREPLY < <(compgen -W \"$words\" -- \"$cur\")\n"
         "  if [[ -n $files ]]; then\n"
         "    compopt -o filenames 2>/dev/null\n"
         "    mapfile -t -O \"${#COMPREPLY[@]}\" COMPREPLY < <(compgen -f -- \"$cur\")\n"
         "  fi\n"
         "}\n"
         "complete -F " +
         function + " " + program + "\n";
}

}  // namespace cli
