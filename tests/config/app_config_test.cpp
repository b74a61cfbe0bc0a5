#include "config/app_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// The tokens of the default command, one byte value each, padded to 100.
std::string CommandTokens(const std::string& cmd) {
  std::string out = "100";
  for (size_t i = 0; i < 100; ++i) {
    int v = i < cmd.size() ? static_cast<signed char>(cmd[i]) : 0;
    out += " " + std::to_string(v);
  }
  return out;
}

std::string DefaultFile() {
  return "22 serialization::archive 10 0 0 10 200 0 0 0 0 0 999 0 " +
         CommandTokens(kDefaultImportXtraCmd) + " 3500\n";
}

std::vector<std::string> Tokens(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string t; in >> t;)
    out.push_back(t);
  return out;
}

void ExpectDefaults(const app_config& c) {
  EXPECT_EQ(c.GetIntervalSleep(), 10);
  EXPECT_EQ(c.GetTimeout(), 200);
  EXPECT_EQ(c.GetUncrtn(), 3500);
  EXPECT_EQ(c.GetImportXtraCmd(), kDefaultImportXtraCmd);
  EXPECT_EQ(c.m_at_port_index, 0);
  EXPECT_EQ(c.m_at_baud_index, 0);
  EXPECT_EQ(c.m_chip_index, 0);
  EXPECT_EQ(c.m_reserved_a, 0);
  EXPECT_EQ(c.m_reserved_b, 0);
  EXPECT_EQ(c.m_reserved_c, 999);
  EXPECT_EQ(c.m_nmea_port_index, 0);
}

app_config LoadText(const std::string& text) {
  TempDir tmp;
  WriteFile(tmp.file("TTFF.cfg"), text);
  app_config c;
  LoadConfigFrom(tmp.file("TTFF.cfg"), c);
  return c;
}

TEST(AppConfig, DefaultsAndCommandBytes) {
  app_config c;
  ExpectDefaults(c);
  const char* bytes = c.ImportXtraCmdBytes();
  const size_t n = std::strlen(kDefaultImportXtraCmd);
  EXPECT_EQ(n, 31u);
  for (size_t i = n; i < 100; ++i)
    EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(AppConfig, DefaultFileIsByteForByteTheExchangedLayout) {
  TempDir tmp;
  ASSERT_TRUE(SaveConfigTo(tmp.file("TTFF.cfg"), app_config{}));
  const std::string text = ReadFile(tmp.file("TTFF.cfg"));
  EXPECT_EQ(text, DefaultFile());
  EXPECT_EQ(Tokens(text).size(), 116u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(text.find("  "), std::string::npos);
  EXPECT_NE(text.front(), ' ');
}

TEST(AppConfig, RoundTripKeepsEveryByte) {
  app_config c;
  c.SetIntervalSleep(7);
  c.SetTimeout(1234567);
  c.SetUncrtn(42);
  c.m_at_port_index = -1;  // a combo without selection
  c.m_at_baud_index = 3;
  c.m_chip_index = 1;
  c.m_reserved_a = app_config::reserved_kind(5);
  c.m_reserved_b = -7;
  c.m_reserved_c = 123;
  c.m_nmea_port_index = 12;
  c.SetImportXtraCmd("AT+X=\"\xE4\xB8\xAD\"");  // bytes above 127 go out as negatives
  c.m_import_xtra_cmd[60] = 'Z';                // junk after the terminator is kept
  TempDir tmp;
  ASSERT_TRUE(SaveConfigTo(tmp.file("a.cfg"), c));
  app_config back;
  LoadConfigFrom(tmp.file("a.cfg"), back);
  EXPECT_EQ(back.GetIntervalSleep(), 7);
  EXPECT_EQ(back.GetTimeout(), 1234567);
  EXPECT_EQ(back.GetUncrtn(), 42);
  EXPECT_EQ(back.m_at_port_index, -1);
  EXPECT_EQ(back.m_at_baud_index, 3);
  EXPECT_EQ(back.m_chip_index, 1);
  EXPECT_EQ(back.m_reserved_a, 5);
  EXPECT_EQ(back.m_reserved_b, -7);
  EXPECT_EQ(back.m_reserved_c, 123);
  EXPECT_EQ(back.m_nmea_port_index, 12);
  EXPECT_EQ(std::memcmp(back.m_import_xtra_cmd, c.m_import_xtra_cmd, 100), 0);
  ASSERT_TRUE(SaveConfigTo(tmp.file("b.cfg"), back));
  EXPECT_EQ(ReadFile(tmp.file("a.cfg")), ReadFile(tmp.file("b.cfg")));
  EXPECT_NE(ReadFile(tmp.file("a.cfg")).find(" -28 "), std::string::npos);
}

TEST(AppConfig, LoadAndSaveUseTheWorkingDirectory) {
  TempDir tmp;
  testsupport::ScopedCwd cwd(tmp.path());
  app_config saved = g_config;
  g_config.SetTimeout(77);
  ASSERT_TRUE(SaveConfig());
  g_config = app_config{};
  LoadConfig();
  EXPECT_EQ(g_config.GetTimeout(), 77);
  EXPECT_EQ(ReadFile(tmp.file("TTFF.cfg")).substr(0, 26), "22 serialization::archive ");
  g_config = saved;
}

struct MalformedCase {
  const char* legend;
  std::string text;
};

TEST(AppConfig, FilesThatMustLeaveAllDefaults) {
  const std::string def = DefaultFile();
  std::string version11 = def;
  version11.replace(version11.find(" 10 "), 4, " 11 ");
  std::string tracking1 = def;
  tracking1.replace(tracking1.find(" 10 0 0 "), 8, " 10 1 0 ");
  // Every number changed, so a load that went through would show it.
  std::string changed =
      "22 serialization::archive 10 0 0 1 2 3 4 5 6 7 8 9 " + CommandTokens("X") + " 11\n";
  std::string changed_v11 = changed;
  changed_v11.replace(changed_v11.find(" 10 "), 4, " 11 ");
  std::string changed_track = changed;
  changed_track.replace(changed_track.find(" 10 0 0 "), 8, " 10 1 0 ");
  const MalformedCase cases[] = {
      {"empty file", ""},
      {"only whitespace", "   \n\n"},
      {"binary garbage", std::string("\x00\xff\x13\x37garbage\x01", 12)},
      {"wrong signature", "22 serialization::archivX 10 0 0 1 2 3"},
      {"wrong signature length", "21 serialization::archive 10 0 0 1 2 3"},
      {"hostile signature length", "999999999999 serialization::archive 10 0 0 1 2"},
      {"header above 10", changed_v11},
      {"header far above 10", "22 serialization::archive 4294967297 0 0 1 2 3"},
      {"version not a number", "22 serialization::archive ten 0 0 1 2 3"},
      {"tracking flag 1 would shift every member", changed_track},
      {"ends inside the header", "22 serialization::archive 10"},
      {"default file with version 11", version11},
      {"default file with tracking 1", tracking1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    ExpectDefaults(LoadText(c.text));
  }
}

TEST(AppConfig, PartlyReadFilesKeepWhatWasRead) {
  // A count of 101 is refused: the nine numbers before it stay.
  std::string count101 = "22 serialization::archive 10 0 0 1 2 3 4 5 6 7 8 9 101";
  for (int i = 0; i < 101; ++i)
    count101 += " 65";
  count101 += " 11\n";
  app_config a = LoadText(count101);
  EXPECT_EQ(a.GetIntervalSleep(), 1);
  EXPECT_EQ(a.GetTimeout(), 2);
  EXPECT_EQ(a.m_at_port_index, 3);
  EXPECT_EQ(a.m_nmea_port_index, 9);
  EXPECT_EQ(a.GetImportXtraCmd(), kDefaultImportXtraCmd);
  EXPECT_EQ(a.GetUncrtn(), 3500);

  // Ends after the fourth member.
  app_config b = LoadText("22 serialization::archive 10 0 0 5 6 7 8\n");
  EXPECT_EQ(b.GetIntervalSleep(), 5);
  EXPECT_EQ(b.GetTimeout(), 6);
  EXPECT_EQ(b.m_at_port_index, 7);
  EXPECT_EQ(b.m_at_baud_index, 8);
  EXPECT_EQ(b.m_chip_index, 0);
  EXPECT_EQ(b.m_reserved_c, 999);
  EXPECT_EQ(b.GetUncrtn(), 3500);

  // A word where a number belongs ends the load there.
  app_config w = LoadText("22 serialization::archive 10 0 0 5 six 7 8\n");
  EXPECT_EQ(w.GetIntervalSleep(), 5);
  EXPECT_EQ(w.GetTimeout(), 200);
  EXPECT_EQ(w.m_at_port_index, 0);

  // A short command count fills only the first bytes; the rest keep theirs.
  std::string shortcmd = "22 serialization::archive 10 0 0 1 2 3 4 5 6 7 8 9 3 66 67 68 77\n";
  app_config s = LoadText(shortcmd);
  EXPECT_EQ(std::string(s.m_import_xtra_cmd, 5), "BCDWG");  // the rest keep their bytes
  EXPECT_EQ(s.GetUncrtn(), 77);
}

TEST(AppConfig, ClassVersionIsNotChecked) {
  std::string text = DefaultFile();
  text.replace(text.find(" 10 0 0 10 200"), 14, " 10 0 1 11 200");
  app_config c = LoadText(text);
  EXPECT_EQ(c.GetIntervalSleep(), 11);
  EXPECT_EQ(c.GetUncrtn(), 3500);
}

TEST(AppConfig, OlderLibraryVersionIsAccepted) {
  std::string text = DefaultFile();
  text.replace(text.find(" 10 0 0 10 200"), 14, " 9 0 0 12 200");
  EXPECT_EQ(LoadText(text).GetIntervalSleep(), 12);
}

TEST(AppConfig, CommandAlwaysEndsWithinItsBytes) {
  std::string text = "22 serialization::archive 10 0 0 1 2 3 4 5 6 7 8 9 100";
  for (int i = 0; i < 100; ++i)
    text += " 65";
  text += " 11\n";
  app_config c = LoadText(text);
  EXPECT_EQ(c.m_import_xtra_cmd[99], 0);
  EXPECT_EQ(c.GetImportXtraCmd(), std::string(99, 'A'));
  EXPECT_EQ(c.GetUncrtn(), 11);
}

TEST(AppConfig, HostileNumbersDoNotCrash) {
  // Huge and negative values where unsigned numbers belong; a byte value far
  // outside a char. None may crash or read out of bounds.
  const std::string cases[] = {
      "22 serialization::archive 10 0 0 -1 -2 -3 -4 -5 -6 -7 -8 -9 100 -129 70000\n",
      "22 serialization::archive 10 0 0 99999999999999999999 1 1 1 1 1 1 1 1 1 1\n",
      "22 serialization::archive 10 0 0 1 2 3 4 5 6 7 8 9 18446744073709551615 1\n",
      "22 serialization::archive 10 0 0 1 2 3 4 5 6 7 8 9 -1 1\n",
  };
  for (const auto& t : cases) {
    app_config c = LoadText(t);
    EXPECT_EQ(c.m_import_xtra_cmd[99], 0);
  }
}

TEST(AppConfig, SetImportXtraCmdCopiesAtMost99) {
  app_config c;
  c.SetImportXtraCmd(std::string(150, 'x'));
  EXPECT_EQ(c.GetImportXtraCmd(), std::string(99, 'x'));
  EXPECT_EQ(c.m_import_xtra_cmd[99], 0);
  // A shorter text stops after its terminator; later bytes keep their value.
  c.SetImportXtraCmd("AT");
  EXPECT_EQ(c.GetImportXtraCmd(), "AT");
  EXPECT_EQ(c.m_import_xtra_cmd[3], 'x');
}

TEST(AppConfig, SaveReportsAnUnwritableFile) {
  TempDir tmp;
  EXPECT_FALSE(SaveConfigTo(tmp.file("no/such/folder/TTFF.cfg"), app_config{}));
  EXPECT_FALSE(SaveConfigTo("/dev/full", app_config{}));
}

}  // namespace
