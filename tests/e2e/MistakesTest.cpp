// Ordinary mistakes in a task, end to end: each either does what the user
// meant or fails visibly, before anything is deleted or written, and the
// Result line says which.
#include <gtest/gtest.h>

#include <initializer_list>

#include "support/Sandbox.h"

namespace {

using TPieces = std::map<std::string, std::string>;

// UTF-16LE bytes of code units.
std::string Utf16Le(std::initializer_list<char16_t> units) {
  std::string bytes;
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// A UTF-16LE export with its mark: "Ċ1", "b", "c", each line ending in LF.
// U+010A holds the byte 0A, which split as bytes cuts the line.
const std::string kUtf16Source = Utf16Le({0xFEFF, 0x010A, '1', '\n', 'b', '\n', 'c', '\n'});
const std::string kUtf16Piece1 = Utf16Le({0xFEFF, 0x010A, '1', '\r', '\n', 'b', '\r', '\n'});
const std::string kUtf16Piece2 = Utf16Le({0xFEFF, 'c', '\r', '\n'});
// "Привет" in CP1251.
const std::string kCp1251Source = "\xCF\xF0\xE8\xE2\xE5\xF2\n#\n";

class Mistakes : public TSandbox {
 protected:
  std::vector<TLogEntry> SplitWith(const std::string& source, std::vector<std::string> settings) {
    std::filesystem::remove(Log);
    WriteFile(Work("src.txt"), source);
    settings.insert(settings.begin(), {"SourceFile=" + Work("src.txt"), "DestFolder=" + Work("out")});
    return RunTask(WriteTask("job.sft", settings));
  }
  std::vector<TLogEntry> RunBatch(const std::vector<std::string>& settings) {
    std::filesystem::remove(Log);
    std::string text = "[Split]\n";
    for (const std::string& line : settings) text += line + "\n";
    WriteFile(Work("job.bst"), text);
    return RunTask(Work("job.bst"));
  }
  void ExpectSucceeded() {
    EXPECT_EQ(LastResult.Tag, "info");
    EXPECT_TRUE(LastResult.Text.starts_with("Result: succeeded, ")) << LastResult.Text;
  }
};

// A mark wins over the name, and the log says so before the split.
TEST_F(Mistakes, AByteOrderMarkWinsOverANameThatSaysOtherwise) {
  auto log = SplitWith(kUtf16Source, {"SourceEncoding=CP1251 (Cyrillic)", "SplitByType=Lines", "MaxLines=2"});
  EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"1.txt", kUtf16Piece1}, {"2.txt", kUtf16Piece2}}));
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[2].Tag, "");
  EXPECT_EQ(log[2].Text,
            "The source begins with a byte-order mark of UCS-2LE (Unicode Little Endian): it is read and written as "
            "such, not as CP1251 (Cyrillic).");
  EXPECT_EQ(log[3].Text, "From : " + Work("src.txt"));
}

// Each file of a mixed batch is read in its own encoding, whether the batch
// names none or one of them.
TEST_F(Mistakes, BatchOfMixedEncodingsSplitsEachFileInItsOwn) {
  WriteFile(Work("in/a.txt"), kCp1251Source);
  WriteFile(Work("in/b.txt"), kUtf16Source);
  for (const char* encoding : {"", "SourceEncoding=cp1251"}) {
    SCOPED_TRACE(encoding);
    std::filesystem::remove_all(Work("out"));
    RunBatch({"SourceFolder=" + Work("in"), "SourceMask=*.txt", "DestFolder=" + Work("out"), "SplitByType=Lines",
              "MaxLines=2", encoding});
    EXPECT_EQ(FilesIn(Work("out/a_split")), (TPieces{{"1.txt", "\xCF\xF0\xE8\xE2\xE5\xF2\r\n#\r\n"}}));
    EXPECT_EQ(FilesIn(Work("out/b_split")), (TPieces{{"1.txt", kUtf16Piece1}, {"2.txt", kUtf16Piece2}}));
    EXPECT_EQ(LastResult.Text, "Result: succeeded, 2 files, 3 pieces, 5 records.");
  }
}

// A value that cannot work fails the task after its description, before
// anything is deleted or written; a value of another rule's key is no
// matter, and an unknown key only warns.
TEST_F(Mistakes, InvalidValuesFailBeforeAnythingIsTouchedAndUnknownKeysWarn) {
  const struct {
    std::vector<std::string> settings;
    std::string error;  // empty: the task runs
  } cases[] = {
      {{"MaxLine=5", "SplitByType=Lines", "MaxLines=2", "KeepHeader=maybe"},
       "Invalid value \"maybe\" for KeepHeader: 1, true, yes or on; 0, false, no or off."},
      {{"MaxLine=5", "SplitByType=Lines", "MaxLines=2", "IgnoreCase=maybe", "MaxFileSize=lots"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings.back());
    std::filesystem::remove_all(Work("out"));
    WriteFile(Work("out/1.txt"), "earlier piece");
    auto log = SplitWith("a\nb\nc\n", c.settings);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2].Tag, "warn");
    EXPECT_EQ(log[2].Text, "Unknown key \"MaxLine\" is ignored.");
    if (c.error.empty()) {
      ExpectSucceeded();
      continue;
    }
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[3].Tag, "error");
    EXPECT_EQ(log[3].Text, c.error);
    EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"1.txt", "earlier piece"}}));
    EXPECT_EQ(LastResult.Tag, "error");
    EXPECT_EQ(LastResult.Text, "Result: failed, 0 pieces, 0 records.");
  }
  RunBatch({"SourceFolder=" + Work("in"), "SourceIncludeSub=2", "SourceMask=*.txt", "DestFolder=" + Work("out"),
            "SplitByType=Lines", "MaxLines=2"});
  EXPECT_EQ(LastResult.Text, "Result: failed, 0 files, 0 pieces, 0 records.");
}

// gzip and zstd sources are read decompressed; the other formats fail.
TEST_F(Mistakes, CompressedSourceFailsBeforeAnythingIsTouched) {
  WriteFile(Work("out/1.csv"), "earlier piece");
  WriteFile(Work("orders.csv.xz"), std::string("\xFD\x37\x7A\x58\x5A\x00\x00\x04\xE6\xD6\xB4\x46", 12));
  auto log = RunTask(WriteTask("job.sft", {"SourceFile=" + Work("orders.csv.xz"), "DestFolder=" + Work("out"),
                                           "SplitByType=Lines", "MaxLines=2"}));
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2].Text,
            "The source \"" + Work("orders.csv.xz") + "\" is compressed (xz): it cannot be split as text.");
  EXPECT_EQ(FilesIn(Work("out")), (TPieces{{"1.csv", "earlier piece"}}));
  EXPECT_EQ(LastResult.Text, "Result: failed, 0 pieces, 0 records.");
}

}  // namespace
