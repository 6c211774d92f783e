#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "log/ULog.h"
#include "log/ULogAppender.h"
#include "log/ULogger.h"
#include "support/Compression.h"
#include "support/TestSupport.h"
#include "text/UBlockTextReader.h"
#include "text/UEncodingConverter.h"
#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "util/UErrors.h"

namespace {

using TLines = std::vector<std::string>;

TLines ReadAll(TBlockTextReader& reader) {
  TLines lines;
  for (bool more = reader.HasNext(); more;) {
    reader.Next();
    more = reader.HasNext();  // asked before the line is taken: must not disturb it
    lines.emplace_back(reader.CurrentLine());
  }
  return lines;
}

TLines ReadFileLines(const std::string& path, const std::string& encoding, int64_t block_size, int64_t memory_limit) {
  TBlockTextReader reader(block_size, memory_limit);
  reader.Open(path);
  if (!encoding.empty()) reader.SetEncodingName(encoding);
  TLines lines = ReadAll(reader);
  reader.Next();  // past the end: nothing, and no failure
  EXPECT_EQ(reader.CurrentLine(), "");
  return lines;
}

// The whole file decoded at once and cut at LF, CR and CR LF; a mark that
// opens the first line is dropped.
TLines ReferenceLines(const std::string& bytes, const std::string& encoding) {
  std::string text;
  TTextDecoder(encoding).Decode(bytes.data(), bytes.size(), text);
  TLines lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  if (!lines.empty()) {
    for (std::string mark : {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF"}) {
      if (lines[0].starts_with(mark)) {
        lines[0].erase(0, mark.size());
        break;
      }
    }
  }
  return lines;
}

class TCollectingAppender : public TLogAppender {
 public:
  TCollectingAppender() { TLog::Global().AddAppender(this); }
  ~TCollectingAppender() override { TLog::Global().RemoveAppender(this); }
  void Append(const std::string& line) override { Lines.push_back(line); }
  TLines Lines;
};

// Random text in a given encoding: tokens of that encoding's repertoire,
// every kind of line end, empty lines, sometimes no final line end.
std::string RandomSource(std::mt19937& rng, const std::vector<std::string>& tokens, const std::string& key) {
  static const char* const kEnds[] = {"\n", "\r\n", "\r", "\n\r"};
  std::string text;
  const int lines = std::uniform_int_distribution<int>(0, 12)(rng);
  for (int i = 0; i < lines; ++i) {
    const int count = std::uniform_int_distribution<int>(0, 5)(rng);
    for (int t = 0; t < count; ++t) text += tokens[rng() % tokens.size()];
    if (i + 1 < lines || rng() % 3 != 0) text += kEnds[rng() % 4];
  }
  return key == "utf8" ? text : ConvertEncoding(text, "utf8", key);
}

const std::vector<int64_t> kBlockSizes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 31, 64, 1000};

}  // namespace

TEST(BlockTextReader, CutsLinesAtLfCrAndCrLf) {
  struct Case {
    std::string text;
    TLines lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\n", {""}},
      {"\r\r\n\r", {"", "", ""}},
  };
  TTempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "f.txt", c.text);
    for (int64_t limit : {0, 1 << 20}) EXPECT_EQ(ReadFileLines(dir / "f.txt", "UTF-8", 2, limit), c.lines) << c.text;
  }
}

TEST(BlockTextReader, DropsAByteOrderMarkOnlyWhereItOpensTheText) {
  const std::string bom = "\xEF\xBB\xBF";
  struct Case {
    const char* label;
    std::string bytes, encoding;
    TLines lines;
  } cases[] = {
      {"utf8bom", bom + "x\ny", "UTF-8BOM", {"x", "y"}},
      {"read as utf8", bom + "x", "utf8", {"x"}},
      {"detected", bom + "x", "Auto Detect", {"x"}},
      {"mark alone", bom, "UTF-8", {""}},
      {"only the first of two", bom + bom + "x", "utf8", {bom + "x"}},
      {"inside the first line", "ab" + bom + "c", "utf8", {"ab" + bom + "c"}},
      {"at the start of a later line", "a\n" + bom + "b", "utf8bom", {"a", bom + "b"}},
      {"raw FE FF read as utf8", "\xFE\xFFx", "UTF-8", {"x"}},
      {"ucs2le", std::string("\xFF\xFEx\0\n\0y\0", 8), "UCS-2LE (Unicode Little Endian)", {"x", "y"}},
      {"ucs2be detected", std::string("\xFE\xFF\0x", 4), "", {"x"}},
      {"cp1251 keeps raw-looking bytes", "\xEF\xBB\xBFx", "cp1251", {"п»їx"}},
  };
  TTempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "f.txt", c.bytes);
    for (int64_t block : {1, 3, 64}) EXPECT_EQ(ReadFileLines(dir / "f.txt", c.encoding, block, 0), c.lines) << c.label;
  }
}

TEST(BlockTextReader, CopiesOnlyFilesBelowTheMemoryLimitIntoMemory) {
  TTempDir dir;
  WriteFile(dir / "f.txt", "0123\n5678\n");  // 10 bytes
  TBlockTextReader at_limit(4, 10);
  at_limit.Open(dir / "f.txt");
  EXPECT_FALSE(at_limit.IsMemoryCopy());
  EXPECT_EQ(at_limit.FileSize(), 10);
  EXPECT_EQ(ReadAll(at_limit), (TLines{"0123", "5678"}));

  TBlockTextReader above(4, 11);
  above.Open(dir / "f.txt");
  EXPECT_TRUE(above.IsMemoryCopy());
  // The copy is taken at Open: later changes to the file do not matter.
  ASSERT_EQ(truncate((dir / "f.txt").c_str(), 0), 0);
  EXPECT_EQ(ReadAll(above), (TLines{"0123", "5678"}));
}

// The lines must not depend on where blocks end: a multibyte character, a CR
// LF pair, a UTF-16 surrogate pair or a double-byte character may straddle
// any nominal block boundary.
TEST(BlockTextReader, LinesEqualAOneShotDecodeForEveryBlockSize) {
  const std::string long_line(70, 'L');
  // Lines of every length up to well past the 64-byte scan step, ending in
  // turn in LF, CR and CR LF: every line end, and both halves of a CR LF,
  // fall on every offset of a scanned chunk.
  std::string every_offset;
  for (int length = 0; length < 200; ++length)
    every_offset +=
        std::string(static_cast<size_t>(length), static_cast<char>('a' + length % 26)) + (length % 3 == 0   ? "\n"
                                                                                          : length % 3 == 1 ? "\r"
                                                                                                            : "\r\n");
  struct Case {
    const char* label;
    std::string bytes, encoding;
  } cases[] = {
      {"utf8 multibyte", "\xEF\xBB\xBFGrüße 😀\r\n中文\rΩ\n\r\n€€€€€€€€€€\n" + long_line + "\r\nend", "UTF-8"},
      {"utf8 invalid bytes", "a\xC3\n\xE2\x82\r\n\xFF\xF0\x9F\x98\r\xBF", "utf8"},
      {"ucs2le", ConvertEncoding("\xEF\xBB\xBFx😀y\r\n𝄞\r😀\n\n" + long_line + "\r", "utf8", "ucs2le"),
       "UCS-2LE (Unicode Little Endian)"},
      {"ucs2be", ConvertEncoding("\xEF\xBB\xBF😀\r\n\r\nЖ\n𝄞𝄞𝄞\r\nz", "utf8", "ucs2be"), "UCS-2BE (Unicode Big Endian)"},
      {"ucs2le odd last byte", ConvertEncoding("a\r\nb\n", "utf8", "ucs2le") + "Q", "ucs2le"},
      {"ucs2le CR before odd byte", ConvertEncoding("a\r", "utf8", "ucs2le") + "Q", "ucs2le"},
      {"ucs2be lone surrogates", std::string("\xD8\x3D\0\n\xDE\0\xD8\x3D", 8), "ucs2be"},
      {"ucs2le units holding 0A and 0D bytes", ConvertEncoding("\xE0\xA8\x8A\n\xE0\xB4\x8D\r\n", "utf8", "ucs2le"),
       "ucs2le"},
      {"cp932", ConvertEncoding("日本語のテキスト\r\nｱｲｳ\n表示\r\n" + long_line + "\n能", "utf8", "cp932"), "cp932"},
      {"cp932 broken pair", "\x93\n\x93\xFA\r\x81", "cp932"},
      {"cp1251", ConvertEncoding("Привет, мир\r\nЖ\n\rЁё\r\n", "utf8", "cp1251"), "CP1251 (Cyrillic)"},
      {"line ends at every chunk offset", every_offset, "UTF-8"},
      {"line ends at every chunk offset, decoded", ConvertEncoding(every_offset, "utf8", "ucs2le"), "ucs2le"},
  };
  TTempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "f.txt", c.bytes);
    const TLines expected = ReferenceLines(c.bytes, c.encoding);
    for (int64_t block : kBlockSizes) {
      for (int64_t limit : {int64_t{0}, int64_t{1} << 20})
        EXPECT_EQ(ReadFileLines(dir / "f.txt", c.encoding, block, limit), expected)
            << c.label << ", block " << block << ", limit " << limit;
    }
  }
}

TEST(BlockTextReader, RandomSourcesReadTheSameForEveryBlockSize) {
  struct Repertoire {
    std::string key;
    std::vector<std::string> tokens;
  } repertoires[] = {
      {"utf8", {"a", "xyz", "ü", "€", "中文", "😀", " ", "\xEF\xBB\xBF", "\xC3", "\xFF"}},
      {"ucs2le", {"a", "xyz", "ü", "€", "中文", "😀", "𝄞", "\xEF\xBB\xBF"}},
      {"ucs2be", {"a", "xyz", "ü", "€", "中文", "😀", "𝄞"}},
      {"cp932", {"a", "日本", "ｱ", "表", "ソ", "x y"}},
      {"cp1251", {"a", "Ж", "ё", "№", "xyz"}},
  };
  TTempDir dir;
  std::mt19937 rng(20240611);
  for (const Repertoire& r : repertoires) {
    for (int round = 0; round < 25; ++round) {
      const std::string bytes = RandomSource(rng, r.tokens, r.key);
      WriteFile(dir / "f.txt", bytes);
      const TLines expected = ReferenceLines(bytes, r.key);
      for (int64_t block : kBlockSizes)
        ASSERT_EQ(ReadFileLines(dir / "f.txt", r.key, block, block % 2 == 0 ? 0 : 1 << 20), expected)
            << r.key << ", round " << round << ", block " << block;
    }
  }
}

TEST(BlockTextReader, HasNextPromisesALineOnlyWhenOneComes) {
  TTempDir dir;
  WriteFile(dir / "odd.txt", "Q");  // one byte of UTF-16: no character
  TBlockTextReader reader(1, 0);
  reader.Open(dir / "odd.txt");
  reader.SetEncodingName("ucs2be");
  EXPECT_FALSE(reader.HasNext());

  WriteFile(dir / "empty.txt", "");
  TBlockTextReader empty(1, 0);
  empty.Open(dir / "empty.txt");
  EXPECT_FALSE(empty.HasNext());
}

TEST(BlockTextReader, AFileThatShrinksAfterOpenFailsTheRead) {
  TTempDir dir;
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\n";
  WriteFile(dir / "f.txt", text);
  TBlockTextReader reader(16, 0);
  reader.Open(dir / "f.txt");
  reader.SetEncodingName("UTF-8");
  reader.Next();
  EXPECT_EQ(reader.CurrentLine(), "line 0");
  ASSERT_EQ(truncate((dir / "f.txt").c_str(), 40), 0);
  try {
    while (reader.HasNext()) reader.Next();
    FAIL() << "no read error";
  } catch (const EReadError& error) {
    EXPECT_STREQ(error.what(), "Stream read error");
  }
}

TEST(BlockTextReader, OpenFailureNamesThePathAndTheReason) {
  TBlockTextReader reader(16, 0);
  try {
    reader.Open("/nonexistent/qm.txt");
    FAIL() << "opened";
  } catch (const EFOpenError& error) {
    EXPECT_STREQ(error.what(), "Unable to open file \"/nonexistent/qm.txt\": No such file or directory");
  }
}

TEST(BlockTextReader, LogsEachEncodingChangeOnceAndDetectsEveryTime) {
  TTempDir dir;
  WriteFile(dir / "f.txt", "\xEF\xBB\xBFx\n");
  TCollectingAppender log;
  TBlockTextReader reader(16, 0);
  reader.Open(dir / "f.txt");
  reader.SetEncodingName("UTF-8");
  reader.SetEncodingName("UTF-8");
  EXPECT_EQ(reader.EncodingKey(), "utf8");
  reader.SetEncodingName("auto detect");
  reader.SetEncodingName("AUTO DETECT");
  EXPECT_EQ(reader.EncodingName(), "UTF-8BOM");
  EXPECT_EQ(reader.EncodingKey(), "utf8bom");
  ASSERT_EQ(log.Lines.size(), 3u);
  EXPECT_NE(log.Lines[0].find("BlockTextReader EncodingName UTF-8"), std::string::npos);
  EXPECT_NE(log.Lines[2].find("BlockTextReader EncodingName UTF-8BOM"), std::string::npos);

  TBlockTextReader unset(16, 0);
  unset.Open(dir / "f.txt");
  unset.Next();  // detects by itself
  EXPECT_EQ(unset.EncodingName(), "UTF-8BOM");
  EXPECT_EQ(unset.CurrentLine(), "x");
  EXPECT_EQ(log.Lines.size(), 4u);
}

TEST(BlockTextReader, AFolderIsReportedAsOneNotAsAReadError) {
  TTempDir dir;
  MakeDirs(dir / "folder.csv");
  TBlockTextReader reader(1024, 0);
  try {
    reader.Open(dir / "folder.csv");
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to open file \"" + (dir / "folder.csv") + "\": Is a directory");
  }
}

// The source's bytes cut at its line ends, as code units (two bytes each in
// UTF-16); the head of the first line that stands for a byte-order mark is
// dropped: the raw marks where bytes pass through, else the shortest head
// that decodes to U+FEFF.
TLines ReferenceSourceLines(const std::string& bytes, const std::string& encoding) {
  TTextDecoder decoder(encoding);
  const size_t unit = decoder.CodeUnitSize();
  const size_t low = decoder.IsBigEndian() ? 1 : 0;
  auto unit_is = [&](size_t at, char c) { return bytes[at + low] == c && (unit == 1 || bytes[at + 1 - low] == '\0'); };
  TLines lines;
  size_t start = 0, at = 0;
  const size_t end = bytes.size() / unit * unit;
  while (at < end) {
    if (!unit_is(at, '\n') && !unit_is(at, '\r')) {
      at += unit;
      continue;
    }
    lines.push_back(bytes.substr(start, at - start));
    at += unit_is(at, '\r') && at + unit < end && unit_is(at + unit, '\n') ? 2 * unit : unit;
    start = at;
  }
  if (start < end) lines.push_back(bytes.substr(start, end - start));
  if (lines.empty()) return lines;
  if (decoder.IsPassThrough()) {
    for (std::string mark : {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF"}) {
      if (lines[0].starts_with(mark)) {
        lines[0].erase(0, mark.size());
        break;
      }
    }
    return lines;
  }
  for (size_t length = 1; length <= std::min<size_t>(8, lines[0].size()); ++length) {
    std::string text;
    decoder.Decode(lines[0].data(), length, text);
    if (text == "\xEF\xBB\xBF") {
      lines[0].erase(0, length);
      break;
    }
  }
  return lines;
}

// Lines kept as source bytes are the source's own bytes between its line
// ends, in every encoding, whatever the bytes (undefined ones, lone
// surrogates, broken pairs) and wherever blocks end; and each decodes to
// the line that reading the whole block into UTF-8 gives.
TEST(BlockTextReader, SourceBytesAreTheSourcesLinesAndDecodeAsBlocksDo) {
  std::mt19937 rng(20261208);
  std::string bytes =
      "\xFF\xFE"
      "x\n\x81\x98\na\r\x81\x98\nb\n";
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 512; ++i) {
      bytes += static_cast<char>(rng() % 256);
      // Line ends of one-byte and of UTF-16 sources, on either byte parity.
      static const std::string kEnds[] = {"\r\n", std::string("\0\n", 2), std::string("\r\0\n\0", 4),
                                          std::string("\0\r\0\n", 4), "\r"};
      if (rng() % 9 == 0) bytes += kEnds[rng() % 5];
    }
    bytes += std::string(static_cast<size_t>(rng() % 300), 'p') + "\n";
  }
  bytes += "\x81";  // an odd last byte, and a last line without a line end
  TTempDir dir;
  WriteFile(dir / "f.txt", bytes);
  std::vector<std::string> names = {"ucs2le", "ucs2be", "bogus"};
  for (const TEncodingName& name : EncodingNames()) names.push_back(name.DisplayName);
  for (const std::string& name : names) {
    const TLines expected = ReferenceSourceLines(bytes, name);
    const TLines texts = ReadFileLines(dir / "f.txt", name, 1 << 20, 0);
    for (int64_t block : {int64_t{7}, int64_t{64}, int64_t{1000}}) {
      TBlockTextReader reader(block, block == 64 ? 1 << 20 : 0);
      reader.Open(dir / "f.txt");
      reader.SetEncodingName(name);
      reader.KeepSourceBytes();
      TLines lines, decoded;
      std::string joined;  // the lines with their line ends: the source, but for a mark
      while (reader.HasNext()) {
        reader.Next();
        lines.emplace_back(reader.CurrentLine());
        joined += std::string(reader.CurrentLine()) + std::string(reader.CurrentLineEnd());
        // Heads and tails decode only part of the line, and equal those of
        // its whole text.
        std::vector<std::string> edges;
        for (size_t count : {0, 1, 2, 3, 5, 9}) {
          edges.emplace_back(reader.CurrentTextHead(count));
          edges.emplace_back(reader.CurrentTextTail(count));
        }
        decoded.emplace_back(reader.CurrentText());
        const std::string& text = decoded.back();
        for (size_t i = 0; size_t count : {0, 1, 2, 3, 5, 9}) {
          ASSERT_EQ(edges[i++], text.substr(0, count)) << name << ", line " << lines.size();
          ASSERT_EQ(edges[i++], text.substr(text.size() - std::min(count, text.size()))) << name;
        }
      }
      EXPECT_TRUE(lines == expected) << name << ", block " << block;
      const size_t unit = reader.CrLf().size() / 2;
      const std::string units = bytes.substr(0, bytes.size() / unit * unit);
      EXPECT_TRUE(units.ends_with(joined) && units.size() - joined.size() <= 8) << name << ", block " << block;
      EXPECT_TRUE(decoded == texts) << name << ", block " << block;
    }
  }
}

// A mapped source is mapped in spans of several blocks; blocks, and lines
// longer than a span, cross span ends anywhere.
// Lines longer than a read window hand the source over to a mapping, which
// then serves the rest of it across its spans.
TEST(BlockTextReader, ReadsTheSameAcrossTheHandOverToAMappingAndItsSpans) {
  std::mt19937 rng(20261208);
  std::string bytes;
  TLines expected;
  while (bytes.size() < (20u << 20)) {
    const size_t length = bytes.size() > (5u << 20) && expected.size() % 500 == 0 ? (9u << 20) : rng() % 300;
    expected.push_back(std::string(length, static_cast<char>('a' + expected.size() % 26)));
    bytes += expected.back() + (rng() % 2 ? "\n" : "\r\n");
  }
  TTempDir dir;
  WriteFile(dir / "f.txt", bytes);
  for (int64_t block : {int64_t{4096}, int64_t{1} << 20, int64_t{3} << 20}) {
    TBlockTextReader reader(block, 0);
    reader.Open(dir / "f.txt");
    EXPECT_FALSE(reader.IsMapped());
    reader.SetEncodingName("UTF-8");
    EXPECT_TRUE(ReadAll(reader) == expected) << "block " << block;
    EXPECT_TRUE(reader.IsMapped()) << "block " << block;
  }
}

// Quotes counted while line ends are looked for give every line the parity
// that counting its own bytes gives, wherever chunks and blocks end.
TEST(BlockTextReader, TrackedQuoteParityIsEachLinesOwn) {
  std::mt19937 rng(20261208);
  std::string text;
  static const char* const kPieces[] = {"\"", "\"\"", "a", "xyz,", "\n", "\r\n", "\r", "\u0416", "   "};
  while (text.size() < 5000) {
    text += kPieces[rng() % std::size(kPieces)];
    if (rng() % 50 == 0) text += std::string(rng() % 200, 'w');
  }
  TTempDir dir;
  for (const char* key : {"utf8", "ucs2le", "ucs2be", "cp1251"}) {
    const std::string bytes = ConvertEncoding(text, "utf8", key);
    WriteFile(dir / "f.txt", bytes);
    for (int64_t block : {int64_t{7}, int64_t{64}, int64_t{1000}}) {
      for (bool keep : {true, false}) {
        TBlockTextReader reader(block, block == 64 ? 1 << 20 : 0);
        reader.Open(dir / "f.txt");
        reader.SetEncodingName(key);
        if (keep) reader.KeepSourceBytes();
        reader.TrackQuotes();
        int odd = 0;
        while (reader.HasNext()) {
          reader.Next();
          ASSERT_EQ(reader.CurrentLineQuotesOdd(), reader.CountCurrentLineQuotesOdd()) << key << ", block " << block;
          odd += reader.CurrentLineQuotesOdd();
        }
        EXPECT_GT(odd, 10) << key;
      }
    }
  }
}

// The line end of every line as the source has it, wherever blocks end: a
// CR LF that a block boundary splits is one line end, and a UTF-16 source
// tells its own units also where its lines are decoded.
TEST(BlockTextReader, TellsEachLineEndAsTheSourceHasIt) {
  const std::string text = "a\r\nb\rc\n\n\r\nd";
  const std::vector<std::string> ends = {"\r\n", "\r", "\n", "\n", "\r\n", ""};
  struct Case {
    const char* key;
    bool keep;
  } cases[] = {{"utf8", true},   {"utf8", false},   {"ucs2le", true}, {"ucs2le", false},
               {"ucs2be", true}, {"ucs2be", false}, {"cp1251", true}, {"cp932", false}};
  TTempDir dir;
  for (const Case& c : cases) {
    for (const std::string& last_end : {std::string(), std::string("\r\n")}) {
      WriteFile(dir / "f.txt", ConvertEncoding(text + last_end, "utf8", c.key));
      TLines expected;
      for (const std::string& end : ends) expected.push_back(ConvertEncoding(end, "utf8", c.key));
      expected.back() = ConvertEncoding(last_end, "utf8", c.key);
      for (int64_t block = 1; block <= 12; ++block) {
        TBlockTextReader reader(block, block % 2 == 0 ? 0 : 1 << 20);
        reader.Open(dir / "f.txt");
        reader.SetEncodingName(c.key);
        if (c.keep) reader.KeepSourceBytes();
        TLines got, as_read;
        while (reader.HasNext()) {
          reader.Next();
          got.emplace_back(reader.CurrentLineEnd());
          const std::string_view line = reader.CurrentLine(), with_end = reader.CurrentLineWithEnd();
          EXPECT_EQ(with_end.data(), line.data());
          as_read.emplace_back(with_end.substr(line.size()));
          if (!c.keep) as_read.back() = ConvertEncoding(as_read.back(), "utf8", c.key);
        }
        EXPECT_EQ(got, expected) << c.key << (c.keep ? " kept" : " decoded") << ", block " << block;
        EXPECT_EQ(as_read, expected) << "as the lines are handed out";
        reader.Next();
        EXPECT_EQ(reader.CurrentLineEnd(), "") << "past the last line";
      }
    }
  }
}

// A gzip or zstd file reads as the text it holds, in any block size, and
// detection looks at that text.
TEST(BlockTextReader, CompressedSourcesReadAsTheTextTheyHold) {
  TTempDir dir;
  std::mt19937 rng(20261211);
  const std::vector<std::string> tokens = {"a", "xyz", "ü", "€", "中文", " ", "\"q\""};
  for (const std::string key : {"utf8", "ucs2le"}) {
    for (int round = 0; round < 5; ++round) {
      std::string bytes = RandomSource(rng, tokens, key);
      if (key == "ucs2le") bytes.insert(0, "\xFF\xFE");
      WriteFile(dir / "plain.txt", bytes);
      WriteFile(dir / "text.gz", Gzip(bytes));
      WriteFile(dir / "text.zst", Zstd(bytes));
      const TLines expected = ReadFileLines(dir / "plain.txt", "", 1 << 20, 1 << 20);
      for (const char* name : {"text.gz", "text.zst"}) {
        for (int64_t block : {1, 3, 64, 1 << 20}) {
          TBlockTextReader reader(block, 1 << 20);
          reader.Open(dir / name);
          EXPECT_TRUE(reader.ReadsStream());
          EXPECT_EQ(reader.Decompresses(), std::string(name).ends_with(".gz") ? "gzip" : "zstd");
          EXPECT_EQ(reader.Head(), bytes.substr(0, TBlockTextReader::kHeadSize));
          EXPECT_EQ(reader.BytesInAll(), static_cast<int64_t>(ReadFile(dir / name).size()));
          reader.SetEncodingName("Auto Detect");
          EXPECT_EQ(reader.EncodingKey(), key == "utf8" ? "utf8" : "ucs2le");
          ASSERT_EQ(ReadAll(reader), expected) << name << ", " << key << ", round " << round << ", block " << block;
        }
      }
    }
  }
}

TEST(BlockTextReader, CompressedSourcesItCannotReadFailAtOpenAndCutOnesAtTheCut) {
  TTempDir dir;
  WriteFile(dir / "a.xz", std::string("\xFD\x37\x7A\x58\x5A\x00\x00\x04", 8));
  TBlockTextReader reader(16, 0);
  try {
    reader.Open(dir / "a.xz");
    FAIL() << "opened";
  } catch (const EQuillmereError& error) {
    EXPECT_EQ(error.what(), "The source \"" + (dir / "a.xz") + "\" is compressed (xz): it cannot be split as text.");
  }
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  const std::string packed = Gzip(text);
  WriteFile(dir / "cut.gz", packed.substr(0, packed.size() / 2));
  reader.Open(dir / "cut.gz");
  reader.SetEncodingName("UTF-8");
  EXPECT_THROW(while (reader.HasNext()) reader.Next(), EReadError);
}
