// Faults end to end with the built program. Whatever goes wrong, the program
// exits 0 and prints nothing (TSandbox::Run checks both), reports the failure
// in the log, leaves the source as it was and claims no line that is not in
// a piece.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "support/NothingLost.h"
#include "support/Sandbox.h"

namespace {

using TPieces = std::map<std::string, std::string>;

class Fault : public TSandbox {
 protected:
  static std::vector<std::string> Errors(const std::vector<TLogEntry>& log) {
    std::vector<std::string> errors;
    for (const TLogEntry& entry : log)
      if (entry.Tag == "error") errors.push_back(entry.Text);
    return errors;
  }
  static bool Mentions(const std::vector<TLogEntry>& log, const std::string& text) {
    for (const TLogEntry& entry : log)
      if (entry.Text.find(text) != std::string::npos) return true;
    return false;
  }
  // The record failures reported in the log file.
  static int64_t RecordErrors(const std::vector<TLogEntry>& log) {
    return std::count_if(log.begin(), log.end(), [](const TLogEntry& e) { return e.Text.starts_with("Serial: "); });
  }
  std::vector<TLogEntry> RunTaskWith(const std::string& task, const TRunLimits& limits = {}) {
    Run({"task=" + task, "logfile=" + Log}, "", Environment(), limits);
    return PathExists(Log) ? WithoutResults(ParseLog(ReadFile(Log))) : std::vector<TLogEntry>{};
  }
};

// Count lines of Width bytes, each naming its number; every SeparatorEvery-th
// line is "--" instead.
std::string NumberedLines(int count, size_t width, int separator_every = 0) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    if (separator_every > 0 && i % separator_every == 0) {
      text += "--\n";
      continue;
    }
    std::string line = "record " + std::to_string(i) + " ";
    line.resize(width, static_cast<char>('a' + i % 26));
    text += line + "\n";
  }
  return text;
}

// Waits until a file the inotify descriptor watches is opened (at most 10 s);
// true when it was.
bool WaitForOpen(int inotify_fd) {
  pollfd poll_fd = {inotify_fd, POLLIN, 0};
  if (poll(&poll_fd, 1, 10000) != 1) return false;
  alignas(inotify_event) char events[4096];
  return read(inotify_fd, events, sizeof(events)) > 0;
}

}  // namespace

// RLIMIT_FSIZE makes every write past 256 KiB fail with EFBIG, as a full
// disk fails with ENOSPC: part of a write may land before the failure.
// Either ends the split; the records that reach no piece count as failed.
TEST_F(Fault, DestinationOutOfRoomReportsFailuresAndClaimsOnlyWhatThePiecesHold) {
  const long long kLimit = 256 * 1024;
  struct Case {
    const char* name;
    std::vector<std::string> settings;
    TSplitShape shape;
    int source_lines, separator_every;
    size_t width = 63;
  } cases[] = {
      {"lines", {"SplitByType=Lines", "MaxLines=5000"}, {}, 12000, 0},
      {"lines with header, utf-16",
       {"SplitByType=Lines", "MaxLines=3000", "KeepHeader=1", "SourceEncoding=UCS-2LE (Unicode Little Endian)"},
       {.Encoding = "UCS-2LE (Unicode Little Endian)", .KeepHeader = true},
       12000,
       0},
      {"file size", {"SplitByType=File Size", "MaxFileSize=1"}, {}, 40000, 0},
      {"separator",
       {"SplitByType=Symbol", "SymbolType=Separator", "SymbolValue=--"},
       {.HasSeparator = true, .Separator = "--"},
       12000,
       5000},
      // Lines longer than the pending text's flush go to the piece directly.
      {"long lines", {"SplitByType=Lines", "MaxLines=1"}, {}, 4, 0, 300000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Work("out"));
    std::filesystem::remove(Log);
    std::string text = NumberedLines(c.source_lines, c.width, c.separator_every);
    if (c.shape.Encoding.starts_with("UCS-2LE")) {
      std::string wide("\xFF\xFE", 2);
      for (char ch : text) wide += std::string{ch, '\0'};
      text = wide;
    }
    WriteFile(Work("src.txt"), text);
    std::vector<std::string> settings = {"SourceFile=" + Work("src.txt"), "DestFolder=" + Work("out")};
    settings.insert(settings.end(), c.settings.begin(), c.settings.end());
    auto log = RunTaskWith(WriteTask("job.sft", settings), {.FileSizeLimit = kLimit});
    EXPECT_EQ(ReadFile(Work("src.txt")), text);
    TSummary summary = SummaryOf(log);
    EXPECT_GT(summary.Failed, 0);
    EXPECT_TRUE(Mentions(log, "File too large")) << "no write failure in the log";
    EXPECT_TRUE(CountsAreHonest(Work("src.txt"), Work("out"), c.shape, summary));
    for (const auto& [name, content] : FilesIn(Work("out"))) EXPECT_LE(content.size(), kLimit) << name;
    // The first write that finds no room ends the split: one record error,
    // and no piece after the one it cut back.
    EXPECT_EQ(RecordErrors(log), 1);
    EXPECT_EQ(FilesIn(Work("out")).size(), 1u);
  }
  // A batch goes on with its next file, which ends the same way.
  std::filesystem::remove_all(Work("out"));
  std::filesystem::remove(Log);
  for (const char* name : {"a.txt", "b.txt"}) WriteFile(Work("in/") + name, NumberedLines(12000, 63));
  auto log = RunTaskWith(WriteTask("job.bst", {"SourceFolder=" + Work("in"), "SourceMask=*.txt",
                                               "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=5000"}),
                         {.FileSizeLimit = kLimit});
  EXPECT_EQ(RecordErrors(log), 2);
  int summaries = 0;
  for (const TLogEntry& entry : log) {
    const TSummary summary = ParseSummary(entry.Text);
    if (!summary.Found) continue;
    ++summaries;
    EXPECT_GT(summary.Failed, 0);
    EXPECT_EQ(summary.Converted + summary.Failed, 12000);
  }
  EXPECT_EQ(summaries, 2);
  for (const char* folder : {"out/a_split", "out/b_split"}) EXPECT_EQ(FilesIn(Work(folder)).size(), 1u) << folder;
}

// Out of room in a compressed piece: the piece still ends as a complete
// stream, of whole lines only, and the summary claims only those.
TEST_F(Fault, CompressedPieceOutOfRoomIsACompleteStreamOfWholeLines) {
  const long long kLimit = 256 * 1024;
  // Lines of letters at random, which compress to about two thirds.
  std::string text;
  uint32_t state = 1;
  for (int i = 1; i <= 30000; ++i) {
    std::string line = "record " + std::to_string(i) + " ";
    while (line.size() < 63) line += static_cast<char>('a' + ((state = state * 1103515245 + 12345) >> 16) % 26);
    text += line + "\n";
  }
  WriteFile(Work("src.txt"), text);
  for (const char* format : {"gzip", "zstd"}) {
    SCOPED_TRACE(format);
    std::filesystem::remove_all(Work("out"));
    std::filesystem::remove_all(Work("plain"));
    std::filesystem::remove(Log);
    auto log =
        RunTaskWith(WriteTask("job.sft", {"SourceFile=" + Work("src.txt"), "DestFolder=" + Work("out"),
                                          "SplitByType=Lines", "MaxLines=100000", std::string("Compress=") + format}),
                    {.FileSizeLimit = kLimit});
    EXPECT_EQ(RecordErrors(log), 1);
    const TPieces pieces = FilesIn(Work("out"));
    ASSERT_EQ(pieces.size(), 1u);
    const std::string& piece = pieces.begin()->second;
    EXPECT_LE(piece.size(), kLimit);
    std::string plain;
    ASSERT_NO_THROW(plain = Decompressed(piece));
    WriteFile(Work("plain/1.txt"), plain);
    const TSummary summary = SummaryOf(log);
    EXPECT_GT(summary.Failed, 0);
    EXPECT_TRUE(CountsAreHonest(Work("src.txt"), Work("plain"), {}, summary));
  }
}

// A piece that cannot be created (a folder of its name survives clearing):
// the lines meant for it count as failed, with a "Serial: " line in the log,
// and the summary claims no more than the other pieces hold. The end-line
// rule opens the next piece right after an end line, so that line is blamed
// although it reached its piece: the count errs on the side of failure.
TEST_F(Fault, PieceThatCannotBeCreatedCountsItsLinesAsFailed) {
  struct Case {
    const char* name;
    std::vector<std::string> settings;
    TSplitShape shape;
    int64_t converted, failed;
  } cases[] = {
      {"lines", {"SplitByType=Lines", "MaxLines=3"}, {}, 11, 3},
      {"lines with header", {"SplitByType=Lines", "MaxLines=3", "KeepHeader=1"}, {.KeepHeader = true}, 10, 3},
      {"file size", {"SplitByType=File Size", "MaxFileSize=0"}, {}, 13, 1},
      {"start with", {"SplitByType=Symbol", "SymbolType=Start With", "SymbolValue=#"}, {}, 11, 3},
      {"end with", {"SplitByType=Symbol", "SymbolType=End With", "SymbolValue=;"}, {}, 9, 5},
      {"separator",
       {"SplitByType=Symbol", "SymbolType=Separator", "SymbolValue=--"},
       {.HasSeparator = true, .Separator = "--"},
       10,
       4},
  };
  const std::string text = "h\n#1\na;\n--\n#2\nb\nc;\n--\n#3\nd\ne;\n--\n#4\nf\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Work("out"));
    std::filesystem::remove(Log);
    WriteFile(Work("src.txt"), text);
    WriteFile(Work("out/2.txt/keep"), "");
    std::vector<std::string> settings = {"SourceFile=" + Work("src.txt"), "DestFolder=" + Work("out")};
    settings.insert(settings.end(), c.settings.begin(), c.settings.end());
    auto log = RunTask(WriteTask("job.sft", settings));
    TSummary summary = SummaryOf(log);
    EXPECT_EQ(summary.Converted, c.converted);
    EXPECT_EQ(summary.Failed, c.failed);
    EXPECT_TRUE(Mentions(log, "Serial: ")) << ReadFile(Log);
    EXPECT_TRUE(CountsAreHonest(Work("src.txt"), Work("out"), c.shape, summary));
    EXPECT_EQ(ReadFile(Work("src.txt")), text);
  }
}

// Without a configuration folder the exception log cannot be written: the
// error that would go there must not turn into a lost report in the log file.
TEST_F(Fault, MissingConfigurationFolderIsNeverCreatedAndTheLogStillReports) {
  std::filesystem::remove_all(ConfigFolder());
  WriteFile(Work("src.txt"), "a\nb\nc\n");
  struct Case {
    const char* name;
    std::string source;
    std::map<std::string, std::string> env;
  } cases[] = {
      {"split", Work("src.txt"), Environment()},
      {"missing source", Work("nope.txt"), Environment()},
      {"no HOME, no XDG_CONFIG_HOME", Work("src.txt"), {{"PATH", "/usr/bin:/bin"}, {"LC_ALL", "C.UTF-8"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Log);
    std::filesystem::remove_all(Work("out"));
    std::string task = WriteTask(
        "job.sft", {"SourceFile=" + c.source, "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=2"});
    Run({"task=" + task, "logfile=" + Log}, "", c.env);
    auto log = ParseLog(ReadFile(Log));
    if (c.source == Work("src.txt")) {
      EXPECT_TRUE(NothingLost(Work("src.txt"), Work("out"), {}, SummaryOf(log)));
    } else {
      EXPECT_TRUE(Mentions(log, "Unable to open file \"" + c.source + "\"")) << ReadFile(Log);
    }
    EXPECT_FALSE(PathExists(ConfigFolder()));
    EXPECT_FALSE(PathExists(Work(".config")));
  }
}

// Task files that make no sense still run to a clean end: the task path and
// then the description or an error reach the log, nothing else is touched.
TEST_F(Fault, TaskFilesOfGarbageRunToACleanEnd) {
  std::string garbage;
  uint32_t seed = 12345;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((seed = seed * 1103515245 + 12345) >> 23);
  const std::string one_line(10 * 1024 * 1024, 'q');
  struct Case {
    const char* name;
    std::string content;
  } cases[] = {
      {"empty", ""},
      {"binary garbage", garbage},
      {"garbage after the section", "[Split]\n" + garbage},
      {"10 MB of one line", one_line},
      {"10 MB value", "[Split]\nSourceFile=" + Work("src.txt") + "\nSplitByType=Symbol\nSymbolValue=" + one_line},
      {"NUL bytes", std::string("[Split]\0\nMaxLines=\0\x31\nSplitByType=Li\0nes\n\0\0\0", 40)},
  };
  WriteFile(Work("src.txt"), "a\nb\n");
  for (const Case& c : cases) {
    for (const char* extension : {".sft", ".bst"}) {
      SCOPED_TRACE(std::string(c.name) + extension);
      std::filesystem::remove(Log);
      WriteFile(Work(std::string("job") + extension), c.content);
      auto start = std::chrono::steady_clock::now();
      auto log = RunTask(Work(std::string("job") + extension));
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
      ASSERT_GE(log.size(), 2u);
      EXPECT_EQ(log[0].Text, Work(std::string("job") + extension));
      EXPECT_EQ(log[1].Text.rfind("From : ", 0), 0u);
      EXPECT_EQ(ReadFile(Work("src.txt")), "a\nb\n");
    }
  }
}

// A path cannot hold a NUL byte: a task value that does names no file, and
// must never stand for the path in front of the NUL.
TEST_F(Fault, PathsWithNulBytesNameNoFile) {
  WriteFile(Work("src.txt"), "a\nb\n");
  WriteFile(Work("out/keep.txt"), "keep");
  WriteFile(Work("in/c.txt"), "c\n");
  const std::string nul(1, '\0');
  struct Case {
    const char* name;
    std::string task, text;
  } cases[] = {
      {"source", "job.sft", "SourceFile=" + Work("src.txt") + nul + "x\nDestFolder=" + Work("new")},
      {"destination", "job.sft", "SourceFile=" + Work("src.txt") + "\nDestFolder=" + Work("out") + nul + "/x"},
      {"batch source", "job.bst",
       "SourceFolder=" + Work("in") + nul + "x\nSourceMask=*.txt\nDestFolder=" + Work("new")},
      {"batch destination", "job.bst",
       "SourceFolder=" + Work("in") + "\nSourceMask=*.txt\nDestFolder=" + Work("out") + nul + "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Log);
    WriteFile(Work(c.task), "[Split]\nSplitByType=Lines\nMaxLines=1\n" + c.text + "\n");
    auto log = RunTask(Work(c.task));
    EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"keep.txt", "keep"}}));
    EXPECT_FALSE(PathExists(Work("new")));
    EXPECT_FALSE(PathExists(Work("c_split")));
    EXPECT_EQ(ReadFile(Work("src.txt")), "a\nb\n");
    if (std::string(c.name) != "batch source") {  // a batch whose folder does not exist finds no file, silently
      EXPECT_TRUE(Mentions(log, "Unable to open file") || Mentions(log, "Cannot create destination folder"))
          << ReadFile(Log);
    }
  }
}

// Names with blanks, quotes, "=", INI punctuation and letters beyond ASCII
// reach the file system unchanged: as task file, log file, source, folder
// and destination, in a single split and in a batch.
TEST_F(Fault, PathsWithBlanksQuotesEqualsAndNonAsciiLetters) {
  const std::string names[] = {
      "with  blanks", "double \"quoted\"", "single 'quoted'", "a=b =c", "[section] ;comment", "ünïcödé 日本 😀",
  };
  const std::string text = "h\nx y\n\"q\"\n=\n";
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string folder = Work(name + ".d");
    const std::string source = folder + "/" + name + ".csv";
    const std::string log_file = folder + "/" + name + ".log";
    WriteFile(source, text);
    const std::string task = WriteTask(name + ".sft", {"SourceFile=" + source, "DestFolder=" + Work(name + " out"),
                                                       "SplitByType=Lines", "MaxLines=2"});
    auto log = RunTask(task, log_file);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].Text, task);
    EXPECT_TRUE(NothingLost(source, Work(name + " out"), {}, SummaryOf(log)));

    std::filesystem::remove(log_file);
    WriteFile(Work(name + ".bst"), "[Split]\nSourceFolder=" + folder + "\nSourceMask=*.csv\nDestFolder=" +
                                       Work(name + " batch") + "\nSplitByType=Lines\nMaxLines=3\n");
    log = RunTask(Work(name + ".bst"), log_file);
    EXPECT_TRUE(NothingLost(source, Work(name + " batch/" + name + "_split"), {}, SummaryOf(log)));
    EXPECT_EQ(ReadFile(source), text);
  }
}

// Ten thousand small files in one batch: each is split into its own folder
// and reported once, in numeric order, within seconds.
TEST_F(Fault, BatchOfTenThousandSmallFiles) {
  const int kFiles = 10000;
  MakeDirs(Work("in"));
  for (int i = 1; i <= kFiles; ++i) {
    std::ofstream(Work("in/" + std::to_string(i) + ".txt"), std::ios::binary) << "line " << i << "\nend\n";
  }
  auto start = std::chrono::steady_clock::now();
  auto log = RunTask(WriteTask("job.bst", {"SourceFolder=" + Work("in"), "SourceMask=*.txt",
                                           "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=1"}));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(60));
  ASSERT_EQ(log.size(), 2u + 3 * kFiles);
  for (int i = 1; i <= kFiles; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_EQ(log[2 + 3 * (i - 1)].Text, "From : " + Work("in/" + n + ".txt"));
    ASSERT_EQ(ParseSummary(log[4 + 3 * (i - 1)].Text).Converted, 2) << n;
  }
  for (int i : {1, 777, kFiles})
    EXPECT_EQ(FilesIn(Work("out/" + std::to_string(i) + "_split")),
              (TPieces{{"1.txt", "line " + std::to_string(i) + "\r\n"}, {"2.txt", "end\r\n"}}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Work("out")), std::filesystem::directory_iterator()),
            kFiles);
}

// Links in the destination: clearing it deletes the links among the earlier
// pieces, never what they point to, and leaves the other links; a piece
// never writes through a link.
TEST_F(Fault, SymbolicLinksInTheDestinationAreNeverFollowed) {
  namespace fs = std::filesystem;
  WriteFile(Work("outside/f.txt"), "f");
  WriteFile(Work("outside/d/x.txt"), "x");
  WriteFile(Work("outside/one"), "one");
  WriteFile(Work("src"), "a\nb\nc\n");  // no extension: pieces 1, 2, 3
  MakeDirs(Work("out/sub.d"));
  fs::create_symlink(Work("outside/f.txt"), Work("out/3"));
  fs::create_symlink(Work("outside/d"), Work("out/dir.d"));
  fs::create_symlink(".", Work("out/loop.d"));
  fs::create_symlink("..", Work("out/sub.d/up.d"));
  fs::create_symlink(Work("outside/one"), Work("out/1"));
  fs::create_symlink(Work("outside/two"), Work("out/2"));  // dangling
  auto log = RunTask(WriteTask(
      "job.sft", {"SourceFile=" + Work("src"), "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=1"}));
  EXPECT_TRUE(NothingLost(Work("src"), Work("out"), {}, SummaryOf(log)));
  EXPECT_EQ(ReadFile(Work("outside/f.txt")), "f");
  EXPECT_EQ(ReadFile(Work("outside/d/x.txt")), "x");
  EXPECT_EQ(ReadFile(Work("outside/one")), "one");
  EXPECT_FALSE(PathExists(Work("outside/two")));
  for (const char* piece : {"out/1", "out/2", "out/3"}) EXPECT_FALSE(fs::is_symlink(Work(piece))) << piece;
  EXPECT_TRUE(fs::is_symlink(Work("out/dir.d")));
  EXPECT_TRUE(fs::is_symlink(Work("out/loop.d")));
}

// Links in a batch's source folder: a link to a file is that file, a link to
// a folder is that folder (outside/sub.d/up.d leads to outside), a broken
// link is no file, and a cycle of links lists every file once.
TEST_F(Fault, SymbolicLinksInTheBatchSourceFolder) {
  namespace fs = std::filesystem;
  WriteFile(Work("in/a.txt"), "a\n");
  WriteFile(Work("outside/b-target.txt"), "b\n");
  WriteFile(Work("outside/sub.d/c.txt"), "c\n");
  fs::create_symlink(Work("outside/b-target.txt"), Work("in/b.txt"));
  fs::create_symlink(Work("outside/nothing.txt"), Work("in/broken.txt"));
  fs::create_symlink(Work("outside/sub.d"), Work("in/sub.d"));
  fs::create_symlink(".", Work("in/loop.d"));
  fs::create_symlink("..", Work("outside/sub.d/up.d"));
  auto log = RunTask(WriteTask("job.bst", {"SourceFolder=" + Work("in"), "SourceIncludeSub=1", "SourceMask=*.txt",
                                           "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=5"}));
  std::vector<std::string> sources;
  for (const TLogEntry& entry : log)
    if (entry.Text.starts_with("From : ") && entry.Tag.empty()) sources.push_back(entry.Text.substr(7));
  std::sort(sources.begin(), sources.end());
  EXPECT_EQ(sources, (std::vector<std::string>{Work("in/a.txt"), Work("in/b.txt"), Work("in/sub.d/c.txt"),
                                               Work("in/sub.d/up.d/b-target.txt")}));
  EXPECT_EQ(FilesIn(Work("out/a_split")), (TPieces{{"1.txt", "a\r\n"}}));
  EXPECT_EQ(FilesIn(Work("out/b_split")), (TPieces{{"1.txt", "b\r\n"}}));
  EXPECT_EQ(FilesIn(Work("out/c_split")), (TPieces{{"1.txt", "c\r\n"}}));
  EXPECT_EQ(FilesIn(Work("out/b-target_split")), (TPieces{{"1.txt", "b\r\n"}}));
  EXPECT_EQ(ReadFile(Work("outside/b-target.txt")), "b\n");
  EXPECT_TRUE(Errors(log).empty());
}

// A source that shrinks or grows while the program reads it: a helper thread
// changes it as soon as the program opens it, or a little later. Lines are
// 64 bytes and every change falls on a line end, so whatever size the program
// sees holds whole lines. Either the run fails with a read error and claims
// nothing (its pieces hold lines the source had before the change), or the
// pieces hold exactly the lines the source had when it was read and the
// summary counts them.
TEST_F(Fault, SourceChangingWhileSplitLosesOrInventsNothing) {
  const int kLines = 100000;
  const std::string text = NumberedLines(kLines, 63);
  for (bool grow : {false, true}) {
    for (int delay_us : {0, 0, 0, 50, 100, 200, 400, 800, 1600, 5000}) {
      SCOPED_TRACE(std::string(grow ? "grows" : "shrinks") + " " + std::to_string(delay_us) + " us after the open");
      std::filesystem::remove(Log);
      std::filesystem::remove_all(Work("out"));
      WriteFile(Work("src.txt"), text);
      int inotify_fd = inotify_init1(IN_CLOEXEC);
      ASSERT_GE(inotify_fd, 0);
      ASSERT_GE(inotify_add_watch(inotify_fd, Work("src.txt").c_str(), IN_OPEN), 0);
      std::thread change([&] {
        if (!WaitForOpen(inotify_fd)) return;
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(delay_us);
        while (std::chrono::steady_clock::now() < until) {
        }
        if (grow) {
          std::ofstream out(Work("src.txt"), std::ios::app | std::ios::binary);
          for (int i = 0; i < 2000; ++i) out << NumberedLines(1, 63) << std::flush;
        } else {
          EXPECT_EQ(truncate(Work("src.txt").c_str(), 64 * (kLines / 3)), 0);
        }
      });
      auto log = RunTask(WriteTask("job.sft", {"SourceFile=" + Work("src.txt"), "SourceEncoding=UTF-8",
                                               "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=30000"}));
      change.join();
      close(inotify_fd);
      TSummary summary = SummaryOf(log);
      if (!summary.Found) {
        // Blocks read before the change reached pieces: the lines the source
        // held then, never the zeros a read that overlaps a truncation gives.
        EXPECT_TRUE(Mentions(log, "Stream read error")) << ReadFile(Log);
        if (!grow) WriteFile(Work("before.txt"), text);
        EXPECT_TRUE(OnlySourceLines(Work(grow ? "src.txt" : "before.txt"), Work("out"), {}));
        continue;
      }
      // The lines the program saw: the first Converted lines of the file
      // before it shrank, or after it grew.
      const std::string file = grow ? ReadFile(Work("src.txt")) : text;
      WriteFile(Work("seen.txt"), file.substr(0, static_cast<size_t>(64 * summary.Converted)));
      if (!grow) {
        EXPECT_TRUE(summary.Converted == kLines || summary.Converted == kLines / 3) << summary.Converted;
      }
      EXPECT_TRUE(NothingLost(Work("seen.txt"), Work("out"), {}, summary));
    }
  }
}

// A FIFO, a socket or a device has no size to read up to; opening a FIFO
// without a writer would wait for ever. As a source, as a task file and
// inside a batch's folder it is refused at once and the rest goes on.
TEST_F(Fault, PipesAreRefusedNotWaitedFor) {
  ASSERT_EQ(mkfifo(Work("pipe.txt").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(Work("pipe.sft").c_str(), 0600), 0);
  WriteFile(Work("in/a.txt"), "a\n");
  ASSERT_EQ(mkfifo(Work("in/b.txt").c_str(), 0600), 0);
  const TRunLimits limits = {.TimeoutSeconds = 20};

  auto log = RunTaskWith(WriteTask("job.sft", {"SourceFile=" + Work("pipe.txt"), "DestFolder=" + Work("out"),
                                               "SplitByType=Lines", "MaxLines=1"}),
                         limits);
  EXPECT_TRUE(Mentions(log, "Unable to open file \"" + Work("pipe.txt") + "\": Not a regular file")) << ReadFile(Log);
  EXPECT_FALSE(PathExists(Work("out")));

  std::filesystem::remove(Log);
  log = RunTaskWith(Work("pipe.sft"), limits);
  EXPECT_TRUE(Mentions(log, "Unable to open file \"" + Work("pipe.sft") + "\": Not a regular file")) << ReadFile(Log);

  std::filesystem::remove(Log);
  log = RunTaskWith(WriteTask("job.bst", {"SourceFolder=" + Work("in"), "SourceMask=*.txt", "SourceEncoding=UTF-8",
                                          "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=1"}),
                    limits);
  EXPECT_TRUE(Mentions(log, "Not a regular file")) << ReadFile(Log);
  EXPECT_EQ(FilesIn(Work("out/a_split")), (TPieces{{"1.txt", "a\r\n"}}));
}
