#include <gtest/gtest.h>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "nmea/nmea_int.h"
#include "nmea/split_fields.h"

namespace {

struct SplitCase {
  const char* legend;
  std::string line;
  std::vector<std::string> fields;
};

TEST(SplitNmeaFields, KeepsEveryFieldInPlace) {
  const SplitCase cases[] = {
      {"adjacent commas give an empty field between them", "a,,b", {"a", "", "b"}},
      {"a trailing comma gives an empty last field", "$GPVTG,1,", {"$GPVTG", "1", ""}},
      {"no comma: the whole line is one field", "$GPTXT*00\r\n", {"$GPTXT*00\r\n"}},
      {"empty line: one empty field", "", {""}},
      {"only commas: N commas give N+1 empty fields", ",,,", {"", "", "", ""}},
      {"checksum and line end stay in the last field",
       "$GPGSA,A,3*hh\r\n",
       {"$GPGSA", "A", "3*hh\r\n"}},
      {"leading comma gives an empty field 0", ",x", {"", "x"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> fields{"stale", "content"};
    SplitNmeaFields(fields, c.line);
    EXPECT_EQ(fields, c.fields) << c.legend;
  }
}

// One list reused line after line, as the decoders reuse theirs, always
// holds what a fresh boost::algorithm::split gives: no field of a longer
// earlier line stays behind.
TEST(SplitNmeaFields, ReusedListMatchesAFreshBoostSplit) {
  std::mt19937 random(7);
  const char alphabet[] = ",,,a$*9\r\n";
  std::vector<std::string> reused;
  for (int i = 0; i < 20000; ++i) {
    std::string line;
    for (unsigned k = random() % 40; k > 0; --k)
      line += alphabet[random() % (sizeof alphabet - 1)];
    std::vector<std::string> fresh;
    boost::algorithm::split(fresh, line, boost::algorithm::is_any_of(","),
                            boost::algorithm::token_compress_off);
    SplitNmeaFields(reused, line);
    ASSERT_EQ(reused, fresh) << "line \"" << line << "\"";
  }
}

struct IntCase {
  const char* legend;
  const char* text;
  int value;
};

TEST(ParseNmeaInt, ReadsLikeAtoiWithoutOverflow) {
  const IntCase cases[] = {
      {"leading zero", "05", 5},
      {"stops at the first non-digit", "12*4F\r\n", 12},
      {"leading blanks skipped", "  7", 7},
      {"minus sign", "-3", -3},
      {"plus sign", "+4", 4},
      {"no digits", "abc", 0},
      {"empty", "", 0},
      {"sign alone", "-", 0},
      {"decimal point ends the number", "2.5", 2},
      {"largest int", "2147483647", INT_MAX},
      {"one above the largest saturates", "2147483648", INT_MAX},
      {"far above saturates", "99999999999999999999999", INT_MAX},
      {"smallest int", "-2147483648", INT_MIN},
      {"far below saturates", "-99999999999999999999999", INT_MIN},
      {"non-ASCII byte is no digit",
       "\xff"
       "12",
       0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseNmeaInt(c.text), c.value) << c.legend;
}

}  // namespace
