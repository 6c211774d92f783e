// Pieces written in another encoding than the source's, end to end: what
// could not be written is counted in the log file and fails the Result line;
// a conversion that loses nothing succeeds; naming the source's own encoding
// changes nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/Sandbox.h"

namespace {

using TPieces = std::map<std::string, std::string>;

class Conversion : public TSandbox {
 protected:
  std::vector<TLogEntry> SplitWith(const std::string& source, std::vector<std::string> settings) {
    std::filesystem::remove(Log);
    std::filesystem::remove_all(Work("out"));
    WriteFile(Work("src.txt"), source);
    settings.insert(settings.begin(), {"SourceFile=" + Work("src.txt"), "DestFolder=" + Work("out"),
                                       "SplitByType=Lines", "MaxLines=2", "Manifest=1"});
    return RunTask(WriteTask("job.sft", settings));
  }
};

}  // namespace

TEST_F(Conversion, ReplacedCharactersAreCountedAfterTheSummaryAndFailTheRun) {
  struct Case {
    const char* label;
    std::string source;
    std::vector<std::string> settings;
    TPieces pieces;
    std::string note;  // after the summary; empty for none
  } cases[] = {
      {"CP1251 to UTF-8, 0x98 stands for no character",
       "\xCF\xF0\xE8\xE2\xE5\xF2\n\x98!\n",
       {"SourceEncoding=windows-1251", "OutputEncoding=UTF-8"},
       {{"1.txt", "Привет\r\n\xEF\xBF\xBD!\r\n"}},
       "1 characters could not be written in UTF-8 and were replaced."},
      {"UTF-8 to CP1251, Japanese and invalid UTF-8",
       "日本 ok\n\xC3 ё\n",
       {"SourceEncoding=UTF-8", "OutputEncoding=CP1251 (Cyrillic)", "LineEnd=LF"},
       {{"1.txt", "?? ok\n? \xB8\n"}},
       "3 characters could not be written in CP1251 (Cyrillic) and were replaced."},
      {"UTF-8 to UTF-16, all of it",
       "a\nb\nc\n",
       {"SourceEncoding=UTF-8", "OutputEncoding=UTF-16"},
       {{"1.txt", std::string("\xFF\xFE"
                              "a\0\r\0\n\0b\0\r\0\n\0",
                              14)},
        {"2.txt", std::string("\xFF\xFE"
                              "c\0\r\0\n\0",
                              8)}},
       ""},
      {"to KOI8-R, which is no key of the table",
       "ёлка\n",
       {"SourceEncoding=UTF-8", "OutputEncoding=KOI8-R"},
       {{"1.txt", "\xA3\xCC\xCB\xC1\r\n"}},
       ""},
  };
  for (const Case& c : cases) {
    const std::vector<TLogEntry> log = SplitWith(c.source, c.settings);
    TPieces pieces = FilesIn(Work("out"));
    const bool manifest = pieces.erase("_manifest.tsv") == 1;
    EXPECT_EQ(pieces, c.pieces) << c.label;
    ASSERT_GE(log.size(), 5u) << c.label;
    EXPECT_TRUE(log[log.size() - (c.note.empty() ? 1 : 2)].Text.find(" records,    Elapsed: ") != std::string::npos)
        << c.label;
    if (c.note.empty()) {
      EXPECT_TRUE(manifest) << c.label;
      EXPECT_TRUE(LastResult.Text.starts_with("Result: succeeded, ")) << c.label;
      continue;
    }
    EXPECT_EQ(log.back().Tag, "") << c.label;
    EXPECT_EQ(log.back().Text, c.note) << c.label;
    EXPECT_FALSE(manifest) << c.label << ": the pieces are not the source's text";
    EXPECT_EQ(LastResult.Tag, "error") << c.label;
    EXPECT_TRUE(LastResult.Text.starts_with("Result: failed, ")) << c.label;
  }
}

TEST_F(Conversion, NamingTheSourcesOwnEncodingChangesNoPiece) {
  const std::string source = "\xCF\xF0\xE8\xE2\xE5\xF2\n\x98!\nx\n";
  SplitWith(source, {"SourceEncoding=CP1251 (Cyrillic)"});
  const TPieces plain = FilesIn(Work("out"));
  const std::vector<TLogEntry> log = SplitWith(source, {"SourceEncoding=CP1251 (Cyrillic)", "OutputEncoding=cp1251"});
  EXPECT_EQ(FilesIn(Work("out")), plain);
  EXPECT_TRUE(log[1].Text.ends_with("\r\nOutput Encoding: cp1251")) << log[1].Text;
  EXPECT_TRUE(LastResult.Text.starts_with("Result: succeeded, ")) << LastResult.Text;
}

TEST_F(Conversion, AnOutputEncodingThatCannotBeWrittenFailsTheSplitBeforeAnyPiece) {
  const struct {
    const char* source_encoding;
    const char* output;
    const char* message;
  } cases[] = {
      {"UTF-8", "KOI-8 (Cyrillic)",
       "The output encoding \"KOI-8 (Cyrillic)\" names no character set: the pieces cannot be written in it."},
      {"UTF-7X", "cp1251", "The output encoding \"cp1251\" cannot be written: the source is split as bytes."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    const std::vector<TLogEntry> log = SplitWith(
        "\xD1\x91\n", {std::string("SourceEncoding=") + c.source_encoding, std::string("OutputEncoding=") + c.output});
    EXPECT_FALSE(std::filesystem::exists(Work("out")));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const TLogEntry& e) { return e.Text == c.message; }));
    EXPECT_TRUE(LastResult.Text.starts_with("Result: failed, 0 pieces")) << LastResult.Text;
  }
}

TEST_F(Conversion, ABatchWritesEveryFileInTheOutputEncoding) {
  MakeDirs(Work("in"));
  WriteFile(Work("in/a.csv"), "\xFF\xFE\x1F\x04\x0A\x00");  // "П" in UTF-16LE with its mark
  WriteFile(Work("in/b.csv"), "\xEF\xBB\xBF\xD0\x9F\n");    // in UTF-8 with its mark
  WriteFile(Work("job.bst"), "[Split]\nSourceFolder=" + Work("in") + "\nSourceMask=*.csv\nDestFolder=" + Work("out") +
                                 "\nSplitByType=Lines\nMaxLines=5\nOutputEncoding=CP1251\n");
  RunTask(Work("job.bst"));
  EXPECT_EQ(FilesIn(Work("out/a_split")), (TPieces{{"1.csv", "\xCF\r\n"}}));
  EXPECT_EQ(FilesIn(Work("out/b_split")), (TPieces{{"1.csv", "\xCF\r\n"}}));
  EXPECT_TRUE(LastResult.Text.starts_with("Result: succeeded, 2 files, ")) << LastResult.Text;
}
