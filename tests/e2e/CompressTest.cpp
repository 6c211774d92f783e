// Compressed pieces end to end: each is the piece the same split writes
// without compression, compressed, under its name with the format's suffix;
// the manifest tells of the compressed files.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "support/Sandbox.h"
#include "util/USha256.h"

namespace {

using TPieces = std::map<std::string, std::string>;

class Compress : public TSandbox {
 protected:
  TPieces SplitInto(const std::string& folder, const std::string& source, std::vector<std::string> settings) {
    settings.insert(settings.begin(), {"SourceFile=" + Work(source), "DestFolder=" + Work(folder), "Manifest=1"});
    RunTask(WriteTask("job.sft", settings));
    EXPECT_TRUE(LastResult.Text.starts_with("Result: succeeded, ")) << LastResult.Text;
    return FilesIn(Work(folder));
  }
};

// Lines that compress about as badly as real exports do, so that a piece
// takes several of the writer's flushes.
std::string Export(int lines) {
  std::string text = "id;code;amount\n";
  uint32_t state = 12345;
  for (int i = 1; i <= lines; ++i) {
    text += std::to_string(i) + ";";
    for (int k = 0; k < 24; ++k) {
      state = state * 1103515245 + 12345;
      text += static_cast<char>('A' + (state >> 16) % 26);
    }
    text += ";" + std::to_string(state % 100000) + "\n";
  }
  return text;
}

// The manifest's lines but the header, each split at its tabs.
std::vector<std::vector<std::string>> ManifestRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

}  // namespace

TEST_F(Compress, PiecesDecompressToThePiecesOfTheSplitWithout) {
  WriteFile(Work("big.csv"), Export(30000));
  WriteFile(Work("quoted.csv"), "id,text\n1,\"two\nlines\"\n2,plain\n3,\"a \"\"b\"\"\r\nc\"\n4,d\n5,\"e\"\n");
  std::string wide("\xFF\xFE", 2);
  for (char c : std::string("head\nalpha\r\nbeta\n#gamma\ndelta\n")) wide += std::string{c, '\0'};
  WriteFile(Work("wide.txt"), wide);
  WriteFile(Work("cyr.txt"), "\xCF\xF0\xE8\xE2\xE5\xF2\n\xEC\xE8\xF0;\n\xC4\xE0\n;\n");
  WriteFile(Work("marks.txt"), "a\nb\n--\nc\r\nd\n--\ne");
  struct Case {
    const char* name;
    std::string source;
    std::vector<std::string> settings;
  } cases[] = {
      {"lines, header, several flushes", "big.csv", {"SplitByType=Lines", "MaxLines=12000", "KeepHeader=1"}},
      {"file size counts the bytes before compression",
       "big.csv",
       {"SplitByType=File Size", "MaxFileSize=350 KiB", "LineEnd=LF"}},
      {"csv records", "quoted.csv", {"SplitByType=Lines", "MaxLines=2", "QuotedFields=1", "LineEnd=Keep"}},
      {"separator", "marks.txt", {"SplitByType=Symbol", "SymbolType=Separator", "SymbolValue=--"}},
      {"start with, utf-16",
       "wide.txt",
       {"SplitByType=Symbol", "SymbolType=Start With", "SymbolValue=#", "SourceEncoding=UCS-2LE"}},
      {"end with, cp1251",
       "cyr.txt",
       {"SplitByType=Symbol", "SymbolType=End With", "SymbolValue=;", "SourceEncoding=windows-1251"}},
      {"file size of nothing: empty pieces", "marks.txt", {"SplitByType=File Size", "MaxFileSize=0"}},
  };
  const struct {
    const char *setting, *suffix;
  } formats[] = {{"Compress=gzip", ".gz"},
                 {"Compress=ZSTD", ".zst"},
                 {"Compress=gzip\nCompressLevel=1", ".gz"},
                 {"Compress=zstd\nCompressLevel=19", ".zst"}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(Work("plain"));
    TPieces plain = SplitInto("plain", c.source, c.settings);
    const std::vector<std::vector<std::string>> plain_rows = ManifestRows(plain["_manifest.tsv"]);
    plain.erase("_manifest.tsv");
    for (const auto& format : formats) {
      SCOPED_TRACE(std::string(c.name) + ", " + format.setting);
      std::filesystem::remove_all(Work("packed"));
      std::vector<std::string> settings = c.settings;
      settings.push_back(format.setting);
      TPieces packed = SplitInto("packed", c.source, settings);
      const std::vector<std::vector<std::string>> rows = ManifestRows(packed["_manifest.tsv"]);
      packed.erase("_manifest.tsv");
      // Nothing else beside them: no temporary names left.
      ASSERT_EQ(packed.size(), plain.size());
      for (const auto& [name, text] : plain) {
        ASSERT_TRUE(packed.contains(name + format.suffix)) << name;
        EXPECT_EQ(Decompressed(packed[name + format.suffix]), text) << name;
      }
      ASSERT_EQ(rows.size(), plain_rows.size());
      for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& bytes = packed[rows[i][0]];
        TSha256 sha;
        sha.Update(bytes.data(), bytes.size());
        EXPECT_EQ(rows[i], (std::vector<std::string>{plain_rows[i][0] + format.suffix, plain_rows[i][1],
                                                     std::to_string(bytes.size()), sha.FinishHex()}));
      }
    }
  }
  // Clearing takes the earlier pieces of these names in any compression.
  SplitInto("plain", "marks.txt", {"SplitByType=Symbol", "SymbolType=Separator", "SymbolValue=--", "Compress=gzip"});
  const TPieces zstd = SplitInto("plain", "marks.txt",
                                 {"SplitByType=Symbol", "SymbolType=Separator", "SymbolValue=--", "Compress=zstd"});
  EXPECT_EQ(zstd.size(), 4u);
  for (const auto& [name, text] : zstd) EXPECT_TRUE(name.ends_with(".zst") || name == "_manifest.tsv") << name;
}
