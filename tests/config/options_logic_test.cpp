#include "config/options_logic.h"

#include <gtest/gtest.h>

namespace {

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
    std::vector<std::string> messages;
    const char* legend;
  } cases[] = {
      {"0", "10", "3500", "AT", {kTimeSettingsNotPositive}, "time-out 0"},
      {"200", "-1", "3500", "AT", {kTimeSettingsNotPositive}, "interval sleep -1"},
      {"200", "10", "0", "AT", {kTimeSettingsNotPositive}, "uncertainty 0"},
      {"200", "10", "3500", std::string(100, 'x'), {kXtraCommandTooLong}, "100-character command"},
      {"0", "0", "0", std::string(150, 'x'), {kXtraCommandTooLong}, "the command is checked first"},
  };
  for (const auto& tc : cases) {
    app_config c;
    const app_config before = c;
    auto out = SaveOptions({tc.timeout, tc.interval, tc.uncrtn, tc.cmd}, Current(c), c);
    EXPECT_FALSE(out.stored) << tc.legend;
    EXPECT_EQ(out.messages, tc.messages) << tc.legend;
    EXPECT_EQ(c.GetTimeout(), before.GetTimeout()) << tc.legend;
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
}

TEST(OptionsLogic, AFieldThatDoesNotParseKeepsItsValueAndTheRestStillRuns) {
  app_config c;
  auto out = SaveOptions({"abc", "7", "3500", "AT"}, Current(c), c);
  // The time-out keeps 200, the rest is valid: stored after the parse message.
  EXPECT_TRUE(out.stored);
  EXPECT_EQ(out.messages, std::vector<std::string>{kEnterAnInteger});
  EXPECT_EQ(c.GetTimeout(), 200);
  EXPECT_EQ(c.GetIntervalSleep(), 7);
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
