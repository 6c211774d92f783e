// Splits that write their pieces in another encoding than the source's: for
// every pair of encodings and every rule, the pieces are the pieces of the
// same split without conversion, each converted as iconv converts it, read
// in blocks of every small size and written through buffers small enough to
// cut long lines into parts.
#include <gtest/gtest.h>

#include <map>

#include "convert/UConvertStatus.h"
#include "convert/UFileSizeFileSplitter.h"
#include "convert/ULinesFileSplitter.h"
#include "convert/USymbolFileSplitter.h"
#include "support/ConversionReference.h"
#include "support/TestSupport.h"
#include "tasks/UFileSplitSession.h"
#include "text/UEncodings.h"

namespace {

struct TRule {
  const char* Name;
  TSplitRule Rule;
  bool KeepHeader;
};
const TRule kRules[] = {{"lines", srLines, false},
                        {"lines+header", srLines, true},
                        {"size", srFileSize, false},
                        {"symbol", srSymbol, false}};
constexpr int64_t kSizeLimit = 300;  // bytes; every line of the sources is shorter

struct TSplit {
  std::vector<std::string> Pieces;
  int64_t Replaced = 0;
  std::string Note;  // the status's note after the summary
};

struct TCase {
  TRule Rule;
  bool Quoted = false;
  TLineEnd LineEnd = leCrLf;
  TSplitterSizes Sizes;
};

TSplit Split(const std::string& source, const std::string& key, const std::string& output, const TCase& c,
             int64_t size_limit = kSizeLimit) {
  TTempDir dir;
  WriteFile(dir / "src.csv", std::string(ByteOrderMarkOf(key)) + source);
  TFileSplitSession session;
  session.SourceFile = dir / "src.csv";
  session.DestFolder = dir / "out";
  session.Settings.SourceEncoding = key;
  session.Settings.OutputEncoding = output;
  session.Settings.SplitByType = c.Rule.Rule;
  session.Settings.MaxLines = 5;
  session.Settings.KeepHeader = c.Rule.KeepHeader;
  session.Settings.MaxFileSize = size_limit;
  session.Settings.MaxFileSizeUnit = suB;
  session.Settings.SymbolType = stStartWith;
  session.Settings.SymbolValue = "#";
  session.Settings.QuotedFields = c.Quoted;
  session.Settings.LineEnd = c.LineEnd;
  std::unique_ptr<TFileSplitter> splitter;
  if (c.Rule.Rule == srLines) splitter = std::make_unique<TLinesFileSplitter>(c.Sizes);
  if (c.Rule.Rule == srFileSize) splitter = std::make_unique<TFileSizeFileSplitter>(c.Sizes);
  if (c.Rule.Rule == srSymbol) splitter = std::make_unique<TSymbolFileSplitter>(c.Sizes);
  splitter->Session = &session;
  splitter->Run();
  EXPECT_EQ(splitter->Status().ErrorCount, 0);
  TSplit split;
  const auto files = FilesIn(dir / "out");
  for (size_t i = 1; files.contains(std::to_string(i) + ".csv"); ++i)
    split.Pieces.push_back(files.at(std::to_string(i) + ".csv"));
  EXPECT_EQ(split.Pieces.size(), files.size());
  split.Replaced = splitter->CharactersReplaced();
  split.Note = splitter->Status().FinishNote;
  return split;
}

// Piece without the byte-order mark of Key, converted into Output and given
// Output's mark.
TReferenceConversion ConvertPiece(const std::string& piece, const std::string& key, const std::string& output) {
  TReferenceConversion converted =
      ConvertThroughIconv(std::string_view(piece).substr(ByteOrderMarkOf(key).size()), key, output);
  converted.Bytes = std::string(ByteOrderMarkOf(output)) + converted.Bytes;
  return converted;
}

class ConvertingSplit : public testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(ConvertingSplit, PiecesAreTheUnconvertedPiecesConverted) {
  const std::string& key = GetParam();
  static const char* const kEnds[] = {"\n", "\r\n", "\r"};
  std::string source;
  size_t n = 0;
  for (const std::string& line : SampleLines(key, 17, 48)) source += line + LineEndIn(key, kEnds[n++ % 3]);
  int variant = 0;
  for (const TRule& rule : kRules) {
    for (bool quoted : {false, true}) {
      const std::string label = std::string(rule.Name) + (quoted ? ", quoted" : "");
      // The pieces without conversion, for each line end (the size rule's in
      // one piece, and as many as with conversion where that is none).
      std::map<std::pair<TLineEnd, int64_t>, TSplit> plain_splits;
      for (const std::string& output : kConvertedKeys) {
        // The reader's blocks, the writer's flushes and the line ends vary
        // from pair to pair.
        ++variant;
        const TCase c{rule,
                      quoted,
                      static_cast<TLineEnd>(variant % 3),
                      {.ReaderBlockSize = 1 + variant % 5, .FlushThreshold = variant % 2 == 0 ? 16 : 0}};
        const bool same = output == key;
        const int64_t plain_limit = rule.Rule == srFileSize && !same ? 1 << 30 : kSizeLimit;
        auto [found, fresh] = plain_splits.try_emplace({c.LineEnd, plain_limit});
        if (fresh) found->second = Split(source, key, "", c, plain_limit);
        const TSplit& plain = found->second;
        const TSplit converted = Split(source, key, output, c);
        const std::string what = key + " to " + output + ", " + label + ", variant " + std::to_string(variant);
        if (same) {
          EXPECT_TRUE(converted.Pieces == plain.Pieces) << what;
          EXPECT_EQ(converted.Replaced, 0) << what;
          continue;
        }
        int64_t replaced = 0;
        if (rule.Rule != srFileSize) {
          ASSERT_EQ(converted.Pieces.size(), plain.Pieces.size()) << what;
          for (size_t i = 0; i < plain.Pieces.size(); ++i) {
            const TReferenceConversion expected = ConvertPiece(plain.Pieces[i], key, output);
            EXPECT_EQ(Difference(converted.Pieces[i], expected.Bytes), "") << what << ", piece " << i + 1;
            replaced += expected.Replaced;
          }
        } else {
          ASSERT_EQ(plain.Pieces.size(), 1u) << what;
          const TReferenceConversion expected = ConvertPiece(plain.Pieces[0], key, output);
          replaced = expected.Replaced;
          std::string joined;
          for (const std::string& piece : converted.Pieces) {
            EXPECT_EQ(piece.substr(0, ByteOrderMarkOf(output).size()), ByteOrderMarkOf(output)) << what;
            joined += piece.substr(ByteOrderMarkOf(output).size());
            if (!quoted) {
              EXPECT_LE(piece.size(), static_cast<size_t>(kSizeLimit)) << what;
            }
          }
          EXPECT_EQ(Difference(std::string(ByteOrderMarkOf(output)) + joined, expected.Bytes), "") << what;
          EXPECT_GT(converted.Pieces.size(), 1u) << what;
        }
        // The header is converted once, and counted once.
        if (!rule.KeepHeader) {
          EXPECT_EQ(converted.Replaced, replaced) << what;
        }
        EXPECT_EQ(converted.Note.empty(), converted.Replaced == 0) << what;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySource, ConvertingSplit, testing::ValuesIn(kConvertedKeys),
                         [](const testing::TestParamInfo<std::string>& param_info) { return param_info.param; });
