#include "sim/at_dialect.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "profiles/module_commands.h"

namespace sim {

namespace {

std::string Key(const std::string& command) {
  return UpperCase(CommandName(command));
}

// The part of a command with arguments that names it: up to and with its
// "=" (or up to its first placeholder when it has no "=").
std::string Head(const std::string& command) {
  const std::string key = Key(command);
  const auto brace = key.find('{');
  const auto equals = key.find('=');
  if (equals != std::string::npos && (brace == std::string::npos || equals < brace))
    return key.substr(0, equals + 1);
  return brace == std::string::npos ? key : key.substr(0, brace);
}

std::string Line(const std::string& text) {
  return text + "\r\n";
}

}  // namespace

std::string UpperCase(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string FormatCclk(const platform::LocalTime& t, int utc_offset_minutes) {
  const int quarters = utc_offset_minutes / 15;
  char text[64];
  std::snprintf(text, sizeof text, "+CCLK: \"%02d/%02d/%02d,%02d:%02d:%02d%c%02d\"\r\n",
                t.year % 100, t.month, t.day, t.hour, t.minute, t.second, quarters < 0 ? '-' : '+',
                std::abs(quarters));
  return text;
}

AtDialect::AtDialect(const ModuleProfile& p)
    : name_(p.name),
      reply_on_(p.reply_on),
      reply_off_(p.reply_off),
      clock_marker_(p.clock_marker),
      clock_rule_(p.clock_rule) {
  if (p.query.Present()) {
    query_ = Key(p.query.command);
    Add(p.query, Kind::kQuery, AtAction::kNone, 0);
  }
  Add(p.stop, Kind::kPlain, AtAction::kStop, 0);
  for (int type = 0; type < 3; ++type) {
    const ProfileStep& own = p.start_for[static_cast<std::size_t>(type)];
    int others = 0;
    for (const ProfileStep& s : p.start_for)
      others += s.Present() && Key(s.command) == Key(own.command) ? 1 : 0;
    Add(own, Kind::kPlain, AtAction::kStart, others == 1 ? type : -1);
  }
  Add(p.start, Kind::kPlain, AtAction::kStart, -1);
  for (int type = 0; type < 3; ++type) {
    const ProfileStep& del = p.del[static_cast<std::size_t>(type)];
    int sharing = 0;
    for (const ProfileStep& s : p.del)
      sharing += s.Present() && Key(s.command) == Key(del.command) ? 1 : 0;
    Add(del, Kind::kPlain, sharing == 1 ? AtAction::kDelete : AtAction::kNone, type);
  }
  Add(p.clock, Kind::kClock, AtAction::kNone, 0);
  // The XTRA commands carry arguments the tool fills in (a time) or the
  // user may change (a file name): they are known by their head.
  Add(p.xtra_time, Kind::kPlain, AtAction::kXtraTime, 0, true);
  ProfileStep xtra_data = p.xtra_data;
  if (xtra_data.Present()) {
    const std::string head = Head(xtra_data.command);
    xtra_data.command = head.back() == '=' ? head.substr(0, head.size() - 1) : head;
  }
  Add(xtra_data, Kind::kPlain, AtAction::kXtraData, 0, true);
  for (const ProfileStep& s : p.setup)
    Add(s, Kind::kPlain, AtAction::kNone, 0);
  for (const std::string& command : p.identity) {
    ProfileStep s;
    s.command = command;
    Add(s, Kind::kIdentity, AtAction::kNone, 0);
  }
}

void AtDialect::Add(const ProfileStep& step, Kind kind, AtAction action, int restart_type,
                    bool prefix) {
  if (!step.Present())
    return;
  Entry e;
  e.match = prefix ? Head(step.command) : Key(step.command);
  e.prefix = prefix;
  e.kind = kind;
  e.reply = step.reply;
  e.action = action;
  e.restart_type = restart_type;
  for (const Entry& known : entries_) {
    if (known.match == e.match && known.prefix == e.prefix)
      return;  // the first role of a command is its answer
  }
  entries_.push_back(std::move(e));
}

bool AtDialect::IsQuery(const std::string& command) const {
  return !query_.empty() && UpperCase(command) == query_;
}

AtReply AtDialect::Answer(const std::string& command, bool gnss_on,
                          const platform::LocalTime& local, int utc_offset_minutes) const {
  AtReply reply;
  const std::string c = UpperCase(command);
  const std::string ok = Line(module::kReplyOk);
  if (c == "AT" || c == "ATE0" || c == "ATE1") {
    reply.lines = {ok};
    return reply;
  }
  for (const Entry& e : entries_) {
    if (e.prefix ? c.compare(0, e.match.size(), e.match) != 0 : c != e.match)
      continue;
    switch (e.kind) {
      case Kind::kQuery:
        reply.lines = {Line(gnss_on ? reply_on_ : reply_off_), ok};
        break;
      case Kind::kClock:
        if (clock_rule_ == ClockRule::kCclk) {
          const std::string cclk = FormatCclk(local, utc_offset_minutes);
          reply.lines = {clock_marker_ + cclk.substr(cclk.find(':') + 1), ok};
        } else {
          char time[32];
          std::snprintf(time, sizeof time, "%04d/%02d/%02d,%02d:%02d:%02d", local.year, local.month,
                        local.day, local.hour, local.minute, local.second);
          reply.lines = {Line(clock_marker_ + " \"" + time + "\""), ok};
        }
        break;
      case Kind::kIdentity:
        reply.lines = {Line("ZUVEK simulator, " + name_ + " dialect"), ok};
        break;
      case Kind::kPlain:
        reply.lines = {ok};
        if (e.reply != module::kReplyOk)
          reply.lines.push_back(Line(e.reply));
        break;
    }
    reply.action = e.action;
    reply.restart_type = e.restart_type;
    return reply;
  }
  reply.lines = {Line("ERROR")};
  return reply;
}

}  // namespace sim
