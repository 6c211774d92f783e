// The quillmere program end to end, as a user runs it: its options against
// the task files they stand for, its exit status and standard error, the
// progress line, and the QuillmereCmd command line it still takes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <regex>

#include "support/Compression.h"
#include "support/Sandbox.h"

namespace {

using TTree = std::map<std::string, std::string>;

// Every file below Folder by its path relative to it.
TTree Tree(const std::string& folder) {
  TTree files;
  if (!std::filesystem::exists(folder)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
  return files;
}

// The log file's entries as texts, time stamps left out.
std::vector<std::string> Texts(const std::vector<TLogEntry>& entries) {
  std::vector<std::string> texts;
  for (const TLogEntry& entry : entries)
    texts.push_back(entry.Tag + "|" + std::regex_replace(entry.Text, std::regex(R"(\d\d:\d\d:\d\d\.\d{3})"), "T"));
  return texts;
}

// A header, quoted fields with a line break inside, marker lines, in UTF-8.
const std::string kSource = "id;name\n1;\"a\nb\"\n# part\n2;x;\n3;y\n--\n4;z;\n# PART\n5;w\n6;v;\n";

class Quillmere : public TSandbox {
 protected:
  TProgramResult Tool(const std::vector<std::string>& args, const std::optional<std::string>& input = std::nullopt) {
    return RunProgram(QUILLMERE_TOOL_BIN, args, Work(""), Environment(), {}, input);
  }
  // Runs quillmere and expects it to succeed without a word.
  void ToolSucceeds(const std::vector<std::string>& args, const std::optional<std::string>& input = std::nullopt) {
    const TProgramResult result = Tool(args, input);
    EXPECT_EQ(result.ExitStatus, 0) << result.Stderr;
    EXPECT_EQ(result.Stderr, "");
    EXPECT_EQ(result.Stdout, "");
  }
  // Runs the split through QuillmereCmd with a task file of Lines.
  void TaskRuns(const std::string& name, const std::vector<std::string>& lines) {
    std::string text = "[Split]\n";
    for (const std::string& line : lines) text += line + "\n";
    WriteFile(Work(name), text);
    RunTask(Work(name));
    EXPECT_TRUE(LastResult.Text.starts_with("Result: succeeded, ")) << LastResult.Text;
  }
};

// Each option gives the pieces of the task file that says the same.
TEST_F(Quillmere, OptionsGiveThePiecesOfTheEquivalentTaskFile) {
  WriteFile(Work("src.csv"), kSource);
  WriteFile(Work("cp.txt"), "\xCF\xF0\xE8\n\xE2\xE5\xF2\n#\n");
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> keys;
    std::string source = "src.csv";
  } cases[] = {
      {{"-l", "3", "--header"}, {"SplitByType=Lines", "MaxLines=3", "KeepHeader=1"}},
      {{"--lines=4", "--csv"}, {"SplitByType=Lines", "MaxLines=4", "QuotedFields=1"}},
      {{"-C", "20"}, {"SplitByType=File Size", "MaxFileSize=20 B"}},
      {{"--line-bytes=1k"}, {"SplitByType=File Size", "MaxFileSize=1 KiB"}},
      {{"--separator=--"}, {"SplitByType=Symbol", "SymbolType=Separator", "SymbolValue=--"}},
      {{"--start-with=# part", "-i"},
       {"SplitByType=Symbol", "SymbolType=Start With", "SymbolValue=# part", "IgnoreCase=1"}},
      {{"--end-with", ";"}, {"SplitByType=Symbol", "SymbolType=End With", "SymbolValue=;"}},
      {{"-l2", "-e", "windows-1251"}, {"SplitByType=Lines", "MaxLines=2", "SourceEncoding=windows-1251"}, "cp.txt"},
      {{"-l2", "-e", "windows-1251", "--to-encoding=UTF-8"},
       {"SplitByType=Lines", "MaxLines=2", "SourceEncoding=windows-1251", "OutputEncoding=UTF-8"},
       "cp.txt"},
      {{"-l2", "--name={name}_{n:3}{ext}", "--line-end=lf", "--manifest"},
       {"SplitByType=Lines", "MaxLines=2", "PieceName={name}_{n:3}{ext}", "LineEnd=LF", "Manifest=1"}},
      {{"-C", "30", "--line-end", "keep"}, {"SplitByType=File Size", "MaxFileSize=30 B", "LineEnd=Keep"}},
      {{"-l2", "--compress=gzip", "--compress-level", "9"},
       {"SplitByType=Lines", "MaxLines=2", "Compress=gzip", "CompressLevel=9"}},
      {{"-C", "30", "--compress=ZSTD"}, {"SplitByType=File Size", "MaxFileSize=30 B", "Compress=zstd"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0]);
    std::filesystem::remove_all(Work("q"));
    std::filesystem::remove_all(Work("t"));
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {c.source, "q"});
    ToolSucceeds(args);
    std::vector<std::string> keys = {"SourceFile=" + Work(c.source), "DestFolder=" + Work("t")};
    keys.insert(keys.end(), c.keys.begin(), c.keys.end());
    TaskRuns("job.sft", keys);
    EXPECT_EQ(Tree(Work("q")), Tree(Work("t")));
    EXPECT_FALSE(Tree(Work("q")).empty());
  }
  // Without DEST the pieces go next to the working directory's other files.
  ToolSucceeds({"-l", "100", "src.csv"});
  EXPECT_EQ(Tree(Work("src_split")).size(), 1u);
}

TEST_F(Quillmere, FolderIsSplitAsTheBatchTaskSplitsIt) {
  WriteFile(Work("in/a.csv"), "1\n2\n3\n");
  WriteFile(Work("in/b.txt"), "x\ny\n");
  WriteFile(Work("in/README"), "no extension\n");
  WriteFile(Work("in/sub/c.csv"), "c\n");
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{}, {"SourceMask=*.*"}},
      {{"--mask=*.csv", "-r"}, {"SourceMask=*.csv", "SourceIncludeSub=1"}},
  };
  for (const auto& [options, keys] : cases) {
    std::filesystem::remove_all(Work("q"));
    std::filesystem::remove_all(Work("t"));
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-l", "2", "in", "q"});
    ToolSucceeds(args);
    std::vector<std::string> task = {"SourceFolder=" + Work("in"), "DestFolder=" + Work("t"), "SplitByType=Lines",
                                     "MaxLines=2"};
    task.insert(task.end(), keys.begin(), keys.end());
    TaskRuns("job.bst", task);
    EXPECT_EQ(Tree(Work("q")), Tree(Work("t")));
  }
  EXPECT_EQ(Tree(Work("q")).count("c_split/1.csv"), 1u);
}

// The task written does the split that the options do, wherever it runs.
TEST_F(Quillmere, WrittenTaskFilesDoTheSameSplit) {
  WriteFile(Work("src.csv"), kSource);
  WriteFile(Work("in/a.csv"), "1\n2\n3\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--start-with= # part", "-i", "--csv", "src.csv", "q"}, "job.sft"},
      {{"-l", "2", "--header", "-e", "UTF-8", "src.csv", "q"}, "job.sft"},
      {{"-C", "1000", "--mask=*.csv", "in", "q"}, "job.bst"},
  };
  for (const auto& [options, task] : cases) {
    SCOPED_TRACE(task + " " + options[0]);
    std::filesystem::remove_all(Work("q"));
    std::filesystem::remove(Work(task));
    std::vector<std::string> args = options;
    args.push_back("--write-task=" + task);
    ToolSucceeds(args);
    EXPECT_FALSE(PathExists(Work("q")));  // nothing split
    ASSERT_TRUE(PathExists(Work(task)));
    MakeDirs(Work("elsewhere"));
    const TProgramResult result = RunProgram(QUILLMERE_TOOL_BIN, {Work(task)}, Work("elsewhere"), Environment());
    EXPECT_EQ(result.ExitStatus, 0) << result.Stderr;
    const TTree from_task = Tree(Work("q"));
    std::filesystem::remove_all(Work("q"));
    ToolSucceeds(options);
    EXPECT_EQ(Tree(Work("q")), from_task);
    EXPECT_FALSE(from_task.empty());
  }
}

// Every outcome has its status and, for a failure, its line on standard
// error; a usage error touches nothing.
TEST_F(Quillmere, ExitStatusAndStandardError) {
  WriteFile(Work("src.csv"), "a\nb\n");
  WriteFile(Work("job.sft"), "[Split]\nSourceFile=src.csv\nDestFolder=t\nSplitByType=Lines\nMaxLines=1\n");
  WriteFile(Work("blocked"), "a file where the destination folder belongs");
  const std::string nope = "quillmere: Unable to open file \"nope.csv\": No such file or directory\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"-l", "1", "src.csv"}, 0, ""},
      {{"job.sft"}, 0, ""},
      {{}, 2, "quillmere: No source given; see quillmere --help.\n"},
      {{"-l", "1"}, 2, "quillmere: No source given; see quillmere --help.\n"},
      {{"src.csv"},
       2,
       "quillmere: No split rule given: use --lines, --line-bytes, --separator, --start-with or --end-with.\n"},
      {{"--bogus", "src.csv"}, 2, "quillmere: Unknown option \"--bogus\".\n"},
      {{"src.csv", "-l"}, 2, "quillmere: The option \"--lines\" needs a value.\n"},
      {{"-l", "2", "-C", "5", "src.csv"},
       2,
       "quillmere: Only one split rule may be given: \"--lines\" and \"--line-bytes\".\n"},
      {{"-l", "0", "src.csv"},
       2,
       "quillmere: Invalid value \"0\" for MaxLines: a whole number from 1 to 9223372036854775807.\n"},
      {{"-C", "5X", "src.csv"},
       2,
       "quillmere: Invalid value \"5X\" for MaxFileSize: a whole number of bytes, or one followed by K, KiB, M, "
       "MiB, G, GiB (powers of 1024) or KB, MB, GB (powers of 1000).\n"},
      {{"-l", "1", "-e", "utf9", "src.csv"},
       2,
       "quillmere: Invalid value \"utf9\" for SourceEncoding: an encoding of the table in QuillmereCmd(1), one of "
       "its other names, or Auto Detect.\n"},
      {{"-l", "1", "--to-encoding=utf9", "src.csv"},
       2,
       "quillmere: Invalid value \"utf9\" for OutputEncoding: an encoding of the table in QuillmereCmd(1) or one of "
       "its other names.\n"},
      {{"-l", "1", "--line-end=unix", "src.csv"},
       2,
       "quillmere: Invalid value \"unix\" for LineEnd: CRLF, LF or Keep.\n"},
      {{"-l", "1", "--compress=lzma", "src.csv"},
       2,
       "quillmere: Invalid value \"lzma\" for Compress: none, gzip or zstd.\n"},
      {{"-l", "1", "--compress=gzip", "--compress-level=12", "src.csv"},
       2,
       "quillmere: Invalid value \"12\" for CompressLevel: a whole number from 1 to 9 for gzip.\n"},
      {{"-l", "1", "--compress-level=3", "src.csv"},
       2,
       "quillmere: The option \"--compress-level\" works only with \"--compress\".\n"},
      {{"-C", "5", "--header", "src.csv"}, 2, "quillmere: The option \"--header\" works only with \"--lines\".\n"},
      {{"-l", "1", "-i", "src.csv"},
       2,
       "quillmere: The option \"--ignore-case\" works only with \"--separator\", \"--start-with\" or "
       "\"--end-with\".\n"},
      {{"-l", "1", "-r", "src.csv"},
       2,
       "quillmere: The options \"--mask\" and \"--recursive\" work only with a source folder.\n"},
      {{"-l", "1", "-"}, 2, "quillmere: Standard input (\"-\") needs a destination folder: quillmere ... - DEST.\n"},
      {{"-l", "1", "a", "b", "c"}, 2, "quillmere: Too many arguments: \"c\".\n"},
      {{"-l", "1", "job.sft"},
       2,
       "quillmere: A task file holds its own settings: \"--lines\" cannot be given with \"job.sft\".\n"},
      {{"-l", "1", "--write-task=job.bst", "src.csv"},
       2,
       "quillmere: The task file of this split is a .sft file: \"job.bst\" does not end in \".sft\".\n"},
      {{"-l", "1", "nope.csv", "out"}, 1, nope},
      {{"-l", "1", "nope.csv", "out", "--log=run.log"}, 1, nope},
      {{"-l", "1", "src.csv", "--log=missing/run.log"},
       1,
       "quillmere: Cannot open file \"missing/run.log\". No such file or directory\n"},
      {{"missing.sft"}, 1, "quillmere: task file: missing.sft not exists.\n"},
      {{"-l", "1", "src.csv", "blocked"}, 1, "quillmere: Cannot create destination folder \"blocked\"\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args.back());
    const TTree before = Tree(Work(""));
    const TProgramResult result = Tool(c.args);
    EXPECT_EQ(result.ExitStatus, c.status);
    EXPECT_EQ(result.Stderr, c.err);
    EXPECT_EQ(result.Stdout, "");
    if (c.status == 2) {
      EXPECT_EQ(Tree(Work("")), before);
    }
    std::filesystem::remove_all(Work("src_split"));
    std::filesystem::remove_all(Work("t"));
  }
  // The log file holds each error with the same words.
  const auto log = ParseLog(ReadFile(Work("run.log")));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].Text + "\n", nope.substr(11));
  EXPECT_EQ(log.back().Text, "Result: failed, 0 pieces, 0 records.");
}

TEST_F(Quillmere, HelpAndVersionGoToStandardOutput) {
  for (const char* option : {"--help", "-h"}) {
    const TProgramResult result = Tool({"--lines=x", option, "--bogus"});
    EXPECT_EQ(result.ExitStatus, 0);
    EXPECT_TRUE(result.Stdout.starts_with("Usage: quillmere [OPTION]... SOURCE [DEST]\n")) << result.Stdout;
    EXPECT_EQ(result.Stderr, "");
  }
  const TProgramResult version = Tool({"-V"});
  EXPECT_EQ(version.ExitStatus, 0);
  EXPECT_TRUE(std::regex_match(version.Stdout, std::regex(R"(quillmere \(Quillmere\) \d+\.\d+\.\d+\n)")));
}

// Callers of the old link keep every byte: pieces, log and exception log.
TEST_F(Quillmere, TaskCommandLineRunsExactlyAsQuillmereCmd) {
  WriteFile(Work("src.csv"), kSource);
  const std::string good = WriteTask("good.sft", {"SourceFile=src.csv", "DestFolder=out", "SplitByType=Lines",
                                                  "MaxLines=3", "KeepHeader=1", "Junk=1"});
  const std::string bad =
      WriteTask("bad.sft", {"SourceFile=nope.csv", "DestFolder=out", "SplitByType=Lines", "MaxLines=3"});
  std::vector<std::vector<std::string>> command_lines = {
      {"task=" + good, "logfile=run.log"}, {"LOGFILE=run.log", "Task=" + bad}, {"task=missing.sft"}};
  for (const auto& args : command_lines) {
    SCOPED_TRACE(args[0]);
    TTree outcome[2];
    std::vector<std::string> logs[2];
    for (int i = 0; i < 2; ++i) {
      std::filesystem::remove_all(Work("out"));
      std::filesystem::remove(Work("run.log"));
      std::filesystem::remove(ConfigFolder() + "/exception.log");
      const TProgramResult result =
          RunProgram(i == 0 ? QUILLMERE_BIN : QUILLMERE_TOOL_BIN, args, Work(""), Environment());
      EXPECT_EQ(result.ExitStatus, 0);
      EXPECT_EQ(result.Stdout + result.Stderr, "");
      outcome[i] = Tree(Work("out"));
      if (PathExists(Work("run.log"))) logs[i] = Texts(ParseLog(ReadFile(Work("run.log"))));
      const std::string exceptions = ConfigFolder() + "/exception.log";
      if (PathExists(exceptions)) logs[i].push_back("exception log: " + Texts(ParseLog(ReadFile(exceptions)))[0]);
    }
    EXPECT_EQ(outcome[1], outcome[0]);
    EXPECT_EQ(logs[1], logs[0]);
  }
}

// What runs with a pseudo-terminal as standard error: the bytes it shows
// and the exit status.
std::pair<std::string, int> RunOnTerminal(const std::vector<std::string>& args, const std::string& cwd,
                                          const std::map<std::string, std::string>& env) {
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    // Only standard error is the terminal, as under a pipeline.
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    ExecProgram(QUILLMERE_TOOL_BIN, args, cwd, env);
  }
  std::string shown;
  char buffer[4096];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<size_t>(n));
  int status = 0;
  waitpid(pid, &status, 0);
  close(terminal);
  return {shown, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

TEST_F(Quillmere, ProgressLineOnATerminalOnly) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  WriteFile(Work("src.txt"), text);
  auto split = [](std::vector<std::string> options) {
    options.insert(options.end(), {"-l", "1000", "src.txt", "out"});
    return options;
  };
  const std::regex first(R"(^\r0 B of [\d.]+ kB \(0%\), 0 records, 0 pieces, )");
  const std::regex summary(R"(\r20000 records in 20 pieces, \d+\.\d\d s *\r?\n$)");
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"--progress"}, {"-q", "--progress"}}) {
    const auto [shown, status] = RunOnTerminal(split(options), Work(""), Environment());
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::regex_search(shown, first)) << shown;
    EXPECT_TRUE(std::regex_search(shown, summary)) << shown;
  }
  for (const char* quiet : {"-q", "--no-progress"}) {
    const auto [shown, status] = RunOnTerminal(split({quiet}), Work(""), Environment());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(shown, "") << quiet;
  }
  // Not a terminal: nothing unless asked.
  ToolSucceeds(split({}));
  const TProgramResult asked = Tool(split({"--progress"}));
  EXPECT_TRUE(std::regex_search(asked.Stderr, summary)) << asked.Stderr;
}

// Standard input and compressed files read as the text they hold, for both
// programs; a stream's pieces have no extension, a compressed file's that
// of its name without the compression suffix.
TEST_F(Quillmere, StandardInputAndCompressedSourcesGiveTheirTextsPieces) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += std::to_string(i) + ";\"" + std::string(i % 7, 'x') + "\"\n";
  const std::string utf16 = std::string(
      "\xFF\xFE"
      "a\0\n\0b\0\n\0c\0",
      12);
  for (const std::string& source : {text, utf16}) {
    SCOPED_TRACE(source.size());
    WriteFile(Work("orders.csv"), source);
    WriteFile(Work("orders.csv.gz"), Gzip(source));
    WriteFile(Work("orders.csv.zst"), Zstd(source));
    std::filesystem::remove_all(Work("plain"));
    ToolSucceeds({"-l", "700", "orders.csv", "plain"});
    const TTree expected = Tree(Work("plain"));
    TTree unnamed;
    for (const auto& [name, piece] : expected) unnamed[name.substr(0, name.find('.'))] = piece;
    const std::pair<std::vector<std::string>, std::optional<std::string>> runs[] = {
        {{"-l", "700", "orders.csv.gz", "out"}, std::nullopt},
        {{"-l", "700", "orders.csv.zst", "out"}, std::nullopt},
        {{"-l", "700", "-", "out"}, source},
        {{"-l", "700", "-", "out"}, Gzip(source)},
        {{"-l", "700", "-", "out"}, Zstd(source)},
    };
    for (const auto& [args, input] : runs) {
      std::filesystem::remove_all(Work("out"));
      ToolSucceeds(args, input);
      EXPECT_EQ(Tree(Work("out")), input ? unnamed : expected) << args[2];
    }
    for (const char* name : {"orders.csv.gz", "-"}) {
      std::filesystem::remove_all(Work("out"));
      const std::string task = WriteTask(
          "job.sft", {"SourceFile=" + std::string(name), "DestFolder=out", "SplitByType=Lines", "MaxLines=700"});
      const TProgramResult result =
          RunProgram(QUILLMERE_BIN, {"task=" + task, "logfile=" + Log}, Work(""), Environment(), {}, Gzip(source));
      EXPECT_EQ(result.ExitStatus, 0);
      EXPECT_EQ(Tree(Work("out")), std::string(name) == "-" ? unnamed : expected) << name;
    }
  }
  // A stream cut short is a read error like any other.
  const std::string packed = Gzip(text);
  const TProgramResult cut = Tool({"-l", "700", "-", "out"}, packed.substr(0, packed.size() / 2));
  EXPECT_EQ(cut.ExitStatus, 1);
  EXPECT_EQ(cut.Stderr, "quillmere: The gzip data of the source ends early: the source is cut short.\n");
}

// A split that a signal stops ends between records: its pieces hold whole
// records, as many as the log says, and the process ends by the signal.
TEST_F(Quillmere, StopSignalEndsTheSplitCleanly) {
  std::string batch;
  for (int i = 0; i < 20000; ++i) batch += "record " + std::to_string(i) + " of the stream\n";
  const std::string task =
      WriteTask("job.sft", {"SourceFile=-", "DestFolder=out", "SplitByType=Lines", "MaxLines=100"});
  const std::vector<std::pair<std::string, std::vector<std::string>>> programs = {
      {QUILLMERE_TOOL_BIN, {"-l", "100", "--log=" + Log, "-", "out"}},
      {QUILLMERE_BIN, {"task=" + task, "logfile=" + Log}}};
  for (const auto& [program, args] : programs) {
    SCOPED_TRACE(program);
    std::filesystem::remove_all(Work("out"));
    std::filesystem::remove(Log);
    int feed[2];
    ASSERT_EQ(pipe(feed), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(feed[0], STDIN_FILENO);
      close(feed[1]);
      const int err = open(Work("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, STDERR_FILENO);
      ExecProgram(program, args, Work(""), Environment());
    }
    close(feed[0]);
    // The stream goes on while the pieces come; then the signal, and more of
    // the stream, which the program must not wait to finish.
    ASSERT_EQ(write(feed[1], batch.data(), batch.size()), static_cast<ssize_t>(batch.size()));
    for (int wait = 0; wait < 10000 && !PathExists(Work("out/50")); ++wait) usleep(1000);
    ASSERT_TRUE(PathExists(Work("out/50")));
    kill(pid, SIGTERM);
    signal(SIGPIPE, SIG_IGN);
    for (int i = 0; i < 5; ++i) (void)!write(feed[1], batch.data(), batch.size());
    close(feed[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    const auto log = ParseLog(ReadFile(Log));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].Tag, "error");
    EXPECT_EQ(log[log.size() - 2].Text, "Stopped by signal 15.");
    std::string joined;
    const TTree pieces = Tree(Work("out"));
    for (size_t n = 1; n <= pieces.size(); ++n) {
      const std::string& piece = pieces.at(std::to_string(n));
      EXPECT_TRUE(piece.ends_with("\r\n")) << n;
      joined += piece;
    }
    size_t records = 0;
    for (size_t at = 0; (at = joined.find("\r\n", at)) != std::string::npos; at += 2) ++records;
    std::string expected;
    for (size_t i = 0; i < records; ++i) expected += "record " + std::to_string(i % 20000) + " of the stream\r\n";
    EXPECT_TRUE(joined == expected);
    EXPECT_EQ(log.back().Text,
              "Result: failed, " + std::to_string(pieces.size()) + " pieces, " + std::to_string(records) + " records.");
    if (program == QUILLMERE_TOOL_BIN) {
      EXPECT_EQ(ReadFile(Work("stderr")), "quillmere: Stopped by signal 15.\n");
    }
  }
}

}  // namespace
