// The splitter under faults that need a reader of small blocks read from
// disk: a source that changes while it is split, lines longer than a block.
// Each run goes through the executor and the log outputer, as the program's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <utility>

#include "convert/UConvertStatus.h"
#include "convert/UFileSplitter.h"
#include "execution/UFileSplitSessionExecutor.h"
#include "execution/ULogConvertOutputer.h"
#include "support/NothingLost.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "tasks/UFileSplitSession.h"
#include "util/UStopSignal.h"

namespace {

// The log outputer, plus an action run once after a given record.
class THookedOutputer : public TLogConvertOutputer {
 public:
  bool WantsProgress() const override { return true; }
  void DoProgress(TConvertStatus& sender) override {
    if (Action && sender.Converted == AfterRecord) std::exchange(Action, nullptr)();
  }
  int64_t AfterRecord = 0;
  std::function<void()> Action;
};

struct TRule {
  const char* name;
  std::function<void(TFileSplitSession&)> settings;
  TSplitShape shape;
};

const TRule kRules[] = {
    {"lines with header",
     [](TFileSplitSession& s) {
       s.Settings.SplitByType = srLines, s.Settings.MaxLines = 7, s.Settings.KeepHeader = true;
     },
     {.KeepHeader = true}},
    {"file size", [](TFileSplitSession& s) { s.Settings.SplitByType = srFileSize, s.Settings.MaxFileSize = 0; }, {}},
    {"separator",
     [](TFileSplitSession& s) {
       s.Settings.SplitByType = srSymbol, s.Settings.SymbolType = stSeparator, s.Settings.SymbolValue = "--";
     },
     {.HasSeparator = true, .Separator = "--"}},
};

class SplitterFault : public ::testing::Test {
 protected:
  // Runs the rule over the source through the executor, reading small blocks
  // from disk and writing pieces in small parts (which may end inside a
  // line) as Sizes says; returns the log.
  std::vector<TLogEntry> Execute(const TRule& rule, THookedOutputer& outputer, bool* result = nullptr) {
    TFileSplitSession session;
    session.SourceFile = Source();
    session.Settings.SourceEncoding = "UTF-8";
    session.DestFolder = Dir / "out";
    session.Settings.MaxFileSize = 100;
    rule.settings(session);
    std::filesystem::remove_all(Dir / "out");
    std::filesystem::remove(Dir / "run.log");
    outputer.LogFileName = Dir / "run.log";
    TFileSplitSessionExecutor executor;
    executor.SplitterSizes = Sizes;
    executor.SetSession(&session);
    executor.Outputer = &outputer;
    bool ok = executor.Execute();
    if (result != nullptr) *result = ok;
    return PathExists(Dir / "run.log") ? ParseLog(ReadFile(Dir / "run.log")) : std::vector<TLogEntry>{};
  }
  std::string Source() const { return Dir / "src.txt"; }
  // The source as it was before a fault changed it, under a name with the
  // same extension for the checker.
  std::string Snapshot() const { return Dir / "snapshot.txt"; }

  TTempDir Dir;
  TSplitterSizes Sizes;
};

// Numbered lines with a separator line now and then, each about 20 bytes.
std::string NumberedLines(int count, const char* end = "\n") {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += (i % 9 == 8 ? std::string("--") : "line " + std::to_string(i) + " of text") + end;
  return text;
}

}  // namespace

TEST_F(SplitterFault, SourceThatShrinksWhileSplitFailsWithReadErrorAndClaimsNothing) {
  const std::string text = NumberedLines(300);
  // Flushes of 100 bytes leave the head of a line written when the read fails.
  for (int64_t flush : {int64_t{0}, int64_t{100}}) {
    for (const TRule& rule : kRules) {
      Sizes = {.ReaderBlockSize = 64, .ReaderMemoryLimit = 0, .FlushThreshold = flush};
      for (off_t size : {off_t{0}, off_t{1001}, off_t{2000}}) {
        SCOPED_TRACE(std::string(rule.name) + ", truncated to " + std::to_string(size) + ", flush " +
                     std::to_string(flush));
        WriteFile(Source(), text);
        WriteFile(Snapshot(), text);
        THookedOutputer outputer;
        outputer.AfterRecord = 100;
        outputer.Action = [&] { ASSERT_EQ(truncate(Source().c_str(), size), 0); };
        bool ok = true;
        auto log = Execute(rule, outputer, &ok);
        EXPECT_FALSE(ok);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].Text, "Stream read error");
        // No summary, and the pieces hold nothing but lines of the source.
        EXPECT_TRUE(OnlySourceLines(Snapshot(), Dir / "out", rule.shape));
      }
    }
  }
}

TEST_F(SplitterFault, SourceThatGrowsWhileSplitKeepsTheLinesItHadAtOpen) {
  Sizes = {.ReaderBlockSize = 64, .ReaderMemoryLimit = 0};
  for (const TRule& rule : kRules) {
    SCOPED_TRACE(rule.name);
    const std::string text = NumberedLines(300);
    WriteFile(Source(), text);
    WriteFile(Snapshot(), text);
    THookedOutputer outputer;
    outputer.AfterRecord = 150;
    outputer.Action = [&] { std::ofstream(Source(), std::ios::app) << NumberedLines(50); };
    auto log = Execute(rule, outputer);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(NothingLost(Snapshot(), Dir / "out", rule.shape, SummaryOf(log)));
  }
}

// Lines longer than a block, among short ones and every kind of line end,
// in a source of many blocks: every rule keeps every line whole.
TEST_F(SplitterFault, LinesLongerThanABlockAreSplitWhole) {
  std::string text;
  for (int i = 0; i < 40; ++i) {
    const char* end = i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r";
    text += (i % 10 == 4 ? std::string(1000 + i, 'x') : i % 9 == 8 ? std::string("--") : "short " + std::to_string(i));
    text += end;
  }
  text += std::string(3000, 'y');  // the last line, longer than a block, without a line end
  WriteFile(Source(), text);
  for (const TRule& rule : kRules) {
    for (int64_t block : {1, 7, 64, 999}) {
      for (int64_t limit : {int64_t{0}, int64_t{1} << 20}) {
        SCOPED_TRACE(std::string(rule.name) + ", block " + std::to_string(block) + ", limit " + std::to_string(limit));
        Sizes = {.ReaderBlockSize = block, .ReaderMemoryLimit = limit};
        THookedOutputer outputer;
        auto log = Execute(rule, outputer);
        ASSERT_EQ(log.size(), 3u);
        EXPECT_TRUE(NothingLost(Source(), Dir / "out", rule.shape, SummaryOf(log)));
      }
    }
  }
}

// A stop signal ends the split between records: every record counted as
// converted is in its piece, whole, whatever was pending when it came.
TEST_F(SplitterFault, StopSignalKeepsEveryRecordCountedInWholePieces) {
  const std::string text = NumberedLines(300);
  WriteFile(Source(), text);
  for (int64_t flush : {int64_t{0}, int64_t{100}}) {
    for (const TRule& rule : kRules) {
      SCOPED_TRACE(std::string(rule.name) + ", flush " + std::to_string(flush));
      Sizes = {.ReaderBlockSize = 64, .ReaderMemoryLimit = 0, .FlushThreshold = flush};
      THookedOutputer outputer;
      outputer.AfterRecord = 150;
      outputer.Action = [] { StopSignal = SIGTERM; };
      bool ok = false;
      auto log = Execute(rule, outputer, &ok);
      StopSignal = 0;
      EXPECT_TRUE(ok);
      const TSummary summary = SummaryOf(log);
      ASSERT_TRUE(summary.Found);
      EXPECT_EQ(summary.Converted, 150);
      int64_t held = 0;
      EXPECT_TRUE(OnlySourceLines(Source(), Dir / "out", rule.shape, &held));
      // Separator lines are records that reach no piece.
      const int64_t separators = rule.shape.HasSeparator ? 150 / 9 : 0;
      EXPECT_EQ(held, 150 - separators);
    }
  }
}
