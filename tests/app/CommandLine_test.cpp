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

TEST(CommandLine, UnknownSwitchesAreIgnoredNeverFiles) {
  TCommandLine line = Parse({"-X", "-", "-Wfoo", "a.rmp"});
  EXPECT_EQ(line.Files, std::vector<std::string>{"a.rmp"});
  EXPECT_FALSE(line.Run);
  EXPECT_EQ(line.WindowState, swsNormal);
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
