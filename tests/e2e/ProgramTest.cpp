// Runs the built program as a user would and checks what it leaves behind.
#include <gtest/gtest.h>

#include "support/ProgramRunner.h"
#include "support/TestSupport.h"

namespace {
class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirs(Dir / "home");
    MakeDirs(Dir / "xdg/Quillmere");
    MakeDirs(Dir / "work");
  }
  TProgramResult Run(const std::vector<std::string>& args) {
    return RunProgram(QUILLMERE_BIN, args, Dir / "work",
                      {{"HOME", Dir / "home"}, {"XDG_CONFIG_HOME", Dir / "xdg"}, {"LC_ALL", "C.UTF-8"},
                       {"PATH", "/usr/bin:/bin"}});
  }
  void ExpectSilentSuccess(const TProgramResult& r) {
    EXPECT_EQ(r.ExitStatus, 0);
    EXPECT_EQ(r.Stdout, "");
    EXPECT_EQ(r.Stderr, "");
  }
  TTempDir Dir;
};
}  // namespace

TEST_F(Program, WithoutArgumentsTouchesNothing) {
  ExpectSilentSuccess(Run({}));
  EXPECT_TRUE(FilesIn(Dir / "work").empty());
  EXPECT_TRUE(FilesIn(Dir / "xdg/Quillmere").empty());
  EXPECT_TRUE(FilesIn(Dir / "home").empty());
}

TEST_F(Program, AnyArgumentEndsSilentlyWithStatusZero) {
  for (std::vector<std::string> args : {std::vector<std::string>{"foo"}, {"task="}, {"x=y", "=z", "--help"}}) {
    ExpectSilentSuccess(Run(args));
  }
  EXPECT_TRUE(FilesIn(Dir / "work").empty());
}
