#include "config/side_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

using testsupport::ReadFile;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteFile;

struct Case {
  const char* text;
  unsigned reconnect_s;
  // The one problem expected ("" for none).
  const char* problem;
};

TEST(SideSettings, ValuesAndProblemsWithTheirLines) {
  const Case cases[] = {
      {"", 0, ""},
      {"reconnect = 10\n", 10, ""},
      {"# comment\n\nreconnect = 0 # off\n", 0, ""},
      {"reconnect = 86400\n", 86400, ""},
      {"\n\nreconnect = -1\n", 0,
       "zuvek.toml:3: reconnect must be a whole number from 0 to 86400; using 0"},
      {"reconnect = 86401\n", 0,
       "zuvek.toml:1: reconnect must be a whole number from 0 to 86400; using 0"},
      {"reconnect = \"10\"\n", 0,
       "zuvek.toml:1: reconnect must be a whole number from 0 to 86400; using 0"},
      {"reconnect = 2.5\n", 0,
       "zuvek.toml:1: reconnect must be a whole number from 0 to 86400; using 0"},
      {"reconnect = 5\nrecconect = 7\n", 5,
       "zuvek.toml:2: unknown setting \"recconect\" (ignored)"},
      {"[later]\nkey = 1\nreconnect = 3\n", 0, "zuvek.toml:1: unknown setting \"later\" (ignored)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const SideSettingsLoad load = ParseSideSettings(c.text, "zuvek.toml");
    EXPECT_EQ(load.settings.reconnect_s, c.reconnect_s);
    if (*c.problem == '\0') {
      EXPECT_TRUE(load.problems.empty()) << load.problems.front();
    } else {
      ASSERT_EQ(load.problems.size(), 1u);
      EXPECT_EQ(load.problems[0], c.problem);
    }
  }
}

TEST(SideSettings, TheProfileKeyNamesAProfile) {
  EXPECT_EQ(ParseSideSettings("", "zuvek.toml").settings.profile, "default");
  const SideSettingsLoad named = ParseSideSettings("profile = \"sim7600\"\n", "zuvek.toml");
  EXPECT_TRUE(named.problems.empty());
  EXPECT_EQ(named.settings.profile, "sim7600");
  for (const char* text : {"profile = \"\"\n", "profile = 3\n"}) {
    const SideSettingsLoad load = ParseSideSettings(text, "zuvek.toml");
    EXPECT_EQ(load.settings.profile, "default") << text;
    ASSERT_EQ(load.problems.size(), 1u) << text;
    EXPECT_EQ(load.problems[0].rfind("zuvek.toml:1: profile must ", 0), 0u) << load.problems[0];
    EXPECT_NE(load.problems[0].find("; using 'default'"), std::string::npos) << load.problems[0];
  }
  // A name that is neither bundled nor a file: told with the file and line.
  const SideSettingsLoad wrong =
      ParseSideSettings("reconnect = 5\nprofile = \"nonexist\"\n", "zuvek.toml");
  EXPECT_EQ(wrong.settings.profile, "default");
  EXPECT_EQ(wrong.settings.reconnect_s, 5u) << "the other values still count";
  ASSERT_EQ(wrong.problems.size(), 1u);
  EXPECT_EQ(wrong.problems[0].rfind("zuvek.toml:2: profile names no bundled profile (default, ", 0),
            0u)
      << wrong.problems[0];
  EXPECT_NE(wrong.problems[0].find("and no profile file \"nonexist\"; using 'default'"),
            std::string::npos)
      << wrong.problems[0];
  // A file that is there is taken (what it holds is checked when a test loads it).
  testsupport::TempDir dir;
  testsupport::WriteFile(dir.file("mine.toml"), "name = \"mine\"\n");
  const SideSettingsLoad file =
      ParseSideSettings("profile = \"" + dir.file("mine.toml") + "\"\n", "zuvek.toml");
  EXPECT_TRUE(file.problems.empty()) << file.problems.front();
  const std::string written = FormatSideSettings(SideSettings{});
  EXPECT_NE(written.find("\nprofile = 'default'\n"), std::string::npos) << written;
}

TEST(SideSettings, ATextThatIsNoTomlKeepsEveryDefaultAndNamesItsLine) {
  const SideSettingsLoad load = ParseSideSettings("reconnect = 4\nreconnect = = 5\n", "x.toml");
  EXPECT_EQ(load.settings, SideSettings{});
  ASSERT_EQ(load.problems.size(), 1u);
  EXPECT_EQ(load.problems[0].rfind("x.toml:2: ", 0), 0u) << load.problems[0];
  EXPECT_NE(load.problems[0].find("every setting keeps its default"), std::string::npos);
}

TEST(SideSettings, WrittenFileReadsBackAndIsCommented) {
  TempDir dir;
  SideSettings s;
  s.reconnect_s = 42;
  ASSERT_TRUE(SaveSideSettingsTo(dir.file("zuvek.toml"), s));
  const std::string text = ReadFile(dir.file("zuvek.toml"));
  EXPECT_NE(text.find("\n# Seconds to wait for lost ports"), std::string::npos) << text;
  EXPECT_NE(text.find("\nreconnect = 42\n"), std::string::npos) << text;
  const SideSettingsLoad load = LoadSideSettingsFrom(dir.file("zuvek.toml"));
  EXPECT_TRUE(load.found);
  EXPECT_TRUE(load.problems.empty());
  EXPECT_EQ(load.settings, s);
  EXPECT_FALSE(std::filesystem::exists(dir.file("zuvek.toml.tmp")));
}

TEST(SideSettings, MissingFileMeansDefaultsWithoutProblems) {
  TempDir dir;
  const SideSettingsLoad load = LoadSideSettingsFrom(dir.file("zuvek.toml"));
  EXPECT_FALSE(load.found);
  EXPECT_TRUE(load.problems.empty());
  EXPECT_EQ(load.settings, SideSettings{});
}

TEST(SideSettings, TheWindowWritesAMissingOrChangedFileButNeverOverAWrongOne) {
  TempDir dir;
  ScopedCwd cwd(dir.path());
  // Missing: written with the defaults on the way out.
  EXPECT_TRUE(LoadSideSettings().empty());
  ASSERT_TRUE(SaveSideSettings());
  EXPECT_EQ(ReadFile("zuvek.toml"), FormatSideSettings(SideSettings{}));

  // Edited by hand, unchanged by the program: left as the user wrote it.
  WriteFile("zuvek.toml", "reconnect = 9   # my bench\n");
  EXPECT_TRUE(LoadSideSettings().empty());
  EXPECT_EQ(g_side_settings.reconnect_s, 9u);
  ASSERT_TRUE(SaveSideSettings());
  EXPECT_EQ(ReadFile("zuvek.toml"), "reconnect = 9   # my bench\n");

  // Changed by the program: written.
  g_side_settings.reconnect_s = 12;
  ASSERT_TRUE(SaveSideSettings());
  EXPECT_EQ(LoadSideSettingsFrom("zuvek.toml").settings.reconnect_s, 12u);

  // A wrong value: the default is used, the user's text stays to be mended.
  WriteFile("zuvek.toml", "reconnect = ten\n");
  EXPECT_EQ(LoadSideSettings().size(), 1u);
  EXPECT_EQ(g_side_settings.reconnect_s, 0u);
  ASSERT_TRUE(SaveSideSettings());
  EXPECT_EQ(ReadFile("zuvek.toml"), "reconnect = ten\n");
  g_side_settings = SideSettings{};
}

}  // namespace

namespace {

TEST(SideSettings, FixRuleIsOneOfTheKnownNames) {
  const std::pair<const char*, const char*> cases[][2] = {
      {{"", "gprmc"}, {"", ""}},
      {{"fix_rule = \"rmc\"\n", "rmc"}, {"", ""}},
      {{"fix_rule = \"gsa3d\"\n", "gsa3d"}, {"", ""}},
      {{"\nfix_rule = \"RMC\"\n", "gprmc"},
       {"zuvek.toml:2: fix_rule must be one of gprmc, rmc, gga, gns, gsa3d; using 'gprmc'", ""}},
      {{"fix_rule = 3\n", "gprmc"},
       {"zuvek.toml:1: fix_rule must be a quoted text; using 'gprmc'", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0].first);
    const SideSettingsLoad load = ParseSideSettings(c[0].first, "zuvek.toml");
    EXPECT_EQ(load.settings.fix_rule, c[0].second);
    if (*c[1].first == '\0') {
      EXPECT_TRUE(load.problems.empty()) << load.problems.front();
    } else {
      ASSERT_EQ(load.problems.size(), 1u);
      EXPECT_EQ(load.problems[0], c[1].first);
    }
  }
  SideSettings s;
  s.fix_rule = "gns";
  const std::string text = FormatSideSettings(s);
  EXPECT_NE(text.find("\nfix_rule = 'gns'\n"), std::string::npos) << text;
  EXPECT_EQ(ParseSideSettings(text, "zuvek.toml").settings, s);
}

}  // namespace

// The manual page zuvek.toml(5) is written by hand: every key the program
// writes into a new file has its entry (".TP" then ".B key") under KEYS, and
// the page describes no key the program does not know.
TEST(SideSettings, TheManualPageNamesEveryKeyAndNoOther) {
  std::set<std::string> written;
  std::istringstream file(FormatSideSettings(SideSettings{}));
  for (std::string line; std::getline(file, line);) {
    if (const size_t eq = line.find(" = "); !line.empty() && line[0] != '#' && eq != line.npos)
      written.insert(line.substr(0, eq));
  }
  std::set<std::string> described;
  std::istringstream page(
      ReadFile(std::string(testsupport::kSourceDir) + "/packaging/man/zuvek.toml.5"));
  bool keys = false;
  std::string previous;
  for (std::string line; std::getline(page, line); previous = line) {
    if (line.rfind(".SH", 0) == 0)
      keys = line == ".SH KEYS";
    else if (keys && previous == ".TP" && line.rfind(".B ", 0) == 0)
      described.insert(line.substr(3));
  }
  EXPECT_EQ(written.size(), 7u);
  EXPECT_EQ(described, written);
}
