#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "app/UTerminalAgent.h"

namespace {

// What the agent wrote to a pipe.
class TerminalAgent : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(pipe(Pipe_), 0); }
  void TearDown() override {
    close(Pipe_[0]);
    close(Pipe_[1]);
  }
  int WriteEnd() const { return Pipe_[1]; }
  std::string Written() {
    close(Pipe_[1]);
    Pipe_[1] = -1;
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(Pipe_[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    return text;
  }

 private:
  int Pipe_[2] = {-1, -1};
};

}  // namespace

TEST_F(TerminalAgent, ErrorsAreOneLineEachNamedByTheProgram) {
  TTerminalAgent agent("prog", WriteEnd());
  agent.ShowError("Serial: 5\r\nCannot write \"x\"");
  agent.ShowError("a\nb\rc");
  agent.ShowError("");
  EXPECT_EQ(Written(), "prog: Serial: 5: Cannot write \"x\"\nprog: a: b: c\nprog: \n");
}

// Each line is drawn over the last one; an error or the summary takes its
// place without leaving a trace of it.
TEST_F(TerminalAgent, ProgressLineIsRedrawnInPlaceAndMakesWayForErrors) {
  TTerminalAgent agent("prog", WriteEnd());
  agent.ShowProgress("long line", false);
  agent.ShowProgress("short", false);
  agent.ShowError("oops");
  agent.ShowProgress("again", false);
  agent.ShowProgress("3 records in 1 pieces", true);
  agent.ShowError("after");
  EXPECT_EQ(Written(),
            "\rlong line"
            "\rshort    "
            "\r     \r"
            "prog: oops\n"
            "\ragain"
            "\r3 records in 1 pieces\n"
            "prog: after\n");
}
