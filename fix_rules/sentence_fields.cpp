#include "fix_rules/sentence_fields.h"

#include <cstdlib>

#include "nmea/split_fields.h"

namespace fix_rules {

namespace {

// Cuts a field at its checksum ("*") or line end.
std::string Bare(const std::string& field) {
  const auto end = field.find_first_of("*\r\n");
  return end == std::string::npos ? field : field.substr(0, end);
}

// From the last "$" on; the whole line when it has none.
std::string LastSentence(const std::string& line) {
  const auto start = line.rfind('$');
  return start == std::string::npos ? line : line.substr(start);
}

// True when the sentence ("$...*hh") has a checksum that does not match.
bool ChecksumWrong(const std::string& sentence) {
  const auto star = sentence.find('*');
  if (star == std::string::npos || sentence.empty() || sentence[0] != '$')
    return false;
  unsigned sum = 0;
  for (std::size_t i = 1; i < star; ++i)
    sum ^= static_cast<unsigned char>(sentence[i]);
  const std::string given = sentence.substr(star + 1, 2);
  char* end = nullptr;
  const unsigned long value = given.size() == 2 ? std::strtoul(given.c_str(), &end, 16) : 256;
  return end != given.c_str() + 2 || value != sum;
}

}  // namespace

Sentence::Sentence(const std::string& line) {
  const std::string sentence = LastSentence(line);
  checksum_wrong = ChecksumWrong(sentence);
  SplitNmeaFields(fields, sentence);
  const std::string address = Bare(fields.empty() ? std::string() : fields[0]);
  // "$" + two talker letters + three sentence letters.
  if (address.size() == 6 && address[0] == '$') {
    talker = address.substr(1, 2);
    type = address.substr(3);
  }
}

std::string Sentence::Field(std::size_t i) const {
  return Has(i) ? Bare(fields[i]) : std::string();
}

std::string AddressOf(const std::string& line) {
  const std::string sentence = LastSentence(line);
  std::string address = Bare(sentence.substr(0, sentence.find(',')));
  if (!address.empty() && address[0] == '$')
    address.erase(0, 1);
  return address;
}

}  // namespace fix_rules
