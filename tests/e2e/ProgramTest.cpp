// Runs the built program as a user would and checks what it leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Sandbox.h"

namespace {
class Program : public TSandbox {};
}  // namespace

TEST_F(Program, WithoutArgumentsTouchesNothing) {
  Run({});
  EXPECT_TRUE(FilesIn(Dir / "work").empty());
  EXPECT_TRUE(FilesIn(ConfigFolder()).empty());
  EXPECT_TRUE(FilesIn(Dir / "home").empty());
}

TEST_F(Program, AnyArgumentEndsSilentlyWithStatusZero) {
  for (std::vector<std::string> args : {std::vector<std::string>{"foo"}, {"task="}, {"x=y", "=z", "--help"}}) Run(args);
  EXPECT_TRUE(FilesIn(Dir / "work").empty());
}

// The package installs "quillmere" as a link to the program. Started through
// it, the program keeps the configuration folder its real file name gives,
// even when a folder of the link's name exists too.
TEST_F(Program, StartedThroughALinkKeepsTheConfigurationFolder) {
  MakeDirs(Dir / "bin");
  MakeDirs(Dir / "xdg/quillmere");
  std::filesystem::create_symlink(QUILLMERE_BIN, Dir / "bin/quillmere");
  std::string task = WriteTask("job.sft", {"SourceFile=" + Work("nope.txt"), "SplitByType=Lines", "MaxLines=1"});
  TProgramResult result =
      RunProgram(Dir / "bin/quillmere", {"task=" + task, "logfile=" + Log}, Work(""), Environment());
  EXPECT_EQ(result.ExitStatus, 0);
  EXPECT_EQ(ParseLog(ReadFile(ConfigFolder() + "/exception.log")).size(), 1u);
  EXPECT_TRUE(FilesIn(Dir / "xdg/quillmere").empty());
}
