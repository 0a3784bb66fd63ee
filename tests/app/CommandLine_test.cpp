#include "app/CommandLine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "support/TestSupport.h"

namespace {

TCommandLine Parse(std::vector<std::string> Arguments) { return ParseCommandLine(Arguments); }

TEST(CommandLine, RunSwitchInEitherCaseAndWithTrailingLetters) {
  for (const char* form : {"-R", "-r", "-Run", "-rX"}) EXPECT_TRUE(Parse({form}).Run) << form;
  EXPECT_FALSE(Parse({}).Run);
  EXPECT_FALSE(Parse({"x.rmp"}).Run);
}

TEST(CommandLine, WindowStateSwitches) {
  EXPECT_EQ(Parse({"-W+"}).WindowState, swsMaximized);
  EXPECT_EQ(Parse({"-w+"}).WindowState, swsMaximized);
  EXPECT_EQ(Parse({"-W-"}).WindowState, swsMinimized);
  EXPECT_EQ(Parse({"-W"}).WindowState, swsNormal);
  EXPECT_EQ(Parse({"-W*"}).WindowState, swsNormal);
  // Several are applied in their order: the last one stands.
  EXPECT_EQ(Parse({"-W+", "-W-"}).WindowState, swsMinimized);
  EXPECT_EQ(Parse({"-W-", "-W*"}).WindowState, swsMinimized);
}

TEST(CommandLine, UnknownSwitchesAreRefusedNeverFiles) {
  TCommandLine line = Parse({"-X", "-", "-Wfoo", "a.rmp"});
  EXPECT_EQ(line.Files, std::vector<std::string>{"a.rmp"});
  EXPECT_FALSE(line.Run);
  EXPECT_EQ(line.WindowState, swsNormal);
  EXPECT_EQ(line.Unrecognized, "-X");  // the first one is named
}

// R and W keep their rule (second character, either case, whatever follows); the
// added switches count only as written: "-N" or "--Test" is no dry run.
TEST(CommandLine, SwitchesAreMatchedByTheirRules) {
  struct TCase {
    std::vector<std::string> Arguments;
    bool Run, Test, Verbose, Help, Version;
    std::string Unrecognized;
  };
  const TCase cases[] = {
      {{"-reverse"}, true, false, false, false, false, ""},
      {{"-rf", "-w+"}, true, false, false, false, false, ""},
      {{"-n"}, false, true, false, false, false, ""},
      {{"--dry-run", "-R"}, true, true, false, false, false, ""},
      {{"--test"}, false, true, false, false, false, ""},
      {{"-v", "--verbose"}, false, false, true, false, false, ""},
      {{"-h"}, false, false, false, true, false, ""},
      {{"-V"}, false, false, false, false, true, ""},
      {{"-N"}, false, false, false, false, false, "-N"},
      {{"-R", "--Test"}, true, false, false, false, false, "--Test"},
      {{"--dry"}, false, false, false, false, false, "--dry"},
      {{"-nv"}, false, false, false, false, false, "-nv"},
      {{"--help=all", "--bogus"}, false, false, false, false, false, "--help=all"},
      {{"--"}, false, false, false, false, false, "--"},
  };
  for (const TCase& c : cases) {
    const TCommandLine line = Parse(c.Arguments);
    const std::string name = c.Arguments[0];
    EXPECT_EQ(line.Run, c.Run) << name;
    EXPECT_EQ(line.Test, c.Test) << name;
    EXPECT_EQ(line.Verbose, c.Verbose) << name;
    EXPECT_EQ(line.Help, c.Help) << name;
    EXPECT_EQ(line.Version, c.Version) << name;
    EXPECT_EQ(line.Unrecognized, c.Unrecognized) << name;
  }
}

// Binary units, one decimal, and never a figure of 1024 or more in a unit.
TEST(CommandLine, DataSizesInBinaryUnits) {
  const std::pair<uint64_t, std::string> cases[] = {
      {1024, "1.0 KiB"},        {1536, "1.5 KiB"},          {10 * 1024 + 51, "10.0 KiB"},
      {1048575, "1.0 MiB"},     {1048576 + 104858, "1.1 MiB"}, {uint64_t(5) << 30, "5.0 GiB"},
      {UINT64_MAX, "16.0 EiB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(DataSizeText(bytes), text) << bytes;
  // Under a kibibyte, the count in words, whatever the language.
  EXPECT_NE(DataSizeText(1023).find("1023"), std::string::npos);
}

TEST(CommandLine, SlashStartsAPathNotASwitch) {
  TCommandLine line = Parse({"/R", "/W+", "/home/u/daily.rmp"});
  EXPECT_FALSE(line.Run);
  EXPECT_EQ(line.WindowState, swsNormal);
  EXPECT_EQ(line.Files, (std::vector<std::string>{"/R", "/W+", "/home/u/daily.rmp"}));
}

TEST(CommandLine, FilesKeepTheirOrderAndBytes) {
  std::string latin1 = "caf\xe9.rmp";  // not UTF-8: passed on as it stands
  TCommandLine line = Parse({"one.rmp", "-R", latin1, "two words.rmp"});
  EXPECT_EQ(line.Files, (std::vector<std::string>{"one.rmp", latin1, "two words.rmp"}));
  EXPECT_TRUE(line.Run);
}

TEST(CommandLine, HelpAndVersion) {
  EXPECT_TRUE(Parse({"--help"}).Help);
  EXPECT_TRUE(Parse({"x.rmp", "--version"}).Version);
  EXPECT_TRUE(Parse({"--help"}).Files.empty());
  EXPECT_NE(CommandLineUsage().find("-R"), std::string::npos);
}

TEST(CommandLine, RelativeFileArgumentsBecomeAbsolute) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(ResolvePatternArgument("daily.rmp"), std::string(cwd) + "/daily.rmp");
  EXPECT_EQ(ResolvePatternArgument("/etc/x.rmp"), "/etc/x.rmp");
}

TEST(CommandLine, DisplayFromEitherVariable) {
  const TScopedEnv display("DISPLAY", nullptr);
  const TScopedEnv wayland("WAYLAND_DISPLAY", "");
  EXPECT_FALSE(HasDisplay());
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  EXPECT_TRUE(HasDisplay());
  unsetenv("WAYLAND_DISPLAY");
  setenv("DISPLAY", ":0", 1);
  EXPECT_TRUE(HasDisplay());
}

}  // namespace
