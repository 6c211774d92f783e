#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "convert/UConvertStatus.h"
#include "convert/UFileSizeFileSplitter.h"
#include "convert/ULinesFileSplitter.h"
#include "convert/USymbolFileSplitter.h"
#include "support/TestSupport.h"
#include "tasks/UFileSplitSession.h"
#include "text/UEncodingConverter.h"
#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "util/UErrors.h"

namespace {

using TPieces = std::vector<std::string>;

struct TSplitResult {
  TPieces Pieces;  // in piece order
  int64_t Converted = 0;
  int64_t Errors = 0;
  std::vector<std::string> Messages;  // posted through OnMessage
};

std::unique_ptr<TFileSplitter> MakeSplitter(const std::string& rule, const TSplitterSizes& sizes = {}) {
  if (rule == "Lines") return std::make_unique<TLinesFileSplitter>(sizes);
  if (rule == "File Size") return std::make_unique<TFileSizeFileSplitter>(sizes);
  return std::make_unique<TSymbolFileSplitter>(sizes);
}

// Splits Source with the rule and settings; returns the pieces 1..n.
TSplitResult Split(const std::string& source, const std::string& rule,
                   const std::function<void(TFileSplitSession&)>& settings, int64_t flush_threshold = 0) {
  TTempDir dir;
  WriteFile(dir / "src.txt", source);
  TFileSplitSession session;
  session.SourceFile = dir / "src.txt";
  session.Settings.SourceEncoding = "UTF-8";
  session.DestFolder = dir / "out";
  session.Settings.SplitByType = TNamedChoice<TSplitRule>(rule);
  session.Settings.MaxFileSize = 100;
  session.Settings.SymbolType = stSeparator;
  settings(session);
  auto splitter = MakeSplitter(rule, {.FlushThreshold = flush_threshold});
  splitter->Session = &session;
  TSplitResult result;
  splitter->Status().OnMessage = [&](TConvertStatus& status) { result.Messages.push_back(status.Message); };
  splitter->Run();
  auto files = FilesIn(dir / "out");
  for (size_t i = 1; i <= files.size(); ++i) {
    auto it = files.find(std::to_string(i) + ".txt");
    if (it == files.end()) {
      ADD_FAILURE() << "piece " << i << " missing";
      break;
    }
    result.Pieces.push_back(it->second);
  }
  EXPECT_EQ(result.Pieces.size(), files.size()) << "unexpected files in the destination";
  result.Converted = splitter->Status().Converted;
  result.Errors = splitter->Status().ErrorCount;
  return result;
}

std::string Lines(std::initializer_list<const char*> lines, const char* end = "\n") {
  std::string text;
  for (const char* line : lines) text += std::string(line) + end;
  return text;
}

std::string CrLf(std::initializer_list<const char*> lines) { return Lines(lines, "\r\n"); }

}  // namespace

TEST(LinesSplitter, PiecesOfMaxLinesWithOptionalHeader) {
  struct Case {
    const char* name;
    std::string source;
    int64_t max_lines;
    bool header;
    TPieces pieces;
    int64_t records;
  } cases[] = {
      {"ten by three",
       Lines({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}),
       3,
       false,
       {CrLf({"1", "2", "3"}), CrLf({"4", "5", "6"}), CrLf({"7", "8", "9"}), CrLf({"10"})},
       10},
      {"exact multiple",
       Lines({"1", "2", "3", "4", "5", "6"}),
       3,
       false,
       {CrLf({"1", "2", "3"}), CrLf({"4", "5", "6"})},
       6},
      {"one per piece with header", Lines({"h", "a", "b"}), 1, true, {CrLf({"h", "a"}), CrLf({"h", "b"})}, 2},
      {"header seven lines",
       Lines({"H", "1", "2", "3", "4", "5", "6"}),
       3,
       true,
       {CrLf({"H", "1", "2", "3"}), CrLf({"H", "4", "5", "6"})},
       6},
      {"only the header", Lines({"H"}), 3, true, {}, 0},
      {"empty header line", Lines({"", "A", "B", "C"}), 2, true, {CrLf({"", "A", "B"}), CrLf({"", "C"})}, 3},
      {"header off", Lines({"H", "1", "2"}), 2, false, {CrLf({"H", "1"}), CrLf({"2"})}, 3},
      {"empty source", "", 2, true, {}, 0},
      {"no final line end, CR and CR LF", "a\rb\r\nc", 2, false, {CrLf({"a", "b"}), CrLf({"c"})}, 3},
  };
  for (const Case& c : cases) {
    TSplitResult r = Split(c.source, "Lines", [&](TFileSplitSession& s) {
      s.Settings.MaxLines = c.max_lines;
      s.Settings.KeepHeader = c.header;
    });
    EXPECT_EQ(r.Pieces, c.pieces) << c.name;
    EXPECT_EQ(r.Converted, c.records) << c.name;
  }
}

TEST(LinesSplitter, SourceLongerThanItsLineCountIsSplitWhole) {
  // Lines ended by CR alone count as one line, yet every line is split.
  TSplitResult r = Split("p\rq\rr\r", "Lines", [](TFileSplitSession& s) { s.Settings.MaxLines = 2; });
  EXPECT_EQ(r.Pieces, (TPieces{CrLf({"p", "q"}), CrLf({"r"})}));
  EXPECT_EQ(r.Converted, 3);
}

TEST(LinesSplitter, SmallFlushesGiveTheSameContent) {
  std::string source;
  for (int i = 0; i < 500; ++i) source += "line number " + std::to_string(i) + "\n";
  auto settings = [](TFileSplitSession& s) {
    s.Settings.MaxLines = 170;
    s.Settings.KeepHeader = true;
  };
  EXPECT_EQ(Split(source, "Lines", settings, 7).Pieces, Split(source, "Lines", settings).Pieces);
}

TEST(LinesSplitter, MaxLinesBelowOneRaisesBeforeTouchingTheDestination) {
  TTempDir dir;
  WriteFile(dir / "src.txt", "a\n");
  WriteFile(dir / "out/old.txt", "old");
  TFileSplitSession session;
  session.SourceFile = dir / "src.txt";
  session.DestFolder = dir / "out";
  session.Settings.MaxLines = 0;
  TLinesFileSplitter splitter;
  splitter.Session = &session;
  EXPECT_THROW(splitter.Run(), EQuillmereError);
  EXPECT_EQ(ReadFile(dir / "out/old.txt"), "old");
}

TEST(FileSizeSplitter, LimitRules) {
  std::string line(1022, 'x');  // 1024 bytes with CR LF
  std::string exact;
  for (int i = 0; i < 1025; ++i) exact += line + "\n";
  TSplitResult r = Split(exact, "File Size", [](TFileSplitSession& s) { s.Settings.MaxFileSize = 1; });
  ASSERT_EQ(r.Pieces.size(), 2u);
  EXPECT_EQ(r.Pieces[0].size(), 1048576u);  // a line of exactly the remaining room fits
  EXPECT_EQ(r.Pieces[1].size(), 1024u);

  r = Split(exact, "File Size", [](TFileSplitSession& s) {
    s.Settings.MaxFileSize = 1;
    s.Settings.SourceEncoding = "UTF-8BOM";
  });
  ASSERT_EQ(r.Pieces.size(), 2u);
  EXPECT_EQ(r.Pieces[0].size(), 3u + 1023 * 1024);  // the byte-order mark counts

  r = Split(Lines({"a", "b"}), "File Size", [](TFileSplitSession& s) { s.Settings.MaxFileSize = 0; });
  EXPECT_EQ(r.Pieces, (TPieces{"", CrLf({"a"}), CrLf({"b"})}));

  std::string huge(1048576, 'y');
  r = Split(huge + "\nz\n", "File Size", [](TFileSplitSession& s) { s.Settings.MaxFileSize = 1; });
  EXPECT_EQ(r.Pieces, (TPieces{"", huge + "\r\n", "z\r\n"}));

  r = Split(Lines({"a", "b", "c"}), "File Size", [](TFileSplitSession& s) { s.Settings.MaxFileSize = INT64_MAX / 2; });
  EXPECT_EQ(r.Pieces, (TPieces{CrLf({"a", "b", "c"})}));  // no wrap-around into a tiny limit
}

// The limit holds for the piece as it lies on disk in every encoding, and
// the pieces never depend on when pending text is written: none passes the
// limit, and each but the last is too full to take the next piece's first
// line.
TEST(FileSizeSplitter, PiecesFillTheLimitOnDiskWhateverTheFlushes) {
  std::string text;
  for (int i = 0; text.size() < (5u << 20); ++i)
    text += "Строка " + std::to_string(i) + std::string(static_cast<size_t>(i % 37), 'z') + ", ok\n";
  struct Case {
    const char* encoding;
    std::string crlf;
    size_t bom;
  } cases[] = {
      {"ucs2le", std::string("\r\0\n\0", 4), 2},
      {"UCS-2BE (Unicode Big Endian)", std::string("\0\r\0\n", 4), 2},
      {"CP1251 (Cyrillic)", "\r\n", 0},
  };
  for (const Case& c : cases) {
    const std::string source = ConvertEncoding(text, "utf8", NormalizeEncodingName(c.encoding));
    auto settings = [&](TFileSplitSession& s) {
      s.Settings.SourceEncoding = c.encoding;
      s.Settings.MaxFileSize = 1;
    };
    const TPieces pieces = Split(source, "File Size", settings).Pieces;
    ASSERT_GE(pieces.size(), 3u) << c.encoding;
    for (int64_t flush : {int64_t{7}, int64_t{1000}, int64_t{1} << 24})
      EXPECT_TRUE(Split(source, "File Size", settings, flush).Pieces == pieces) << c.encoding << ", flush " << flush;
    for (size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_LE(pieces[i].size(), 1048576u) << c.encoding << ", piece " << i + 1;
      if (i + 1 == pieces.size()) break;
      size_t first_end = c.bom;  // the next piece's first line ends at its first CR LF on a unit boundary
      while (pieces[i + 1].compare(first_end, c.crlf.size(), c.crlf) != 0) first_end += c.crlf.size() / 2;
      EXPECT_GT(pieces[i].size() + first_end + c.crlf.size() - c.bom, 1048576u) << c.encoding << ", piece " << i + 1;
    }
  }
}

TEST(SymbolSplitter, Rules) {
  struct Case {
    const char *type, *value;
    bool ignore_case;
    std::string source;
    TPieces pieces;
  } cases[] = {
      {"Separator",
       "---",
       false,
       Lines({"a", "b", "---", "c", "---", "d"}),
       {CrLf({"a", "b"}), CrLf({"c"}), CrLf({"d"})}},
      {"Separator",
       "end",
       true,
       Lines({"a", "END", "b", "End", "c", " end", "ending"}),
       {CrLf({"a"}), CrLf({"b"}), CrLf({"c", " end", "ending"})}},
      {"Start With",
       "#",
       false,
       Lines({"x", "#1", "y", "#2", "z"}),
       {CrLf({"x"}), CrLf({"#1", "y"}), CrLf({"#2", "z"})}},
      {"Start With", "#", false, Lines({"#1", "y", "#2", "z"}), {CrLf({"#1", "y"}), CrLf({"#2", "z"})}},
      {"End With", ";", false, Lines({"a", "b;", "c", "d;"}), {CrLf({"a", "b;"}), CrLf({"c", "d;"})}},
      {"End With", ";", false, Lines({"a", "b;", "c"}), {CrLf({"a", "b;"}), CrLf({"c"})}},
      {"Start With", "#", false, Lines({"a", "b", "#c"}), {CrLf({"a", "b"}), CrLf({"#c"})}},
      {"Start With", "", false, Lines({"a", "b"}), {CrLf({"a"}), CrLf({"b"})}},
      {"End With", "", false, Lines({"a", "b"}), {CrLf({"a"}), CrLf({"b"})}},
      {"Separator", "", false, Lines({"a", "", "b"}), {CrLf({"a"}), CrLf({"b"})}},
      {"Separator", "--", false, Lines({"a", "--", "--", "b"}), {CrLf({"a"}), "", CrLf({"b"})}},
      {"Separator", "--", false, Lines({"--", "a"}), {"", CrLf({"a"})}},
      {"Separator", "--", false, Lines({"a", "--"}), {CrLf({"a"})}},
      {"Bogus", "a", false, Lines({"a", "b"}), {CrLf({"a", "b"})}},
      // Matching is decided by the byte that meets the symbol's first (end
      // lines: last) byte before the rest is compared, lower case included.
      {"Start With", "Ab", true, Lines({"x", "aBc", "y", "abd"}), {CrLf({"x"}), CrLf({"aBc", "y"}), CrLf({"abd"})}},
      {"End With", "xy", false, Lines({"a", "bxy", "c", "y", "dxy"}), {CrLf({"a", "bxy"}), CrLf({"c", "y", "dxy"})}},
      {"End With", "Xy", true, Lines({"a", "bxY", "c"}), {CrLf({"a", "bxY"}), CrLf({"c"})}},
      {"Separator", "end", true, Lines({"a", "end", "b"}), {CrLf({"a"}), CrLf({"b"})}},
      {"Separator",
       "\xC3\xA9nd",
       true,
       Lines({"a", "\xC3\x89ND", "\xC3\xA9ND", "b"}),
       {CrLf({"a", "\xC3\x89ND"}), CrLf({"b"})}},
  };
  for (const Case& c : cases) {
    TSplitResult r = Split(c.source, "Symbol", [&](TFileSplitSession& s) {
      s.Settings.SymbolType = TNamedChoice<TSymbolType>(c.type);
      s.Settings.SymbolValue = c.value;
      s.Settings.IgnoreCase = c.ignore_case;
    });
    EXPECT_EQ(r.Pieces, c.pieces) << c.type << " '" << c.value << "' over " << c.source;
  }
}

TEST(FileSplitter, OutputEncodingsAndByteOrderMarks) {
  auto with = [](const char* encoding) {
    return [encoding](TFileSplitSession& s) {
      s.Settings.MaxLines = 10;
      s.Settings.SourceEncoding = encoding;
    };
  };
  EXPECT_EQ(Split("\xEF\xBB\xBF"
                  "a\nb\n",
                  "Lines", with("utf8bom"))
                .Pieces,
            (TPieces{"\xEF\xBB\xBF"
                     "a\r\nb\r\n"}));
  EXPECT_EQ(Split("\xEF\xBB\xBF"
                  "a\n",
                  "Lines", with("Auto Detect"))
                .Pieces,
            (TPieces{"a\r\n"}));
  std::string utf16(
      "\xFF\xFE"
      "a\0\n\0",
      6);
  EXPECT_EQ(Split(utf16, "Lines", with("UCS-2LE (Unicode Little Endian)")).Pieces, (TPieces{std::string("\xFF\xFE"
                                                                                                        "a\0\r\0\n\0",
                                                                                                        8)}));
  EXPECT_EQ(Split(utf16, "Lines", with("")).Pieces, (TPieces{"a\r\n"}));  // detected, written as UTF-8
  EXPECT_EQ(Split("caf\xE9\n", "Lines", with("CP1252 (Western European)")).Pieces, (TPieces{"caf\xE9\r\n"}));
}

// Pieces in the encoding the source is read in hold each line's own bytes,
// also where a round trip through UTF-8 would change them: undefined bytes,
// a character with two codes, lone surrogates.
TEST(FileSplitter, PiecesInTheSourceEncodingHoldTheSourceBytes) {
  struct Case {
    const char* encoding;
    std::string source, piece;  // one piece: the source with CR LF line ends
  } cases[] = {
      {"CP1251 (Cyrillic)", "\xFFh\x98\n\xC6\x98x\n\x98\n", "\xFFh\x98\r\n\xC6\x98x\r\n\x98\r\n"},
      {"CP1253 (Greek)", "a\x81\n\x81\n", "a\x81\r\n\x81\r\n"},
      {"CP932 (Japanese)", "\xED\x47\xFA\x63\n\x82\n", "\xED\x47\xFA\x63\r\n\x82\r\n"},
      {"CP936 (Chinese Simplified)", "\x80\xFF\n", "\x80\xFF\r\n"},
      {"ucs2le", std::string("\xFF\xFE\x3D\xD8\n\0\x00\xDEz\0", 10),
       std::string("\xFF\xFE\x3D\xD8\r\0\n\0\x00\xDEz\0\r\0\n\0", 16)},
      {"UCS-2BE (Unicode Big Endian)", std::string("\xDE\x00\0\r\xD8\x3D", 6),
       std::string("\xFE\xFF\xDE\x00\0\r\0\n\xD8\x3D\0\r\0\n", 14)},
      {"koi8r", "\xE1\xFF\n", "\xE1\xFF\r\n"},
  };
  for (const Case& c : cases) {
    auto settings = [&](TFileSplitSession& s) {
      s.Settings.SourceEncoding = c.encoding;
      s.Settings.MaxLines = 100;
      s.Settings.SymbolType = stStartWith;
      s.Settings.SymbolValue = "#";
    };
    for (const char* rule : {"Lines", "File Size", "Symbol"})
      EXPECT_EQ(Split(c.source, rule, settings).Pieces, TPieces{c.piece}) << c.encoding << ", " << rule;
  }
}

// A name the program cannot convert is split as bytes, as ever, but never
// silently: one notice comes before the split.
TEST(FileSplitter, AnEncodingItCannotConvertIsReportedBeforeTheSplit) {
  struct Case {
    const char* encoding;
    bool notice;
  } cases[] = {
      {"UTF-7", true},
      {"windows-1251x", true},
      {"windows-1251", false},
      {"UTF-16LE", false},
      {"CP1251 (Cyrillic)", false},
      {"koi8r", false},
      {"KOI8-U", false},
      {"koi8ru", false},
      {"KOI-8 (Cyrillic)", false},
      {"Auto Detect", false},
      {"", false},
      {"ansi", false},
      {"ucs2le", false},
  };
  for (const Case& c : cases) {
    TSplitResult r = Split("a\nb\n", "Lines", [&](TFileSplitSession& s) {
      s.Settings.SourceEncoding = c.encoding;
      s.Settings.MaxLines = 5;
    });
    const std::vector<std::string> expected = {"The encoding \"" + std::string(c.encoding) +
                                               "\" is unknown: the source is split as bytes, without conversion."};
    EXPECT_EQ(r.Messages, c.notice ? expected : std::vector<std::string>{}) << c.encoding;
    if (c.notice) {
      EXPECT_EQ(r.Pieces, TPieces{"a\r\nb\r\n"}) << c.encoding;  // the bytes as they are
    }
  }
  EXPECT_TRUE(TTextDecoder::ForCharset("NO-SUCH-CHARSET-HERE")->ConverterMissing());
  EXPECT_FALSE(TTextDecoder("cp932").ConverterMissing());
}

// A byte-order mark wins over a name that says otherwise: the source is read
// and its pieces are written in the mark's encoding, after one notice.
TEST(FileSplitter, AByteOrderMarkWinsOverTheNamedEncoding) {
  const std::string le(
      "\xFF\xFE"
      "a\0\n\0",
      6),
      le_piece(
          "\xFF\xFE"
          "a\0\r\0\n\0",
          8);
  const std::string be(
      "\xFE\xFF\0"
      "a\0\n",
      6),
      be_piece(
          "\xFE\xFF\0"
          "a\0\r\0\n",
          8);
  struct Case {
    const char* encoding;
    std::string source, piece, mark;  // Mark: the display name a notice names
  } cases[] = {
      {"CP1251 (Cyrillic)", le, le_piece, "UCS-2LE (Unicode Little Endian)"},
      {"UTF-16LE", le, le_piece, ""},
      {"UTF-16LE", be, be_piece, "UCS-2BE (Unicode Big Endian)"},
      {"ucs2le",
       "\xEF\xBB\xBF"
       "a\n",
       "\xEF\xBB\xBF"
       "a\r\n",
       "UTF-8BOM"},
      {"UTF-8",
       "\xEF\xBB\xBF"
       "a\n",
       "a\r\n", ""},
      {"UTF-16", be, be_piece, ""},
  };
  for (const Case& c : cases) {
    TSplitResult r = Split(c.source, "Lines", [&](TFileSplitSession& s) {
      s.Settings.SourceEncoding = c.encoding;
      s.Settings.MaxLines = 5;
    });
    EXPECT_EQ(r.Pieces, TPieces{c.piece}) << c.encoding;
    const std::string notice = "The source begins with a byte-order mark of " + c.mark +
                               ": it is read and written as such, not as " + c.encoding + ".";
    EXPECT_EQ(r.Messages, c.mark.empty() ? std::vector<std::string>{} : std::vector<std::string>{notice}) << c.encoding;
  }
}

TEST(FileSplitter, RandomSourcesLoseNothing) {
  std::mt19937 rng(20261207);
  const std::vector<std::string> tokens = {"a",
                                           "xyz",
                                           "Gr\xC3\xBC\xC3\x9F"
                                           "e",
                                           "\xE2\x82\xAC",
                                           "\xF0\x9F\x98\x80",
                                           " ",
                                           "#",
                                           ";",
                                           "END",
                                           "end",
                                           "--"};
  const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
  for (int round = 0; round < 40; ++round) {
    std::vector<std::string> lines;
    std::string source;
    int count = std::uniform_int_distribution<int>(0, 60)(rng);
    for (int i = 0; i < count; ++i) {
      std::string line;
      int n = std::uniform_int_distribution<int>(0, 4)(rng);
      for (int t = 0; t < n; ++t) line += tokens[rng() % tokens.size()];
      lines.push_back(line);
      std::string end = ends[rng() % ends.size()];
      // A CR ending followed by an empty line that ends in LF would read as CR LF.
      if (line.empty() && !source.empty() && source.back() == '\r') end = "\r";
      source += line + end;
    }
    std::string expected;
    for (const std::string& line : lines) expected += line + "\r\n";
    int rule = round % 3;
    TSplitResult r;
    if (rule == 0) {
      r = Split(
          source, "Lines", [&](TFileSplitSession& s) { s.Settings.MaxLines = 1 + rng() % 7; }, 1 + rng() % 40);
    } else if (rule == 1) {
      r = Split(
          source, "File Size", [](TFileSplitSession& s) { s.Settings.MaxFileSize = 1; }, 1 + rng() % 40);
    } else {
      r = Split(
          source, "Symbol",
          [&](TFileSplitSession& s) {
            s.Settings.SymbolType = round % 2 ? stStartWith : stEndWith;
            s.Settings.SymbolValue = round % 4 ? "#" : "end";
            s.Settings.IgnoreCase = true;
          },
          1 + rng() % 40);
    }
    std::string joined;
    for (const std::string& piece : r.Pieces) joined += piece;
    EXPECT_EQ(joined, expected) << "round " << round;
    EXPECT_EQ(r.Converted, static_cast<int64_t>(lines.size())) << "round " << round;
    EXPECT_EQ(r.Errors, 0);
  }
}

// With QuotedFields a record is a CSV record: a line whose quotes leave a
// field open takes in the lines after it. No rule ever cuts one, the count
// is of records, and a line break inside a field keeps its own bytes.
TEST(FileSplitter, QuotedFieldsKeepRecordsWhole) {
  const std::string csv = "id,note\n1,\"a\nb\"\n2,x\n3,\"c\r\n\"\"d\"\"\"\n4,y\n";
  const std::string big(300000, 'q');  // lines of a size test against a 1 MiB limit
  const std::string sized = big + big + "\n\"" + big + "\n" + big + "\"\nz\n" + "\"" + big + "\n" + big + "\n" + big +
                            big + "\n" + big + "\"\nend\n";
  struct Case {
    const char* label;
    std::string rule, source;
    std::function<void(TFileSplitSession&)> settings;
    TPieces pieces;
    int64_t records;
  } cases[] = {
      {"lines",
       "Lines",
       csv,
       [](auto& s) { s.Settings.MaxLines = 2; },
       {"id,note\r\n1,\"a\nb\"\r\n", "2,x\r\n3,\"c\r\n\"\"d\"\"\"\r\n", "4,y\r\n"},
       5},
      {"header of two lines",
       "Lines",
       "\"h\n1\",h2\n1,\"a\nb\"\n2,x\n3,y\n",
       [](auto& s) {
         s.Settings.MaxLines = 2;
         s.Settings.KeepHeader = true;
       },
       {"\"h\n1\",h2\r\n1,\"a\nb\"\r\n2,x\r\n", "\"h\n1\",h2\r\n3,y\r\n"},
       3},
      {"quote open at the end",
       "Lines",
       "a\n\"b\nc\nd",
       [](auto& s) { s.Settings.MaxLines = 1; },
       {"a\r\n", "\"b\nc\nd\r\n"},
       2},
      {"every record alone",
       "File Size",
       csv,
       [](auto& s) { s.Settings.MaxFileSize = 0; },
       {"", "id,note\r\n", "1,\"a\nb\"\r\n", "2,x\r\n", "3,\"c\r\n\"\"d\"\"\"\r\n", "4,y\r\n"},
       5},
      // 600 KB, then a record of 600 KB that does not fit after it, then
      // one that does, then one larger than the limit, alone.
      {"records placed whole",
       "File Size",
       sized,
       [](auto& s) { s.Settings.MaxFileSize = 1; },
       {big + big + "\r\n", "\"" + big + "\n" + big + "\"\r\nz\r\n",
        "\"" + big + "\n" + big + "\n" + big + big + "\n" + big + "\"\r\n", "end\r\n"},
       5},
      {"start lines inside a record",
       "Symbol",
       "#1\na,\"x\n#inner\"\n#2\nb\n",
       [](auto& s) { s.Settings.SymbolType = stStartWith, s.Settings.SymbolValue = "#"; },
       {"#1\r\na,\"x\n#inner\"\r\n", CrLf({"#2", "b"})},
       4},
      {"end lines inside a record",
       "Symbol",
       "a,\"x;\ny\";\nb;\nc\n",
       [](auto& s) { s.Settings.SymbolType = stEndWith, s.Settings.SymbolValue = ";"; },
       {"a,\"x;\ny\";\r\n", CrLf({"b;"}), CrLf({"c"})},
       3},
      {"separators inside a record",
       "Symbol",
       "a\n\"--\n--\"\n--\nb\n",
       [](auto& s) { s.Settings.SymbolType = stSeparator, s.Settings.SymbolValue = "--"; },
       {"a\r\n\"--\n--\"\r\n", CrLf({"b"})},
       4},
  };
  for (const Case& c : cases) {
    for (int64_t flush : {int64_t{0}, int64_t{5}}) {
      TSplitResult r = Split(
          c.source, c.rule,
          [&](TFileSplitSession& s) {
            c.settings(s);
            s.Settings.QuotedFields = true;
          },
          flush);
      EXPECT_TRUE(r.Pieces == c.pieces) << c.label << ", flush " << flush;
      EXPECT_EQ(r.Converted, c.records) << c.label;
    }
  }
}

// With LineEnd=Keep every line keeps its own end, and none is added after a
// last line without one: whatever the rule, the encoding, the records and
// the flushes, the pieces put together, less the byte-order marks and the
// repeated headers, are the source byte for byte (its text in UTF-8 where a
// UCS-2 source is detected).
TEST(FileSplitter, KeptLineEndsPutTheSourceBackTogether) {
  const std::string texts[] = {
      "h\n日本a\nb\n#c\nd\n",
      "h\r\na\r\n#日本\r\nc",
      "h\ra\r#b\rc\r",
      "h\r\na\n\n#b\rc\r\n\r\n日本d\re",
      "h\n1,\"x\r\ny\"\n#2,\"\r日本\"\r\n3\r4,\"\n",
      "h\n" + std::string(40, 'L') + "\r\n#" + std::string(30, 'M') + "\rz",
  };
  const struct {
    const char* task;
    const char* key;
    std::string bom;
  } encodings[] = {{"UTF-8", "utf8", ""},
                   {"UCS-2LE (Unicode Little Endian)", "ucs2le", "\xFF\xFE"},
                   {"CP932 (Japanese)", "cp932", ""},
                   {"Auto Detect", "ucs2le", "\xFF\xFE"}};
  const std::pair<const char*, std::function<void(TFileSplitSession&)>> rules[] = {
      {"Lines",
       [](TFileSplitSession& s) {
         s.Settings.MaxLines = 2;
         s.Settings.KeepHeader = true;
       }},
      {"Lines", [](TFileSplitSession& s) { s.Settings.MaxLines = 1; }},
      {"File Size", [](TFileSplitSession& s) { s.Settings.MaxFileSize = 0; }},
      {"Symbol",
       [](TFileSplitSession& s) {
         s.Settings.SymbolType = stStartWith;
         s.Settings.SymbolValue = "#";
       }},
  };
  for (const std::string& text : texts) {
    for (const auto& encoding : encodings) {
      const bool detected = std::string(encoding.task) == "Auto Detect";
      const std::string source = encoding.bom + ConvertEncoding(text, "utf8", encoding.key);
      const std::string expected = detected ? text : source.substr(encoding.bom.size());
      const std::string mark = detected ? "" : encoding.bom;
      for (const auto& [rule, settings] : rules) {
        for (bool quoted : {false, true}) {
          for (int64_t flush : {int64_t{0}, int64_t{3}}) {
            SCOPED_TRACE(std::string(encoding.task) + ", " + rule + (quoted ? ", quoted" : "") + ", flush " +
                         std::to_string(flush) + ", " + text.substr(0, 12));
            bool header = false;
            TSplitResult r = Split(
                source, rule,
                [&](TFileSplitSession& s) {
                  settings(s);
                  s.Settings.SourceEncoding = encoding.task;
                  s.Settings.QuotedFields = quoted;
                  s.Settings.LineEnd = leKeep;
                  header = s.Settings.KeepHeader;
                },
                flush);
            // The header: the first line, with its end.
            const std::string header_text =
                text.substr(0, header ? text.find_first_of("\r\n") + (text.compare(1, 2, "\r\n") == 0 ? 2 : 1) : 0);
            const std::string head =
                mark + (detected ? header_text : ConvertEncoding(header_text, "utf8", encoding.key));
            std::string joined;
            for (size_t i = 0; i < r.Pieces.size(); ++i) {
              ASSERT_TRUE(r.Pieces[i].starts_with(i == 0 ? mark : head));
              joined += r.Pieces[i].substr(i == 0 ? mark.size() : head.size());
            }
            EXPECT_EQ(joined, expected);
          }
        }
      }
    }
  }
}

TEST(FileSplitter, LineEndLfEndsEveryLineInLfOfTheOutput) {
  const std::string lf_units("\n\0", 2);
  TSplitResult r = Split("h\r\na\rb\nc", "Lines", [](TFileSplitSession& s) {
    s.Settings.MaxLines = 2;
    s.Settings.KeepHeader = true;
    s.Settings.LineEnd = leLf;
  });
  EXPECT_EQ(r.Pieces, (TPieces{"h\na\nb\n", "h\nc\n"}));
  r = Split(std::string("\xFF\xFE"
                        "a\0\r\0b\0",
                        8),
            "File Size", [](TFileSplitSession& s) {
              s.Settings.SourceEncoding = "ucs2le";
              s.Settings.MaxFileSize = 6;
              s.Settings.MaxFileSizeUnit = suB;
              s.Settings.LineEnd = leLf;
            });
  EXPECT_EQ(r.Pieces,
            (TPieces{"\xFF\xFE" + std::string("a\0", 2) + lf_units, "\xFF\xFE" + std::string("b\0", 2) + lf_units}));
}

namespace {

struct TRunSplit {
  TPieces Pieces;
  int64_t Converted = 0;
  int64_t Errors = 0;
  int64_t Progress = 0;  // OnProgress events
  int64_t Replaced = 0;
  bool operator==(const TRunSplit&) const = default;
};

// Splits Source as Split does, with the sizes given; StopAt > 0 stops the
// run from the progress event of that record on.
TRunSplit SplitWith(const std::string& source, const std::string& rule,
                    const std::function<void(TFileSplitSession&)>& settings, const TSplitterSizes& sizes,
                    int64_t stop_at) {
  TTempDir dir;
  WriteFile(dir / "src.txt", source);
  TFileSplitSession session;
  session.SourceFile = dir / "src.txt";
  session.DestFolder = dir / "out";
  session.Settings.SplitByType = TNamedChoice<TSplitRule>(rule);
  settings(session);
  auto splitter = MakeSplitter(rule, sizes);
  splitter->Session = &session;
  TRunSplit result;
  splitter->Status().OnProgress = [&](TConvertStatus& status) {
    ++result.Progress;
    EXPECT_EQ(status.Converted, result.Progress);
    if (result.Progress == stop_at) splitter->Stop();
  };
  splitter->Run();
  for (const auto& [name, text] : FilesIn(dir / "out")) result.Pieces.push_back(name + ":" + text);
  result.Converted = splitter->Status().Converted;
  result.Errors = splitter->Status().ErrorCount;
  result.Replaced = splitter->CharactersReplaced();
  return result;
}

}  // namespace

// Lines placed in runs give the pieces, counts and progress events that
// placing each on its own gives: with every line end, in every form of code
// units, lines longer than a block or a flush, header, record end, limits
// and stops; for Symbol, marker lines of every kind, in either letter case;
// converted into UTF-8, bytes that do not decode before line ends included.
TEST(FileSplitter, LineRunsPlaceLinesAsEachOnItsOwnDoes) {
  std::mt19937 rng(20261209);
  const std::string tokens[] = {"a", "xyz", ",", "\xE6\x97\xA5\xE6\x9C\xAC", "\xD0\x96", "1234567890", " "};
  const char* const ends[] = {"\n", "\r\n", "\r"};
  const char* const rules[] = {"Lines", "File Size", "Symbol"};
  const TSymbolType symbol_types[] = {stStartWith, stSeparator, stEndWith};
  for (int round = 0; round < 240; ++round) {
    const int end_kinds = round % 3 == 0 ? 3 : 1;  // mixed, or one kind
    const char* one_end = ends[rng() % 2];
    std::string text;
    const size_t size = 2000 + rng() % 60000;
    while (text.size() < size) {
      const size_t length = rng() % 50 == 0 ? 3000 + rng() % 3000 : rng() % 160;
      std::string line;
      while (line.size() < length) line += tokens[rng() % std::size(tokens)];
      // Lines the symbol "mk" marks, and lines that only look alike.
      const char* const marks[] = {"mk", "MK", "m", "k"};
      if (rng() % 16 == 0) line = rng() % 3 == 0 ? marks[rng() % 4] : marks[rng() % 4] + line;
      if (rng() % 16 == 0) line += marks[rng() % 4];
      text += line + (end_kinds == 3 ? ends[rng() % 3] : one_end);
    }
    if (rng() % 2) text += "last line without an end";
    // UTF-8, CP932, UCS-2LE or UCS-2BE.
    const char* const encodings[] = {"UTF-8", "cp932", "ucs2le", "ucs2be"};
    const char* encoding = encodings[round / 3 % 4];
    std::string source = round / 3 % 4 == 0 ? text : ConvertEncoding(text, "utf8", encoding);
    // From round 180 on, the pieces are in another encoding, and some lines
    // end in a lead byte, a UTF-8 character cut short or a high surrogate
    // that nothing completes.
    const bool converts = round >= 180;
    const bool utf16 = round / 3 % 4 >= 2;
    if (converts)
      for (size_t at = 0; at + 2 <= source.size(); at += utf16 ? 2 : 1) {
        const bool lf =
            utf16 ? source.compare(at, 2, round / 3 % 4 == 2 ? std::string("\n\0", 2) : std::string("\0\n", 2)) == 0
                  : source[at] == '\n';
        if (!lf || rng() % 8 != 0) continue;
        // A lead byte alone, a UTF-8 character cut short, a high surrogate.
        const std::string broken = round / 3 % 4 == 1   ? "\x82"
                                   : round / 3 % 4 == 0 ? "\xE3\x81"
                                   : round / 3 % 4 == 2 ? std::string("\0\xD8", 2)
                                                        : std::string("\xD8\0", 2);
        source.insert(at, broken);
        at += broken.size();
      }
    const std::string rule = rules[round % 3];
    const int64_t max_lines = 1 + rng() % 400, max_bytes = 200 + rng() % 6000;
    const bool header = rng() % 3 == 0, lf = rng() % 3 == 0;
    auto settings = [&](TFileSplitSession& s) {
      s.Settings.SourceEncoding = encoding;
      s.Settings.MaxLines = max_lines;
      s.Settings.KeepHeader = header;
      s.Settings.MaxFileSize = max_bytes;
      s.Settings.MaxFileSizeUnit = suB;
      if (lf) s.Settings.LineEnd = leLf;
      s.Settings.SymbolType = symbol_types[round / 12 % 3];
      s.Settings.SymbolValue = "mk";
      s.Settings.IgnoreCase = round / 36 % 2 == 1;
      if (converts) s.Settings.OutputEncoding = round / 3 % 4 != 0 ? "UTF-8" : round % 2 ? "ucs2le" : "ucs2be";
    };
    TSplitterSizes sizes{.ReaderBlockSize = int64_t{256} << (rng() % 8),
                         .FlushThreshold = rng() % 2 ? 0 : 64 + static_cast<int64_t>(rng() % 4096)};
    const int64_t stop_at = rng() % 3 == 0 ? 1 + static_cast<int64_t>(rng() % 200) : 0;
    const TRunSplit runs = SplitWith(source, rule, settings, sizes, stop_at);
    sizes.NoLineRuns = true;
    const TRunSplit alone = SplitWith(source, rule, settings, sizes, stop_at);
    ASSERT_FALSE(alone.Pieces.empty());
    EXPECT_TRUE(runs == alone) << "round " << round << ": " << runs.Pieces.size() << " pieces, " << runs.Converted
                               << " records against " << alone.Pieces.size() << ", " << alone.Converted;
  }
}
