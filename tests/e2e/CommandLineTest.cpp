// The command line and the log file, end to end.
#include <gtest/gtest.h>

#include "support/Sandbox.h"

namespace {

class CommandLine : public TSandbox {
 protected:
  void SetUp() override {
    TSandbox::SetUp();
    WriteFile(Work("src.txt"), "a\nb\nc\n");
    Task = WriteTask("job.sft", {"SourceFile=" + Work("src.txt"), "SourceEncoding=UTF-8", "DestFolder=" + Work("out"),
                                 "SplitByType=Lines", "MaxLines=2"});
  }
  void ExpectSplit() {
    EXPECT_EQ(FilesIn(Work("out")), (std::map<std::string, std::string>{{"1.txt", "a\r\nb\r\n"}, {"2.txt", "c\r\n"}}));
  }
  std::string Description() const {
    return "From : " + Work("src.txt") + "\r\nTo : " + Work("out") +
           "\r\nMax Lines per Split File: 2\r\nKeep Header: False";
  }
  std::string Task;
};

TEST_F(CommandLine, NamesIgnoreCaseValuesAreTrimmedAndFirstWins) {
  Run({"foo", "LogFile= \t" + Log + " ", "x=y", "TASK=\t" + Task + "  ", "task=" + Work("other.sft"),
       "logfile=" + Work("second.log")});
  ExpectSplit();
  EXPECT_FALSE(PathExists(Work("second.log")));
  auto log = WithoutResults(ParseLog(ReadFile(Log)));
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].Tag, "info");
  EXPECT_EQ(log[0].Text, Task);
  EXPECT_EQ(log[1].Text, Description());
  EXPECT_EQ(log[2].Text, "From : " + Work("src.txt"));
  EXPECT_EQ(log[2].Tag, "");
  EXPECT_EQ(log[3].Text, "To : " + Work("out"));
  EXPECT_EQ(log[4].Text.rfind("3 records,    Elapsed: 00:00:", 0), 0u) << log[4].Text;
}

TEST_F(CommandLine, MalformedOrEmptyOptionsRunNothingAndLogNothing) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"-task=" + Task}, {"--task", Task}, {"task =" + Task}, {"task", "=", Task}, {"task="}, {"task= \t"}, {}}) {
    args.push_back("logfile=" + Log);
    Run(args);
    EXPECT_FALSE(PathExists(Work("out")));
    EXPECT_TRUE(!PathExists(Log) || ReadFile(Log).empty());
  }
}

TEST_F(CommandLine, EqualsSignInsideTheTaskPath) {
  std::string task = Work("a=b.sft");
  WriteFile(task, ReadFile(Task));
  auto log = RunTask(task);
  ExpectSplit();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].Text, task);
}

// A task that never ran still ends with its Result line, with zero counts
// of its kind.
TEST_F(CommandLine, MissingDirectoryOrUnsupportedTaskFiles) {
  MakeDirs(Work("dir.sft"));
  for (const std::string& task : {Work("nope.sft"), Work("dir.sft"), Work("nope.bst")}) {
    auto log = RunTask(task, task + ".log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Tag, "error");
    EXPECT_EQ(log[0].Text, "task file: " + task + " not exists.");
    EXPECT_EQ(LastResult.Tag, "error");
    EXPECT_EQ(LastResult.Text, task.ends_with(".bst") ? "Result: failed, 0 files, 0 pieces, 0 records."
                                                      : "Result: failed, 0 pieces, 0 records.");
  }
  for (std::string name : {"job.SFT", "job.sft.txt", "job", ".sft"}) {
    std::string task = Work("t/" + name);
    WriteFile(task, ReadFile(Task));
    auto log = RunTask(task, Work(name + ".log"));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Text, task);
    EXPECT_EQ(log[1].Tag, "error");
    EXPECT_EQ(log[1].Text, "invalid task file.");
    EXPECT_EQ(LastResult.Text, "Result: failed, 0 pieces, 0 records.");
  }
  EXPECT_FALSE(PathExists(Work("out")));
  EXPECT_TRUE(FilesIn(ConfigFolder()).empty());  // command-line errors stay out of the exception log
}

TEST_F(CommandLine, LogFileIsAppendedAndAMissingFolderStopsTheTask) {
  WriteFile(Log, "earlier\n");
  Run({"task=" + Task, "logfile=" + Log});
  Run({"task=" + Task, "logfile=" + Log});
  std::string text = ReadFile(Log);
  EXPECT_EQ(text.rfind("earlier\n", 0), 0u);
  EXPECT_EQ(ParseLog(text.substr(8)).size(), 13u);  // the second run also clears the first one's pieces
  std::filesystem::remove_all(Work("out"));
  Run({"task=" + Task, "logfile=" + Work("missing/run.log")});
  EXPECT_FALSE(PathExists(Work("missing")));
  EXPECT_FALSE(PathExists(Work("out")));
}

TEST_F(CommandLine, RelativePathsAreTakenFromTheWorkingDirectory) {
  WriteFile(Work("cwd/data/s.csv"), "1\n2\n3\n");
  WriteFile(Work("cwd/jobs/rel.sft"),
            "[Split]\nSourceFile=data/s.csv\nDestFolder=pieces\nSplitByType=Lines\nMaxLines=2\n");
  Run({"task=jobs/rel.sft", "logfile=rel.log"}, Work("cwd"));
  EXPECT_EQ(FilesIn(Work("cwd/pieces")),
            (std::map<std::string, std::string>{{"1.csv", "1\r\n2\r\n"}, {"2.csv", "3\r\n"}}));
  EXPECT_TRUE(PathExists(Work("cwd/rel.log")));
}

}  // namespace
