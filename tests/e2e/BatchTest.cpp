// Batch tasks end to end: one "_split" folder per matching file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/Sandbox.h"

namespace {

using TPieces = std::map<std::string, std::string>;

class Batch : public TSandbox {
 protected:
  std::string WriteBatch(const std::vector<std::string>& lines) {
    std::string text = "[Split]\n";
    for (const std::string& line : lines) text += line + "\n";
    WriteFile(Work("job.bst"), text);
    return Work("job.bst");
  }
};

TEST_F(Batch, SplitsEachMatchingFileIntoItsOwnFolderInNumericOrder) {
  WriteFile(Work("in/10.txt"), "ten\n");
  WriteFile(Work("in/9.txt"), "nine\n");
  WriteFile(Work("in/.DS_Store"), "x\n");
  WriteFile(Work("in/skip.csv"), "x\n");
  WriteFile(Work("in/sub.d/1.txt"), "one\n");
  WriteFile(Work("in/plain/5.txt"), "five\n");  // a subfolder without a dot is searched too
  WriteFile(Work("in/.cache/7.txt"), "seven\n");
  auto log = RunTask(WriteBatch({"SourceFolder=" + Work("in"), "SourceIncludeSub=yes", "SourceMask=*.txt",
                                 "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=1"}));
  ASSERT_EQ(log.size(), 2u + 4 * 3);
  EXPECT_EQ(log[2].Text, "From : " + Work("in/sub.d/1.txt"));
  EXPECT_EQ(log[3].Text, "To : " + Work("out/1_split"));
  EXPECT_EQ(log[5].Text, "From : " + Work("in/plain/5.txt"));
  EXPECT_EQ(log[8].Text, "From : " + Work("in/9.txt"));
  EXPECT_EQ(log[11].Text, "From : " + Work("in/10.txt"));
  EXPECT_EQ(FilesIn(Work("out/10_split")), (TPieces{{"1.txt", "ten\r\n"}}));
  EXPECT_EQ(FilesIn(Work("out/1_split")), (TPieces{{"1.txt", "one\r\n"}}));
  EXPECT_EQ(FilesIn(Work("out/5_split")), (TPieces{{"1.txt", "five\r\n"}}));
  EXPECT_FALSE(PathExists(Work("out/7_split")));
  EXPECT_FALSE(PathExists(Work("out/skip_split")));
  EXPECT_EQ(LastResult.Text, "Result: succeeded, 4 files, 4 pieces, 4 records.");
}

TEST_F(Batch, FailingFileIsReportedAndTheBatchGoesOn) {
  WriteFile(Work("in/a.txt"), "a\n");
  WriteFile(Work("in/b.txt"), "b\n");
  ASSERT_EQ(mkfifo(Work("in/c.txt").c_str(), 0600), 0);  // a pipe nobody writes to
  WriteFile(Work("out/a_split"), "a file where a's piece folder belongs");
  auto log = RunTask(WriteBatch({"SourceFolder=" + Work("in"), "SourceMask=*.txt", "DestFolder=" + Work("out"),
                                 "SplitByType=Lines", "MaxLines=5"}));
  EXPECT_EQ(FilesIn(Work("out/b_split")), (TPieces{{"1.txt", "b\r\n"}}));
  EXPECT_FALSE(PathExists(Work("out/c_split")));  // refused at once, without waiting for a writer
  bool named = false;
  for (const TLogEntry& e : log) named = named || e.Text.find(Work("in/a.txt")) != std::string::npos;
  EXPECT_TRUE(named) << "the failing file is not named in the log";
  auto exceptions = ParseLog(ReadFile(ConfigFolder() + "/exception.log"));
  ASSERT_EQ(exceptions.size(), 2u);  // in directory order
  std::string both = exceptions[0].Text + "\n" + exceptions[1].Text;
  EXPECT_NE(both.find("a_split"), std::string::npos) << both;
  EXPECT_NE(both.find("c.txt"), std::string::npos) << both;
}

// Files of one name share a piece folder: the first one split keeps it and
// every later one is reported as failed.
TEST_F(Batch, LaterFilesOfOneNameNeverClearTheFirstOnesPieces) {
  WriteFile(Work("in/data.txt"), "t1\nt2\n");
  WriteFile(Work("in/data.csv"), "c1\nc2\n");
  WriteFile(Work("in/sub.d/data.csv"), "s1\ns2\n");
  auto log = RunTask(WriteBatch({"SourceFolder=" + Work("in"), "SourceIncludeSub=1", "SourceMask=*.*",
                                 "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=1"}));
  ASSERT_GE(log.size(), 3u);
  ASSERT_EQ(log[2].Text.rfind("From : ", 0), 0u);
  const std::string first = log[2].Text.substr(7);
  const std::string text = ReadFile(first);
  const std::string ext = std::filesystem::path(first).extension().string();
  EXPECT_EQ(FilesIn(Work("out/data_split")),
            (TPieces{{"1" + ext, text.substr(0, 2) + "\r\n"}, {"2" + ext, text.substr(3, 2) + "\r\n"}}));
  std::vector<std::string> refused;
  for (const std::string& file : {Work("in/data.txt"), Work("in/data.csv"), Work("in/sub.d/data.csv")}) {
    if (file == first) continue;
    refused.push_back("Cannot split \"" + file + "\": The piece folder \"" + Work("out/data_split") +
                      "\" already holds the pieces of \"" + first + "\" split earlier in this batch.");
  }
  std::vector<std::string> reported;
  for (const TLogEntry& e : log)
    if (e.Text.starts_with("Cannot split")) reported.push_back(e.Text);
  EXPECT_EQ(reported, refused);
  EXPECT_EQ(log.size(), 2u + 3 + 2);  // one summary group, two refusals
  auto exceptions = ParseLog(ReadFile(ConfigFolder() + "/exception.log"));
  ASSERT_EQ(exceptions.size(), 2u);
  EXPECT_EQ(exceptions[1].Text, "In TBatchFileSplitSessionExecutor.Execute, " + refused[1]);
}

// A file that fails before its piece folder is touched leaves the folder to
// the next file of its name.
TEST_F(Batch, FileThatFailsBeforeItsFolderIsTouchedDoesNotHoldIt) {
  WriteFile(Work("in/sub.d/data.csv"), "s\n");
  ASSERT_EQ(mkfifo(Work("in/data.txt").c_str(), 0600), 0);  // refused at open; listed first
  auto log = RunTask(WriteBatch({"SourceFolder=" + Work("in"), "SourceIncludeSub=1", "SourceMask=*.*",
                                 "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=5"}));
  EXPECT_EQ(FilesIn(Work("out/data_split")), (TPieces{{"1.csv", "s\r\n"}}));
}

// A source folder that is not there is a mistake, not a batch of no files;
// a mask that matches nothing is a batch of no files.
TEST_F(Batch, MissingSourceFolderFailsAndNoMatchSucceeds) {
  WriteFile(Work("in/a.txt"), "a\n");
  WriteFile(Work("file.txt"), "f\n");
  for (const std::string& folder : {Work("inn"), std::string(), Work("file.txt")}) {
    std::filesystem::remove(Log);
    auto log = RunTask(WriteBatch({"SourceFolder=" + folder, "SourceMask=*.txt", "DestFolder=" + Work("out"),
                                   "SplitByType=Lines", "MaxLines=5"}));
    ASSERT_EQ(log.size(), 3u) << folder;
    EXPECT_EQ(log[2].Tag, "error");
    EXPECT_EQ(log[2].Text, "Source folder \"" + folder + "\" does not exist.");
    EXPECT_EQ(LastResult.Tag, "error");
    EXPECT_EQ(LastResult.Text, "Result: failed, 0 files, 0 pieces, 0 records.");
    EXPECT_FALSE(PathExists(Work("out")));
  }
  auto log = RunTask(WriteBatch({"SourceFolder=" + Work("in"), "SourceMask=*.csv", "DestFolder=" + Work("out"),
                                 "SplitByType=Lines", "MaxLines=5"}));
  EXPECT_EQ(LastResult.Tag, "info");
  EXPECT_EQ(LastResult.Text, "Result: succeeded, 0 files, 0 pieces, 0 records.");
}

TEST_F(Batch, EmptyDestUsesWorkingDirectory) {
  WriteFile(Work("in/a.txt"), "a\n");
  RunTask(
      WriteBatch({"SourceFolder=" + Work("in"), "SourceMask=*.txt", "DestFolder=", "SplitByType=Lines", "MaxLines=5"}));
  EXPECT_EQ(FilesIn(Work("a_split")), (TPieces{{"1.txt", "a\r\n"}}));
}

// The batch never splits its own pieces, wherever its destination lies.
TEST_F(Batch, DestinationInsideTheSourceFolderIsNotSearched) {
  for (const char* path : {"in/a.txt", "in/parts/old_split/1.txt", "in/parts/b.txt", "in/sub/c.txt"})
    WriteFile(Work(path), "x\n");
  std::filesystem::create_symlink(Work("in/parts"), Work("in/sub/parts.lnk"));
  RunTask(WriteBatch({"SourceFolder=" + Work("in"), "SourceIncludeSub=1", "SourceMask=*.txt",
                      "DestFolder=" + Work("in/parts"), "SplitByType=Lines", "MaxLines=5"}));
  EXPECT_EQ(LastResult.Text, "Result: succeeded, 2 files, 2 pieces, 2 records.");
  EXPECT_TRUE(PathExists(Work("in/parts/c_split/1.txt")));
}

}  // namespace
