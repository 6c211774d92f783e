#include <gtest/gtest.h>

#include "app/UUIAgent.h"
#include "convert/UConvertStatus.h"
#include "execution/UTerminalConvertOutputer.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"

namespace {

// Stands in for the program's agent and keeps what it was shown.
class TRecordingAgent final : public TUIAgent {
 public:
  TRecordingAgent() : Saved_(UIAgent) { UIAgent = this; }
  ~TRecordingAgent() override { UIAgent = Saved_; }
  void Initialize() override {}
  void RunInteractive() override {}
  void ShowError(const std::string& message) override { Shown.push_back("error:" + message); }
  void NotifyTaskEnd(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
  void ShowProgress(const std::string& text, bool done) override { Shown.push_back((done ? "done:" : "line:") + text); }
  std::vector<std::string> Shown;

 private:
  TUIAgent* Saved_;
};

}  // namespace

TEST(TerminalConvertOutputer, FailuresReachTheLogFileAndTheTerminal) {
  TTempDir dir;
  TRecordingAgent agent;
  TConvertStatus status;
  TTerminalConvertOutputer outputer;
  outputer.LogFileName = dir / "run.log";
  outputer.Status = &status;
  outputer.Attach();
  EXPECT_FALSE(status.OnProgress) << "nothing is raised per record without a progress line";
  outputer.WriteError("Unable to open file \"x\"");
  status.ErrorText = "Serial: 3\r\nCannot write";
  status.Raise(status.OnRecordError);
  status.Message = "a notice";
  status.Raise(status.OnMessage);
  EXPECT_EQ(agent.Shown,
            (std::vector<std::string>{"error:Unable to open file \"x\"", "error:Serial: 3\r\nCannot write"}));
  const auto log = ParseLog(ReadFile(dir / "run.log"));
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].Text, "Unable to open file \"x\"");
  EXPECT_EQ(log[1].Text, "Serial: 3\r\nCannot write");
}

// Progress that nothing shows costs no call per record: the event stays
// unbound, also when a status is attached again.
TEST(TerminalConvertOutputer, ProgressIsBoundOnlyWhereItIsShown) {
  TConvertStatus status;
  TLogConvertOutputer log;
  log.Status = &status;
  TTerminalConvertOutputer terminal;
  terminal.Status = &status;
  for (const bool show : {true, false}) {
    terminal.ShowProgress = show;
    terminal.Attach();
    EXPECT_EQ(static_cast<bool>(status.OnProgress), show);
    log.Attach();
    EXPECT_FALSE(status.OnProgress);
    EXPECT_TRUE(status.OnFinish);
  }
}

TEST(TerminalConvertOutputer, ProgressLineWithAndWithoutATotal) {
  TRecordingAgent agent;
  TConvertStatus status;
  TTerminalConvertOutputer outputer;
  outputer.ShowProgress = true;
  outputer.Status = &status;
  outputer.Attach();
  ASSERT_TRUE(status.OnProgress);
  TConvertStatus::TMeasure measure{.BytesRead = 250'000'000, .BytesTotal = 1'000'000'000, .Pieces = 3};
  status.Measure = [&] { return measure; };
  status.Converted = 1234;
  EXPECT_EQ(outputer.ProgressText(2000), "250.0 MB of 1.00 GB (25%), 1234 records, 3 pieces, 125.0 MB/s, 6.00 s left");
  measure = {.BytesRead = 5'500, .BytesTotal = -1, .Pieces = 0};
  EXPECT_EQ(outputer.ProgressText(1000), "5.5 kB, 1234 records, 0 pieces, 0.0 MB/s");
  measure = {.BytesRead = 0, .BytesTotal = 0, .Pieces = 0};
  EXPECT_EQ(outputer.ProgressText(0), "0 B, 1234 records, 0 pieces, 0.0 MB/s");
  // The start draws a line at once; a quick run of records draws no other.
  status.Start();
  for (int i = 0; i < 1000; ++i) status.Raise(status.OnProgress);
  ASSERT_EQ(agent.Shown.size(), 1u);
  EXPECT_EQ(agent.Shown[0], "line:0 B, 0 records, 0 pieces, 0.0 MB/s");
}
