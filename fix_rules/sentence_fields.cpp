#include "fix_rules/sentence_fields.h"

#include <string_view>

#include "nmea/nmea_checksum.h"
#include "nmea/split_fields.h"

namespace fix_rules {

namespace {

// Cuts a field at its checksum ("*") or line end.
std::string Bare(const std::string& field) {
  const auto end = field.find_first_of("*\r\n");
  return end == std::string::npos ? field : field.substr(0, end);
}

// From the last "$" on; the whole line when it has none.
std::string_view LastSentence(std::string_view line) {
  const auto start = line.rfind('$');
  return start == std::string_view::npos ? line : line.substr(start);
}

// True when the sentence ("$...*hh") has a checksum that does not match.
// False without a checksum: a line that carries none is not damaged.
bool ChecksumWrong(std::string_view sentence) {
  if (sentence.empty() || sentence[0] != '$' || sentence.find('*') == std::string_view::npos)
    return false;
  return !HasMatchingChecksum(sentence);
}

}  // namespace

Sentence::Sentence(const std::string& line) {
  const std::string_view sentence = LastSentence(line);
  checksum_wrong = ChecksumWrong(sentence);
  SplitNmeaFields(fields, sentence);
  const std::string address = Bare(fields.empty() ? std::string() : fields[0]);
  // "$" + two talker letters + three sentence letters.
  if (address.size() == 6 && address[0] == '$') {
    talker = address.substr(1, 2);
    type = address.substr(3);
  }
}

std::optional<std::string_view> RawField(std::string_view text, std::size_t i) {
  std::size_t start = 0;
  for (; i > 0; --i) {
    const auto comma = text.find(',', start);
    if (comma == std::string_view::npos)
      return std::nullopt;
    start = comma + 1;
  }
  const auto end = text.find(',', start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string_view SentenceField(std::string_view line, std::size_t i) {
  const std::optional<std::string_view> field = RawField(LastSentence(line), i);
  if (!field)
    return {};
  return field->substr(0, field->find_first_of("*\r\n"));
}

std::string Sentence::Field(std::size_t i) const {
  return Has(i) ? Bare(fields[i]) : std::string();
}

std::string AddressOf(const std::string& line) {
  const std::string_view sentence = LastSentence(line);
  std::string address = Bare(std::string(sentence.substr(0, sentence.find(','))));
  if (!address.empty() && address[0] == '$')
    address.erase(0, 1);
  return address;
}

}  // namespace fix_rules
