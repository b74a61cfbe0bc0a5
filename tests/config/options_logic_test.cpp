#include "config/options_logic.h"

#include <gtest/gtest.h>

namespace {

// The box of a refused field, written out: the message, then the field.
std::string Box(const std::string& message, const char* field) {
  return message + "\nField: " + field;
}
const std::string kNotPositive =
    std::string("时间设置不能小于等于0") + "\nThe time settings must be greater than 0.";

OptionsValues Current(const app_config& c) {
  return {c.GetTimeout(), c.GetIntervalSleep(), static_cast<std::uint32_t>(c.GetUncrtn())};
}

TEST(OptionsLogic, OpeningAndSavingUnchangedStoresTheSameValues) {
  app_config c;
  c.SetTimeout(123);
  c.SetImportXtraCmd("AT+X");
  const app_config before = c;
  auto out = SaveOptions(FieldsFromConfig(c), Current(c), c);
  EXPECT_TRUE(out.stored);
  EXPECT_TRUE(out.messages.empty());
  EXPECT_EQ(c.GetTimeout(), before.GetTimeout());
  EXPECT_EQ(c.GetIntervalSleep(), before.GetIntervalSleep());
  EXPECT_EQ(c.GetUncrtn(), before.GetUncrtn());
  EXPECT_EQ(c.GetImportXtraCmd(), "AT+X");
}

TEST(OptionsLogic, RefusedValuesStoreNothing) {
  struct {
    const char* timeout;
    const char* interval;
    const char* uncrtn;
    std::string cmd;
    std::string message;
    int focus;
    const char* legend;
  } cases[] = {
      {"0", "10", "3500", "AT", Box(kNotPositive, "Timeout"), 1024, "time-out 0"},
      {"200", "-1", "3500", "AT", Box(kNotPositive, "Interval sleep"), 1025, "interval sleep -1"},
      {"200", "10", "0", "AT", Box(kNotPositive, "UNCRTN"), 1026, "uncertainty 0"},
      {"200", "10", "3500", std::string(100, 'x'),
       Box("ImportXTRA Command too long, please fix it!", "Import XTRA"), 1038,
       "100-character command"},
      {"0", "0", "0", std::string(150, 'x'),
       Box("ImportXTRA Command too long, please fix it!", "Import XTRA"), 1038,
       "the command is checked first"},
      {"200", "1O", "3500", "AT", Box("Please enter an integer.", "Interval sleep"), 1025,
       "a typo: the first field that does not parse"},
      {"x", "1O", "3500", "AT", Box("Please enter an integer.", "Timeout"), 1024,
       "two typos: the first one only"},
      {"200", "10", "-5", "AT", Box("Please enter a positive integer.", "UNCRTN"), 1026,
       "a negative uncertainty"},
      {"2147483647", "10", "3500", "AT", Box("Timeout can be at most 86400 s.", "Timeout"), 1024,
       "a time-out beyond a day"},
      {"200", "86401", "3500", "AT",
       Box("Interval sleep can be at most 86400 s.", "Interval sleep"), 1025,
       "an interval sleep beyond a day"},
      {"200", "10", "3000000000", "AT", Box("UNCRTN can be at most 3600000 ms.", "UNCRTN"), 1026,
       "an uncertainty beyond an hour"},
  };
  for (const auto& tc : cases) {
    app_config c;
    const app_config before = c;
    auto out = SaveOptions({tc.timeout, tc.interval, tc.uncrtn, tc.cmd}, Current(c), c);
    EXPECT_FALSE(out.stored) << tc.legend;
    EXPECT_EQ(out.messages, std::vector<std::string>{tc.message}) << tc.legend;
    EXPECT_EQ(out.focus, tc.focus) << tc.legend;
    EXPECT_EQ(c.GetTimeout(), before.GetTimeout()) << tc.legend;
    EXPECT_EQ(c.GetIntervalSleep(), before.GetIntervalSleep()) << tc.legend;
    EXPECT_EQ(c.GetUncrtn(), before.GetUncrtn()) << tc.legend;
    EXPECT_EQ(c.GetImportXtraCmd(), before.GetImportXtraCmd()) << tc.legend;
  }
}

TEST(OptionsLogic, BoundaryValuesAccepted) {
  app_config c;
  auto out = SaveOptions({"1", "1", "1", std::string(99, 'c')}, Current(c), c);
  EXPECT_TRUE(out.stored);
  EXPECT_EQ(c.GetUncrtn(), 1);
  EXPECT_EQ(c.GetImportXtraCmd(), std::string(99, 'c'));  // stored whole
  // An empty command is accepted and stored.
  out = SaveOptions({"5", "5", "5", ""}, Current(c), c);
  EXPECT_TRUE(out.stored);
  EXPECT_EQ(c.GetImportXtraCmd(), "");
  // The largest values are taken.
  out = SaveOptions({"86400", "86400", "3600000", "AT"}, Current(c), c);
  EXPECT_TRUE(out.stored);
  EXPECT_EQ(c.GetTimeout(), 86400);
  EXPECT_EQ(c.GetIntervalSleep(), 86400);
  EXPECT_EQ(c.GetUncrtn(), 3600000);
}

TEST(OptionsLogic, NumberParsing) {
  std::int32_t s = 5;
  EXPECT_TRUE(ParseSigned(" -12 ", s));
  EXPECT_EQ(s, -12);
  EXPECT_FALSE(ParseSigned("12abc", s));
  EXPECT_FALSE(ParseSigned("99999999999", s));
  EXPECT_EQ(s, -12);
  std::uint32_t u = 1;
  EXPECT_TRUE(ParseUnsigned("4294967295", u));
  EXPECT_EQ(u, 4294967295u);
  EXPECT_FALSE(ParseUnsigned("-1", u));
  EXPECT_FALSE(ParseUnsigned("", u));
}

}  // namespace
