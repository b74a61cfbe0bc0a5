#include "fix_rules/rules.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "fix_rules/sentence_fields.h"
#include "platform/debug_log.h"

std::string FixRule::Sentence(const std::string& line) const {
  return fix_rules::AddressOf(line);
}

namespace fix_rules {

namespace {

// A sentence of the rule's type whose checksum is wrong: damaged on the
// wire, so no fix, and counted in the debug log.
bool Damaged(const fix_rules::Sentence& s, const std::string& line) {
  if (!s.checksum_wrong)
    return false;
  static std::atomic<unsigned> count{0};
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  LOG_DEBUG(("a line with a wrong checksum is no fix (" + std::to_string(++count) +
             " so far): " + text + "\n")
                .c_str());
  return true;
}

class GprmcRule : public FixRule {
 public:
  bool IsFix(const std::string& line, std::int64_t) const override {
    // The whole line cut at its commas, its field 2 exactly "A".
    return std::strstr(line.c_str(), "$GPRMC") != nullptr && RawField(line, 2) == "A";
  }
  // The line may carry other bytes before "$GPRMC".
  std::string Sentence(const std::string&) const override { return "GPRMC"; }
  const char* MustContain() const override { return "$GPRMC"; }
};

class RmcRule : public FixRule {
 public:
  const char* MustContain() const override { return "RMC"; }
  bool IsFix(const std::string& line, std::int64_t) const override {
    static const char* const kTalkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ", "GI"};
    if (SentenceField(line, 2) != "A")
      return false;  // no fix, known without reading the whole sentence
    const fix_rules::Sentence s(line);
    if (s.type != "RMC" || std::none_of(std::begin(kTalkers), std::end(kTalkers),
                                        [&](const char* t) { return s.talker == t; }))
      return false;
    if (Damaged(s, line))
      return false;
    // Field 12 is the mode indicator of NMEA 2.3 and later.
    return !s.Has(12) || s.Field(12) != "N";
  }
};

class GgaRule : public FixRule {
 public:
  const char* MustContain() const override { return "GGA"; }
  bool IsFix(const std::string& line, std::int64_t) const override {
    const std::string_view quality = SentenceField(line, 6);
    if (quality.size() != 1 || quality[0] < '1' || quality[0] > '5')
      return false;
    const fix_rules::Sentence s(line);
    return s.type == "GGA" && !Damaged(s, line);
  }
};

class GnsRule : public FixRule {
 public:
  const char* MustContain() const override { return "GNS"; }
  bool IsFix(const std::string& line, std::int64_t) const override {
    const fix_rules::Sentence s(line);
    if (s.type != "GNS")
      return false;
    // One letter per constellation ("AANN": GPS and GLONASS have a fix).
    const std::string mode = s.Field(6);
    return std::any_of(mode.begin(), mode.end(),
                       [](char c) { return c >= 'A' && c <= 'Z' && c != 'N'; }) &&
           !Damaged(s, line);
  }
};

class Gsa3dRule : public FixRule {
 public:
  const char* MustContain() const override { return "GSA"; }
  bool IsFix(const std::string& line, std::int64_t) const override {
    if (SentenceField(line, 2) != "3")
      return false;
    const fix_rules::Sentence s(line);
    return s.type == "GSA" && !Damaged(s, line);
  }
};

}  // namespace

std::unique_ptr<FixRule> MakeGprmcRule() {
  return std::make_unique<GprmcRule>();
}
std::unique_ptr<FixRule> MakeRmcRule() {
  return std::make_unique<RmcRule>();
}
std::unique_ptr<FixRule> MakeGgaRule() {
  return std::make_unique<GgaRule>();
}
std::unique_ptr<FixRule> MakeGnsRule() {
  return std::make_unique<GnsRule>();
}
std::unique_ptr<FixRule> MakeGsa3dRule() {
  return std::make_unique<Gsa3dRule>();
}

}  // namespace fix_rules
