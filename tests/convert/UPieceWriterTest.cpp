// The piece writer alone, writing into a piece in memory that can fail part
// way through a write, as a full disk does.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <vector>

#include "convert/UPieceWriter.h"
#include "support/MemoryPiece.h"
#include "support/TestSupport.h"
#include "util/UErrors.h"
#include "util/UFileStream.h"
#include "util/USha256.h"

namespace {

const std::string kUtf16CrLf("\r\0\n\0", 4);

// Text as it is written: ASCII as it is, or widened to UTF-16LE.
std::string Units(const std::string& text, bool wide) {
  if (!wide) return text;
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

}  // namespace

// Every write but the last ends on a multiple of the threshold (in whole
// code units), and the piece holds the mark and every line once, in order.
TEST(PieceWriter, WritesHeadsOnThresholdMultiplesAndLongLinesStraightThrough) {
  struct Case {
    const char* name;
    int64_t threshold;
    bool wide;
    std::string bom;
    std::vector<std::string> lines;
    std::vector<size_t> write_ends;
  } cases[] = {
      {"exactly the threshold pending is no flush", 8, false, "", {"abcdef", "gh"}, {12}},
      {"one byte over writes the aligned head", 8, false, "", {"abcdefg", "h"}, {8, 12}},
      {"the mark counts", 8, false, "\xEF\xBB\xBF", {"abcd", "efgh", "ij"}, {3, 8, 19}},
      {"a head of all that is pending writes it all", 4, false, "", {"ab", "cd", "e"}, {8, 11}},
      {"a line over the threshold goes straight", 8, false, "", {"ab", "abcdefghi", "c"}, {4, 13, 15, 18}},
      {"utf-16 keeps whole units", 11, true, "\xFF\xFE", {"ab", "c", "def"}, {2, 10, 26}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPiece piece;
    TPieceWriter writer(c.threshold);
    writer.Start({.CrLf = c.wide ? kUtf16CrLf : "\r\n"}, {});
    writer.Open(std::make_unique<TMemorySink>(piece), c.bom);
    std::vector<std::string> lines;
    std::string expected = c.bom;
    for (const std::string& line : c.lines) {
      lines.push_back(Units(line, c.wide));
      expected += lines.back() + Units("\r\n", c.wide);
    }
    EXPECT_EQ(AppendAll(writer, lines), 0);
    writer.Close();
    EXPECT_TRUE(piece.Closed);
    EXPECT_EQ(piece.Bytes, expected);
    EXPECT_EQ(piece.WriteEnds, c.write_ends);
  }
}

// A write that fails part way, at every byte of the piece: the piece is cut
// back to whole lines and goes on from there, and every line is either in
// it once or counted once (lost, or failed with the error raised). Lines
// that keep their own ends (a CR alone, a CR LF a head may split) too.
TEST(PieceWriter, FailedWriteCutsBackToWholeLinesAndCountsEveryLineItLost) {
  const char* own_ends[] = {"\r", "\r\n", "\n", "\r", "\r\n", "\r\n", ""};
  for (bool wide : {false, true}) {
    for (int mode = 0; mode < 3; ++mode) {
      const bool records = mode == 1, keep = mode == 2;
      std::vector<std::string> lines, ends;
      std::string all;
      for (const char* line : {"one", "two", "three", "a line longer than the threshold", "four", "5", "six"}) {
        lines.push_back(Units(line, wide));
        if (keep) ends.push_back(Units(own_ends[ends.size()], wide));
        all += lines.back() + (keep ? ends.back() : Units("\r\n", wide));
      }
      for (size_t fail_at = 0; fail_at <= all.size(); ++fail_at) {
        SCOPED_TRACE((wide ? "utf-16" : "utf-8") +
                     std::string(records ? ", records"
                                 : keep  ? ", own ends"
                                         : "") +
                     ", fails at " + std::to_string(fail_at));
        TPiece piece{.FailAt = fail_at};
        TPieceWriter writer(wide ? 11 : 5);
        int64_t lost = 0;
        writer.Start({.CrLf = wide ? kUtf16CrLf : "\r\n", .KeepEnds = keep, .RecordsSpanLines = records},
                     {.Lost = [&](int64_t n) { lost += n; }});
        writer.Open(std::make_unique<TMemorySink>(piece), "");
        const int64_t failed = AppendAll(writer, lines, ends);
        writer.Close();
        // Whole lines of the source, in order, each at most once.
        size_t at = 0, written = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
          const std::string whole = lines[i] + (keep ? ends[i] : Units("\r\n", wide));
          if (piece.Bytes.compare(at, whole.size(), whole) == 0) at += whole.size(), ++written;
        }
        EXPECT_EQ(at, piece.Bytes.size()) << "the piece ends inside a line";
        EXPECT_EQ(static_cast<int64_t>(written) + lost + failed, static_cast<int64_t>(lines.size()));
        EXPECT_EQ(failed > 0, fail_at < all.size());
      }
    }
  }
}

// A run that ends early closes the piece without what is pending, cut back
// to the last record it holds whole; records of several lines are written
// up to whole records, or all of the open one when it is all there is.
TEST(PieceWriter, WritesWholeRecordsAndClosesCutBackToThem) {
  TPiece lines, records;
  TPieceWriter writer(6);
  writer.Start({}, {});
  writer.Open(std::make_unique<TMemorySink>(lines), "");
  writer.AppendLine("ab");
  writer.AppendLine("cdef");
  writer.FlushHead();
  EXPECT_EQ(lines.Bytes, "ab\r\ncd");
  writer.Close();
  EXPECT_EQ(lines.Bytes, "ab\r\n");

  writer.Start({.RecordsSpanLines = true}, {});
  writer.Open(std::make_unique<TMemorySink>(records), "");
  // A line break inside a record keeps its own bytes; the record ends in CR LF.
  writer.SetRecordGoesOnAfter("\n");
  writer.AppendLine("a");
  writer.SetRecordGoesOn(false);
  writer.AppendContinuation("b");
  writer.StartRecord();
  writer.SetRecordGoesOnAfter("\r");
  writer.AppendLine("cdefg");
  writer.FlushHead();
  EXPECT_EQ(records.Bytes, "a\nb\r\n");
  writer.AppendContinuation("h");
  writer.FlushHead();
  EXPECT_EQ(records.Bytes, "a\nb\r\ncdefg\rh\r");
  writer.Close();
  EXPECT_EQ(records.Bytes, "a\nb\r\n");
}

// Records that reach no piece without an error of their own are lost; the
// current record is left out when the failure is raised, since the caller
// counts it.
TEST(PieceWriter, CountsTheRecordsAFailureLost) {
  struct Case {
    const char* name;
    bool open;
    std::vector<std::string> lines;  // appended as records, the last one current
    std::function<void(TPieceWriter&)> fault;
    bool raises;
    int64_t lost;
  } cases[] = {
      {"flush without a piece", false, {"a", "b", "c"}, [](TPieceWriter& w) { w.Flush(); }, false, 3},
      {"long line without a piece", false, {"a", "b", "long line"}, nullptr, false, 3},
      {"failed write", true, {"a", "b", "c"}, [](TPieceWriter& w) { w.Flush(); }, true, 2},
      {"failed write of a long line", true, {"a", "b", "long line"}, nullptr, true, 2},
      {"piece that cannot be created",
       false,
       {"a", "b", "c"},
       [](TPieceWriter& w) { w.Open("/nonexistent/folder/1.txt", ""); },
       true,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPiece piece{.FailAt = 0};
    TPieceWriter writer(8);
    int64_t lost = 0;
    writer.Start({}, {.Lost = [&](int64_t n) { lost += n; }});
    if (c.open) writer.Open(std::make_unique<TMemorySink>(piece), "");
    bool raised = false;
    try {
      for (const std::string& line : c.lines) {
        writer.StartRecord();
        writer.AppendLine(line);
      }
      if (c.fault) c.fault(writer);
    } catch (const EInOutError&) {
      raised = true;
    }
    EXPECT_EQ(raised, c.raises);
    EXPECT_EQ(lost, c.lost);
    EXPECT_EQ(writer.PendingBytes(), 0);
  }
}

// Each piece closed whole is told of with the records it holds, its size
// and the SHA-256 of its bytes, whatever the line end and however its bytes
// were written (heads, long lines straight through, a header at once); a
// piece cut back has no checksum, and one that fails to close loses its
// records.
TEST(PieceWriter, TellsOfEachPieceClosedWithItsRecordsSizeAndChecksum) {
  struct Case {
    const char* name;
    TPieceWriter::TFormat format;
    std::string bom, header;
    std::vector<std::vector<std::string>> pieces;  // the lines of each, one record each
    std::string end;                               // the record end written
  } cases[] = {
      {"CR LF", {}, "\xEF\xBB\xBF", "h\r\n", {{"a", "bcdefghijk", "l"}, {"m"}, {}}, "\r\n"},
      {"LF", {.Lf = true}, "", "", {{"ab", "c"}, {"defghijklmn", "o", "p"}}, "\n"},
      {"UTF-16 LF", {.CrLf = kUtf16CrLf, .Lf = true}, "\xFF\xFE", "", {{"a", "b"}}, std::string("\n\0", 2)},
      {"records", {.Lf = true, .RecordsSpanLines = true, .Checksums = true}, "", "", {{"ab", "cd"}, {"e"}}, "\n"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.format.Checksums = true;
    std::vector<TPieceWriter::TClosedPiece> closed;
    std::vector<TPiece> pieces(c.pieces.size());
    TPieceWriter writer(4);
    writer.Start(c.format, {.Closed = [&](const TPieceWriter::TClosedPiece& piece) { closed.push_back(piece); }});
    for (size_t p = 0; p < c.pieces.size(); ++p) {
      writer.Open(std::make_unique<TMemorySink>(pieces[p]), c.bom);
      writer.WriteText(c.header);
      std::vector<std::string> lines;
      for (const std::string& line : c.pieces[p]) lines.push_back(Units(line, c.format.CrLf.size() == 4));
      EXPECT_EQ(AppendAll(writer, lines), 0);
      writer.Close();
    }
    ASSERT_EQ(closed.size(), c.pieces.size());
    for (size_t p = 0; p < c.pieces.size(); ++p) {
      std::string expected = c.bom + c.header;
      for (const std::string& line : c.pieces[p]) expected += Units(line, c.format.CrLf.size() == 4) + c.end;
      EXPECT_EQ(pieces[p].Bytes, expected);
      EXPECT_EQ(closed[p].Records, static_cast<int64_t>(c.pieces[p].size()));
      EXPECT_EQ(closed[p].Bytes, static_cast<int64_t>(expected.size()));
      TSha256 sha;
      sha.Update(expected.data(), expected.size());
      EXPECT_EQ(closed[p].Sha256, sha.FinishHex());
    }
  }

  TPiece cut, failing{.FailClose = true};
  std::vector<TPieceWriter::TClosedPiece> closed;
  int64_t lost = 0;
  const TPieceWriter::THooks hooks{.Lost = [&](int64_t n) { lost += n; },
                                   .Closed = [&](const TPieceWriter::TClosedPiece& piece) { closed.push_back(piece); }};
  TPieceWriter writer(4);
  writer.Start({.Checksums = true}, hooks);
  writer.Open(std::make_unique<TMemorySink>(cut), "");
  writer.AppendLine("ab");
  writer.AppendLine("cdef");
  writer.FlushHead();  // "ab\r\ncdef" written, its CR LF pending: closing cuts the piece back
  writer.Close();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].Bytes, 4);
  EXPECT_EQ(closed[0].Records, 1);
  EXPECT_EQ(closed[0].Sha256, "");
  writer.Start({.Checksums = true}, hooks);
  writer.Open(std::make_unique<TMemorySink>(failing), "");
  for (const char* line : {"a", "b", "c"}) {
    writer.StartRecord();
    writer.AppendLine(line);
  }
  writer.Flush();
  EXPECT_THROW(writer.Close(), EInOutError);
  EXPECT_EQ(lost, 2);  // the current record is the caller's
  EXPECT_EQ(closed.size(), 1u);
}

// A piece file has its name only once it is closed whole, unnamed or under
// its temporary name until then, whatever held the name before: a file is
// replaced, a link too (never written through), and a piece never closed
// leaves nothing behind.
TEST(PieceWriter, PieceFileTakesItsNameOnlyWhenClosed) {
  struct Restore {
    ~Restore() { TFileStream::UnnamedFiles = true; }
  } restore;
  for (const bool unnamed : {true, false}) {
    for (const char* before : {"", "file", "link"}) {
      SCOPED_TRACE(std::string(unnamed ? "unnamed, " : "named, ") + "before: " + before);
      TFileStream::UnnamedFiles = unnamed;
      TTempDir dir;
      const std::string out = dir / "out", piece = out + "/1.csv";
      WriteFile(dir / "elsewhere", "theirs");
      std::filesystem::create_directory(out);
      if (before == std::string("file")) WriteFile(piece, "old");
      if (before == std::string("link")) std::filesystem::create_symlink(dir / "elsewhere", piece);
      const std::set<std::string> names_before = NamesIn(out);
      {
        TPieceWriter writer(4);
        writer.Start({.CrLf = "\r\n"}, {});
        writer.Open(piece, "");
        EXPECT_EQ(AppendAll(writer, {"ab", "cd"}), 0);
        if (unnamed) {
          EXPECT_EQ(NamesIn(out), names_before);
        }
        EXPECT_EQ(NamesIn(out).size(), names_before.size() + !unnamed);
        writer.Close();
      }
      EXPECT_EQ(NamesIn(out), std::set<std::string>{"1.csv"});
      EXPECT_FALSE(std::filesystem::is_symlink(piece));
      EXPECT_EQ(ReadFile(piece), "ab\r\ncd\r\n");
      EXPECT_EQ(ReadFile(dir / "elsewhere"), "theirs");
      {
        TPieceWriter writer(4);
        writer.Start({.CrLf = "\r\n"}, {});
        writer.Open(out + "/2.csv", "");
        AppendAll(writer, {"ef"});
      }
      EXPECT_EQ(NamesIn(out), std::set<std::string>{"1.csv"});
    }
  }
}
