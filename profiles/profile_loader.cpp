#include "profiles/profile_loader.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "config/toml_text.h"
#include "platform/file_reads.h"
#include "profiles/bundled_profiles.h"
#include "profiles/module_commands.h"

namespace {

constexpr unsigned kMaxTimeoutS = 3600;
constexpr int kMaxAttempts = 100;

// Walks the parsed table; every problem is kept with its line.
class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  void Fail(const toml::node& node, const std::string& what) {
    problems_.push_back(source_ + ":" + std::to_string(node.source().begin.line) + ": " + what);
  }
  void FailAt(std::size_t line, const std::string& what) {
    problems_.push_back(source_ + ":" + std::to_string(line) + ": " + what);
  }
  std::vector<std::string>& Problems() { return problems_; }

  // Calls tell(key, node, "a, b, c") for every key of `table` that is not
  // among `known`.
  template <class Known, class Tell>
  static void EachUnknownKey(const toml::table& table, const Known& known, Tell tell) {
    for (const auto& [key, node] : table) {
      bool ok = false;
      std::string list;
      for (const char* k : known) {
        ok = ok || key.str() == k;
        list += std::string(list.empty() ? "" : ", ") + k;
      }
      if (!ok)
        tell(std::string(key.str()), node, list);
    }
  }

  // Tells every key of `table` that is not among `known`.
  void OnlyKnown(const toml::table& table, const std::string& where,
                 std::initializer_list<const char*> known) {
    EachUnknownKey(table, known,
                   [&](const std::string& key, const toml::node& node, const std::string& list) {
                     Fail(node, "unknown key \"" + where + key + "\" (known here: " + list + ")");
                   });
  }

  // A text value; false (and a problem) when present but not a text.
  bool Text(const toml::table& table, const char* key, const std::string& where, std::string& out) {
    const toml::node* node = table.get(key);
    if (!node)
      return false;
    if (const auto v = node->value_exact<std::string>()) {
      out = *v;
      return true;
    }
    Fail(*node, where + key + " must be a quoted text");
    return false;
  }

  void Whole(const toml::table& table, const char* key, const std::string& where, long long min,
             long long max, auto& out) {
    const toml::node* node = table.get(key);
    if (!node)
      return;
    const auto v = node->value_exact<std::int64_t>();
    if (!v || *v < min || *v > max) {
      Fail(*node, where + key + " must be a whole number from " + std::to_string(min) + " to " +
                      std::to_string(max));
      return;
    }
    out = static_cast<std::remove_reference_t<decltype(out)>>(*v);
  }

  // A list of non-empty texts; left as it was (and a problem) when it is not.
  void Texts(const toml::table& table, const char* key, const std::string& where,
             std::vector<std::string>& out) {
    const toml::node* node = table.get(key);
    if (!node)
      return;
    std::vector<std::string> texts;
    const toml::array* array = node->as_array();
    for (std::size_t i = 0; array && i < array->size(); ++i) {
      const auto v = array->get(i)->value_exact<std::string>();
      if (!v || v->empty())
        break;
      texts.push_back(*v);
    }
    if (!array || texts.size() != array->size()) {
      Fail(*node, where + key + " must be a list of quoted, non-empty texts");
      return;
    }
    out = texts;
  }

  // A step table: command (required), reply, timeout, attempts, and the
  // extra keys the caller reads itself.
  std::optional<ProfileStep> Step(const toml::node& node, const std::string& where,
                                  const ProfileStep& base,
                                  std::initializer_list<const char*> extra = {}) {
    const toml::table* table = node.as_table();
    if (!table) {
      Fail(node, where + " must be a table ([" + where + "])");
      return std::nullopt;
    }
    std::vector<const char*> known = {"command", "reply", "timeout", "attempts", "busy"};
    known.insert(known.end(), extra.begin(), extra.end());
    EachUnknownKey(*table, known,
                   [&](const std::string& key, const toml::node& value, const std::string& list) {
                     Fail(value,
                          "unknown key \"" + key + "\" in [" + where + "] (known: " + list + ")");
                   });
    ProfileStep step = base;
    // Every key is checked, also when the command is wrong.
    std::string reply;
    if (Text(*table, "reply", where + ".", reply)) {
      if (reply.empty())
        Fail(*table->get("reply"), where + ".reply is empty (every line would match)");
      step.reply = reply;
    }
    Whole(*table, "timeout", where + ".", 1, kMaxTimeoutS, step.timeout_s);
    Whole(*table, "attempts", where + ".", 1, kMaxAttempts, step.attempts);
    Texts(*table, "busy", where + ".", step.busy);
    std::string command;
    if (!Text(*table, "command", where + ".", command)) {
      if (!table->get("command"))
        Fail(node, "[" + where + "] has no command");
      return std::nullopt;
    }
    if (command.find_first_not_of(" \t\r\n") == std::string::npos) {
      Fail(*table->get("command"), where + ".command is empty");
      return std::nullopt;
    }
    step.command = CommandLine(command);
    return step;
  }

 private:
  std::string source_;
  std::vector<std::string> problems_;
};

// The placeholders of the XTRA time command; anything else in braces is a
// mistake.
void CheckPlaceholders(Reader& reader, const toml::node& node, const std::string& command) {
  for (auto open = command.find('{'); open != std::string::npos;
       open = command.find('{', open + 1)) {
    const auto close = command.find('}', open);
    const std::string name =
        close == std::string::npos ? command.substr(open) : command.substr(open, close - open + 1);
    if (name != "{time}" && name != "{uncertainty_ms}")
      reader.Fail(node, "xtra_time.command has an unknown placeholder " + name +
                            " (known: {time}, {uncertainty_ms})");
  }
}

// Steps start from the default's time-outs and attempts.
ProfileStep Base(const ProfileStep& step) {
  ProfileStep s = step;
  s.command.clear();
  return s;
}

// [query] and its on and off texts.
void ReadQuery(Reader& r, const toml::table& root, const ModuleProfile& d, ModuleProfile& p) {
  if (const toml::node* n = root.get("query")) {
    if (auto s = r.Step(*n, "query", Base(d.query), {"on", "off"})) {
      p.query = *s;
      const toml::table& t = *n->as_table();
      if (!r.Text(t, "on", "query.", p.reply_on) && !t.get("on"))
        r.Fail(*n, "[query] has no on (the reply text meaning GNSS is on)");
      if (!r.Text(t, "off", "query.", p.reply_off) && !t.get("off"))
        r.Fail(*n, "[query] has no off (the reply text meaning GNSS is off)");
      if (p.reply_on.empty() != p.reply_off.empty() ||
          (!p.reply_on.empty() && p.reply_on == p.reply_off))
        r.Fail(*n, "query.on and query.off must be two different texts");
    }
  }
}

// [stop] and [delete.hot], [delete.cold], [delete.warm].
void ReadStopAndDeletes(Reader& r, const toml::table& root, const ModuleProfile& d,
                        ModuleProfile& p) {
  if (const toml::node* n = root.get("stop")) {
    if (auto s = r.Step(*n, "stop", Base(d.stop)))
      p.stop = *s;
  }
  if (const toml::node* n = root.get("delete")) {
    if (const toml::table* t = n->as_table()) {
      r.OnlyKnown(*t, "delete.", {"hot", "cold", "warm"});
      for (int type = 0; type < 3; ++type) {
        if (const toml::node* sub = t->get(kRestartKeys[type])) {
          if (auto s = r.Step(*sub, std::string("delete.") + kRestartKeys[type], Base(d.del[type])))
            p.del[type] = *s;
        }
      }
    } else {
      r.Fail(*n, "delete must hold tables [delete.hot], [delete.cold], [delete.warm]");
    }
  }
}

// [clock] with its time rule, [xtra_time] and [xtra_data].
void ReadClockAndXtra(Reader& r, const toml::table& root, const ModuleProfile& d,
                      ModuleProfile& p) {
  if (const toml::node* n = root.get("clock")) {
    if (auto s = r.Step(*n, "clock", Base(d.clock), {"time_in", "time_rule"})) {
      p.clock = *s;
      const toml::table& t = *n->as_table();
      if (r.Text(t, "time_in", "clock.", p.clock_marker) && p.clock_marker.empty())
        r.Fail(*t.get("time_in"), "clock.time_in is empty");
      std::string rule;
      if (r.Text(t, "time_rule", "clock.", rule)) {
        if (rule == "cclk")
          p.clock_rule = ClockRule::kCclk;
        else if (rule == "quoted")
          p.clock_rule = ClockRule::kQuoted;
        else
          r.Fail(*t.get("time_rule"), "clock.time_rule must be \"cclk\" or \"quoted\"");
      }
    }
  }
  if (const toml::node* n = root.get("xtra_time")) {
    if (auto s = r.Step(*n, "xtra_time", Base(d.xtra_time))) {
      p.xtra_time = *s;
      CheckPlaceholders(r, *n->as_table()->get("command"), s->command);
    }
  }
  if (const toml::node* n = root.get("xtra_data")) {
    if (auto s = r.Step(*n, "xtra_data", Base(d.xtra_data)))
      p.xtra_data = *s;
  }
}

// [start] and the starts of each restart type.
void ReadStart(Reader& r, const toml::table& root, const ModuleProfile& d, ModuleProfile& p) {
  if (const toml::node* n = root.get("start")) {
    if (const toml::table* t = n->as_table()) {
      // The common start is optional when every restart type has its own.
      if (t->get("command")) {
        if (auto s = r.Step(*n, "start", Base(d.start), {"hot", "cold", "warm"}))
          p.start = *s;
      } else {
        r.OnlyKnown(*t, "start.",
                    {"command", "reply", "timeout", "attempts", "hot", "cold", "warm"});
      }
      for (int type = 0; type < 3; ++type) {
        if (const toml::node* sub = t->get(kRestartKeys[type])) {
          ProfileStep base = p.start.Present() ? p.start : Base(d.start);
          base.command.clear();
          if (auto s = r.Step(*sub, std::string("start.") + kRestartKeys[type], base))
            p.start_for[type] = *s;
        }
      }
    } else {
      r.Fail(*n, "start must be a table ([start])");
    }
  }
}

// [[setup]] and [identity].
void ReadSetupAndIdentity(Reader& r, const toml::table& root, const ModuleProfile& d,
                          ModuleProfile& p) {
  if (const toml::node* n = root.get("setup")) {
    if (const toml::array* a = n->as_array(); a && a->is_array_of_tables()) {
      for (const toml::node& item : *a) {
        if (auto s = r.Step(item, "setup", Base(d.start)))
          p.setup.push_back(*s);
      }
    } else {
      r.Fail(*n, "setup must be tables: one [[setup]] with a command each");
    }
  }
  if (const toml::node* n = root.get("identity")) {
    const toml::table* t = n->as_table();
    const toml::node* cmds = t ? t->get("commands") : nullptr;
    const toml::array* a = cmds ? cmds->as_array() : nullptr;
    if (t)
      r.OnlyKnown(*t, "identity.", {"commands"});
    if (!a) {
      r.Fail(cmds ? *cmds : *n, "identity needs commands = [\"ATI\", ...] (a list of texts)");
    } else {
      for (const toml::node& item : *a) {
        const auto v = item.value_exact<std::string>();
        if (!v || v->empty())
          r.Fail(item, "identity.commands must be non-empty quoted texts");
        else
          p.identity.push_back(CommandLine(*v));
      }
    }
  }
}

// What the profile needs as a whole: a start for every restart type, a
// clock for the XTRA time.
void CheckWhole(Reader& r, const toml::table& root, const ModuleProfile& p) {
  // Every restart type needs a start.
  for (int type = 0; type < 3; ++type) {
    if (!p.StartFor(type).Present() && r.Problems().empty()) {
      r.FailAt(1, std::string("no start command for a ") + kRestartKeys[type] +
                      " start: give [start] a command, or [start." + kRestartKeys[type] + "]");
      break;
    }
  }
  if (p.xtra_time.Present() && !p.clock.Present() && r.Problems().empty()) {
    r.Fail(*root.get("xtra_time"), "[xtra_time] needs a [clock] step for its {time}");
  }
}

}  // namespace

ProfileLoad ParseProfile(const std::string& text, const std::string& source) {
  ProfileLoad load;
  const std::optional<toml::table> parsed = ParseTomlText(text, source, load.problems);
  if (!parsed)
    return load;
  const toml::table& root = *parsed;
  Reader r(source);
  const ModuleProfile& d = DefaultProfile();
  ModuleProfile p;
  p.clock_marker = d.clock_marker;
  r.OnlyKnown(root, "",
              {"name", "description", "query", "stop", "delete", "clock", "xtra_time", "xtra_data",
               "start", "setup", "identity"});

  if (!r.Text(root, "name", "", p.name) && !root.get("name"))
    r.FailAt(1, "the profile has no name (name = \"...\" at the top)");
  r.Text(root, "description", "", p.description);
  ReadQuery(r, root, d, p);
  ReadStopAndDeletes(r, root, d, p);
  ReadClockAndXtra(r, root, d, p);
  ReadStart(r, root, d, p);
  ReadSetupAndIdentity(r, root, d, p);
  CheckWhole(r, root, p);

  load.problems = std::move(r.Problems());
  // In the order of the file.
  const auto line_of = [&source](const std::string& problem) {
    return std::strtoul(problem.c_str() + source.size() + 1, nullptr, 10);
  };
  std::stable_sort(
      load.problems.begin(), load.problems.end(),
      [&](const std::string& a, const std::string& b) { return line_of(a) < line_of(b); });
  if (load.problems.empty())
    load.profile = std::move(p);
  return load;
}

ProfileLoad LoadProfileFile(const std::string& path) {
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    ProfileLoad load;
    load.problems.push_back(path + ": cannot be read (no such file, or no permission)");
    return load;
  }
  return ParseProfile(*text, path);
}

ProfileLoad ResolveProfile(const std::string& name_or_file) {
  if (name_or_file.empty() || name_or_file == "default") {
    ProfileLoad load;
    load.profile = DefaultProfile();
    return load;
  }
  if (const BundledProfile* b = FindBundledProfile(name_or_file))
    return ParseProfile(b->text, name_or_file + ".toml");
  std::ifstream probe(name_or_file);
  if (!probe) {
    ProfileLoad load;
    load.problems.push_back(name_or_file +
                            ": no bundled profile of that name and no such file "
                            "(bundled: " +
                            BundledProfileNames() + ")");
    return load;
  }
  return LoadProfileFile(name_or_file);
}
