// Single-file tasks end to end: pieces byte for byte, the report, failures.
#include <gtest/gtest.h>

#include "support/Sandbox.h"

namespace {

using TPieces = std::map<std::string, std::string>;

class Split : public TSandbox {
 protected:
  std::vector<TLogEntry> SplitWith(const std::string& source, std::vector<std::string> settings,
                                   const std::string& src_name = "src.txt") {
    WriteFile(Work(src_name), source);
    bool has_dest = false;
    for (const std::string& s : settings) has_dest = has_dest || s.rfind("DestFolder=", 0) == 0;
    if (!has_dest) settings.insert(settings.begin(), "DestFolder=" + Work("out"));
    settings.insert(settings.begin(), "SourceFile=" + Work(src_name));
    return RunTask(WriteTask("job.sft", settings));
  }
  static std::vector<std::string> Errors(const std::vector<TLogEntry>& log) {
    std::vector<std::string> errors;
    for (const TLogEntry& e : log)
      if (e.Tag == "error") errors.push_back(e.Text);
    return errors;
  }
};

TEST_F(Split, EachRuleWritesItsPieces) {
  struct Case {
    std::string name, source;
    std::vector<std::string> settings;
    TPieces pieces;
  } cases[] = {
      {"lines with header",
       "h\n1\n2\n3\n4\n5\n6\n",
       {"SplitByType=Lines", "MaxLines=3", "KeepHeader=1"},
       {{"1.txt", "h\r\n1\r\n2\r\n3\r\n"}, {"2.txt", "h\r\n4\r\n5\r\n6\r\n"}}},
      {"file size",
       "aaaa\nbbbb\ncccc\n",
       {"SplitByType=File Size", "MaxFileSize=0"},
       {{"1.txt", ""}, {"2.txt", "aaaa\r\n"}, {"3.txt", "bbbb\r\n"}, {"4.txt", "cccc\r\n"}}},
      {"separator",
       "a\nb\n---\nc\n---\nd",
       {"SplitByType=Symbol", "SymbolType=Separator", "SymbolValue=---"},
       {{"1.txt", "a\r\nb\r\n"}, {"2.txt", "c\r\n"}, {"3.txt", "d\r\n"}}},
      {"start with",
       "x\n#1\ny\n#2\nz\n",
       {"SplitByType=Symbol", "SymbolType=Start With", "SymbolValue=#"},
       {{"1.txt", "x\r\n"}, {"2.txt", "#1\r\ny\r\n"}, {"3.txt", "#2\r\nz\r\n"}}},
      {"end with, mixed line ends",
       "a\r\nb;\rc\nd;\n",
       {"SplitByType=Symbol", "SymbolType=End With", "SymbolValue=;"},
       {{"1.txt", "a\r\nb;\r\n"}, {"2.txt", "c\r\nd;\r\n"}}},
      {"utf-16 output",
       "\xFF\xFEh\0i\0\n\0",
       {"SplitByType=Lines", "MaxLines=5", "SourceEncoding=UCS-2LE (Unicode Little Endian)"},
       {{"1.txt", std::string("\xFF\xFEh\0i\0\r\0\n\0", 10)}}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.name == "utf-16 output") c.source = std::string("\xFF\xFEh\0i\0\n\0", 8);
    std::filesystem::remove_all(Work("out"));
    auto log = SplitWith(c.source, c.settings);
    EXPECT_EQ(FilesIn(Work("out")), c.pieces);
    EXPECT_TRUE(Errors(log).empty());
    EXPECT_EQ(LastResult.Tag, "info");
    EXPECT_TRUE(LastResult.Text.starts_with("Result: succeeded, " + std::to_string(c.pieces.size()) + " pieces, "))
        << LastResult.Text;
  }
}

// Only the unbroken run 1.txt, 2.txt, ... of this split's own names goes,
// and the log says how many: yearly reports named like pieces stay.
TEST_F(Split, DestinationIsClearedOfThisSplitsEarlierPiecesOnly) {
  for (const char* name : {"notes.txt", ".hidden", "sub.d/1.txt", "7", "1.csv", "1.txt", "2.txt", "3.txt", "5.txt",
                           "2021.txt", "2022.txt"})
    WriteFile(Work("out/" + std::string(name)), name);
  auto log = SplitWith("1\n2\n", {"SplitByType=Lines", "MaxLines=5"});
  EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"1.txt", "1\r\n2\r\n"},
                                           {"notes.txt", "notes.txt"},
                                           {".hidden", ".hidden"},
                                           {"7", "7"},
                                           {"1.csv", "1.csv"},
                                           {"5.txt", "5.txt"},
                                           {"2021.txt", "2021.txt"},
                                           {"2022.txt", "2022.txt"}}));
  EXPECT_EQ(ReadFile(Work("out/sub.d/1.txt")), "sub.d/1.txt");
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[2].Tag, "info");
  EXPECT_EQ(log[2].Text, "Cleared 3 earlier pieces from \"" + Work("out") + "\".");
  EXPECT_EQ(log[3].Text, "From : " + Work("src.txt"));
  std::filesystem::remove_all(Work("out"));
  std::filesystem::remove(Log);
  WriteFile(Work("out/2.txt"), "not a run from 1");
  log = SplitWith("1\n", {"SplitByType=Lines", "MaxLines=5"});
  EXPECT_EQ(log.size(), 5u);  // no Cleared line, nothing deleted
  EXPECT_EQ(ReadFile(Work("out/2.txt")), "not a run from 1");
}

TEST_F(Split, MaxLinesBelowOneFailsBeforeTouchingTheDestination) {
  WriteFile(Work("out/old.txt"), "old");
  for (const char* value : {"MaxLines=0", "MaxLines=-3", "MaxLines=12x"}) {
    auto log = SplitWith("a\n", {"SplitByType=Lines", value});
    EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"old.txt", "old"}})) << value;
    ASSERT_GE(log.size(), 3u);
    EXPECT_NE(log[2].Text.find("MaxLines"), std::string::npos) << log[2].Text;
    std::filesystem::remove(Log);
  }
  std::filesystem::remove_all(Work("out"));
  SplitWith("a\n", {"SplitByType=Lines"});
  EXPECT_FALSE(PathExists(Work("out")));
}

TEST_F(Split, UnknownRuleFailsBeforeTheDestinationIsTouched) {
  WriteFile(Work("out/old.txt"), "old");
  auto log = SplitWith("a\n", {"SplitByType=Line", "MaxLines=2"});
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2].Tag, "error");
  EXPECT_EQ(log[2].Text, "Invalid value \"Line\" for SplitByType: Lines, File Size or Symbol.");
  EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"old.txt", "old"}}));
}

TEST_F(Split, MissingSourceIsReportedInBothLogs) {
  WriteFile(Work("out/old.txt"), "old");
  auto log = RunTask(WriteTask(
      "job.sft", {"SourceFile=" + Work("nope.txt"), "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=2"}));
  ASSERT_EQ(log.size(), 3u);
  std::string prefix = "Unable to open file \"" + Work("nope.txt") + "\": ";
  EXPECT_EQ(log[2].Text.rfind(prefix, 0), 0u) << log[2].Text;
  auto exceptions = ParseLog(ReadFile(ConfigFolder() + "/exception.log"));
  ASSERT_EQ(exceptions.size(), 1u);
  EXPECT_EQ(exceptions[0].Tag, "error");
  EXPECT_EQ(exceptions[0].Text, "In TFileSplitSessionExecutor.Execute, " + log[2].Text);
  EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"old.txt", "old"}}));
  EXPECT_EQ(LastResult.Tag, "error");
  EXPECT_EQ(LastResult.Text, "Result: failed, 0 pieces, 0 records.");
}

TEST_F(Split, MissingConfigFolderIsNeverCreated) {
  std::filesystem::remove_all(ConfigFolder());
  WriteFile(Work("out/1.txt/blocker"), "");  // piece 1 cannot be created
  auto log = SplitWith("a\nb\n", {"SplitByType=Lines", "MaxLines=1"});
  EXPECT_FALSE(PathExists(ConfigFolder()));
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[2].Text.rfind("Serial: 1\r\n", 0), 0u);
  EXPECT_EQ(log[5].Text.find("1 records,"), 0u);
  EXPECT_NE(log[5].Text.find("1 records can not convert."), std::string::npos);
  EXPECT_EQ(LastResult.Tag, "error");
  EXPECT_EQ(LastResult.Text, "Result: failed, 1 pieces, 1 records, 1 records failed.");
}

TEST_F(Split, MissingConfigFolderAddsNoSecondFailure) {
  std::filesystem::remove_all(ConfigFolder());
  auto log = RunTask(WriteTask(
      "job.sft", {"SourceFile=" + Work("nope.txt"), "DestFolder=" + Work("out"), "SplitByType=Lines", "MaxLines=2"}));
  ASSERT_EQ(log.size(), 3u);  // task path, description, the failure itself
  EXPECT_EQ(log[2].Text.rfind("Unable to open file", 0), 0u) << log[2].Text;
  EXPECT_FALSE(PathExists(ConfigFolder()));
}

// The run fails before anything is deleted or written exactly when clearing
// would take the source away or a piece would overwrite it; a source beside
// its pieces is split.
TEST_F(Split, SourceInsideTheDestinationIsNeverDeletedOrOverwritten) {
  struct Case {
    std::string source, dest;
    std::vector<std::pair<std::string, std::string>> links;  // link, target
    bool refused;
  } cases[] = {
      {"out/orders.csv", "out", {}, false},                                   // beside its pieces
      {"out/sub.d/data.csv", "out", {}, false},                               // subfolders are never cleared
      {"out/3.txt", "out", {}, true},                                         // cleared away
      {"out/2.csv", "out/", {}, true},                                        // spelt with a trailing slash
      {"out/3", "out", {}, true},                                             // no extension: cleared too
      {"out/9.txt", "out", {}, true},                                         // overwritten by piece 9
      {"elsewhere/a.txt", "out", {{"out/7.txt", "elsewhere/a.txt"}}, false},  // only the link goes
      {"out/7.txt", "out", {{"out/7.txt", "elsewhere/a.txt"}}, true},         // the source's own path goes
      {"elsewhere/b.txt", "out", {{"elsewhere/b.txt", "../out/4.txt"}, {"out/4.txt", "elsewhere/a.txt"}}, true},
      {"out/link.txt", "out", {{"out/link.txt", "elsewhere/a.txt"}}, false},
      {"elsewhere/7", "out", {{"out/1", "elsewhere/7"}}, false},  // the link goes, the file stays
  };
  std::string lines;
  for (int i = 0; i < 9; ++i) lines += "line\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    std::filesystem::remove_all(Work("out"));
    std::filesystem::remove_all(Work("elsewhere"));
    std::filesystem::remove(Log);
    WriteFile(Work("elsewhere/a.txt"), lines);
    WriteFile(Work("elsewhere/7"), lines);
    MakeDirs(Work("out"));
    for (const auto& [link, target] : c.links) {
      std::filesystem::remove(Work(link));
      std::filesystem::create_symlink(target[0] == '.' ? target : Work(target), Work(link));
    }
    if (!PathExists(Work(c.source))) WriteFile(Work(c.source), lines);
    // Earlier pieces 1 to 4 of the source's extension: a run that clearing deletes.
    const std::string extension = std::filesystem::path(c.source).extension().string();
    for (int i = 1; i <= 4; ++i)
      if (!std::filesystem::is_symlink(Work("out/" + std::to_string(i) + extension)) &&
          !PathExists(Work("out/" + std::to_string(i) + extension)))
        WriteFile(Work("out/" + std::to_string(i) + extension), "old piece");
    auto log = RunTask(WriteTask(
        "job.sft", {"SourceFile=" + Work(c.source), "DestFolder=" + Work(c.dest), "SplitByType=Lines", "MaxLines=1"}));
    EXPECT_EQ(ReadFile(Work(c.source)), lines);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2].Text.find("The source file"), c.refused ? 0u : std::string::npos) << log[2].Text;
    EXPECT_EQ(PathExists(Work("out/9" + extension)), !c.refused || c.source == "out/9.txt");
    EXPECT_EQ(c.refused, ReadFile(Work("out/1" + extension)) == "old piece" ||
                             std::filesystem::is_symlink(Work("out/1" + extension)));
  }
}

TEST_F(Split, DestinationThatCannotBeCreatedFailsTheRun) {
  WriteFile(Work("file"), "");
  auto log = SplitWith("a\nb\n", {"SplitByType=Lines", "MaxLines=1", "DestFolder=" + Work("file/out")});
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[2].Text.find("destination folder"), std::string::npos) << log[2].Text;
}

}  // namespace

// An encoding the program does not know still splits as bytes, but the log
// says so before the report; "ansi" keeps every byte where the locale
// variables disagree (they once meant two character sets, and every
// non-ASCII letter was dropped).
TEST_F(Split, EncodingsThatDoNotConvertAreSaidOrKeepEveryByte) {
  const std::string source = "abc \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n#x\n";
  auto log =
      SplitWith(source, {"SplitByType=Symbol", "SymbolType=Start With", "SymbolValue=#", "SourceEncoding=UTF-7"});
  EXPECT_EQ(FilesIn(Work("out")),
            (TPieces{{"1.txt", "abc \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r\n"}, {"2.txt", "#x\r\n"}}));
  ASSERT_EQ(log.size(), 6u);  // task, description, notice, From, To, summary
  EXPECT_EQ(log[2].Text, "The encoding \"UTF-7\" is unknown: the source is split as bytes, without conversion.");
  EXPECT_EQ(log[3].Text, "From : " + Work("src.txt"));

  std::filesystem::remove(Log);
  WriteFile(Work("src.txt"), source);
  auto env = Environment();
  env.erase("LC_ALL");
  env["LC_CTYPE"] = "C.UTF-8";
  env["LANG"] = "ru_RU.KOI8-R";
  Run({"task=" +
           WriteTask("ansi.sft", {"SourceFile=" + Work("src.txt"), "DestFolder=" + Work("ansi"), "SplitByType=Symbol",
                                  "SymbolType=Start With", "SymbolValue=#", "SourceEncoding=ANSI"}),
       "logfile=" + Log},
      "", env);
  EXPECT_EQ(FilesIn(Work("ansi")),
            (TPieces{{"1.txt", "abc \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r\n"}, {"2.txt", "#x\r\n"}}));
  EXPECT_EQ(WithoutResults(ParseLog(ReadFile(Log))).size(), 5u);  // no notice
}
