// Runs the built program as a user would and checks what it leaves behind.
#include <gtest/gtest.h>

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
