// Compressed pieces written by the piece writer into a piece in memory that
// can fail part way through a write: whatever fails, the piece is a
// complete stream of whole records.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "convert/UCompressingSink.h"
#include "convert/UPieceWriter.h"
#include "support/MemoryPiece.h"
#include "support/TestSupport.h"
#include "util/UCompressor.h"
#include "util/USha256.h"

namespace {

struct TFormat {
  const char* Name;
  TCompression Kind;
  int Level;
};
constexpr TFormat kFormats[] = {{"gzip", cmGzip, 6}, {"zstd", cmZstd, 3}};

// Lines of a few kinds, one longer than the writer's threshold (written
// straight through).
std::vector<std::string> SomeLines() {
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i) lines.push_back("line " + std::to_string(i * 7919 % 1000) + std::string(i % 5, 'x'));
  lines[17] = std::string(100, 'L');
  return lines;
}

}  // namespace

// A write that fails at any byte of the compressed piece: the piece is cut
// back to the stream's last sync and ended there, later records go on in a
// stream of their own, and every line is in the decompressed piece once,
// in order, or counted once (lost or failed).
TEST(CompressingSink, FailedWriteAtEveryByteLeavesACompleteStreamOfWholeLines) {
  const std::vector<std::string> lines = SomeLines();
  for (const TFormat& format : kFormats) {
    const std::unique_ptr<TCompressor> compressor = MakeCompressor(format.Kind, format.Level);
    size_t whole_size = 0;
    for (size_t fail_at = 0; fail_at <= whole_size + 1; ++fail_at) {
      SCOPED_TRACE(std::string(format.Name) + ", fails at " + std::to_string(fail_at));
      const bool first = whole_size == 0;
      TPiece piece{.FailAt = first ? SIZE_MAX : fail_at};
      TPieceWriter writer(16);
      int64_t lost = 0;
      writer.Start({}, {.Lost = [&](int64_t n) { lost += n; }});
      writer.Open(std::make_unique<TCompressingSink>(std::make_unique<TMemorySink>(piece), *compressor, false, "p"),
                  "");
      const int64_t failed = AppendAll(writer, lines);
      bool closed = true;
      try {
        writer.Close();
      } catch (const EInOutError&) {
        closed = false;  // no room even for an empty stream
      }
      if (first) whole_size = piece.Bytes.size();
      int64_t written = 0;
      if (closed) {
        std::string text;
        ASSERT_NO_THROW(text = Decompressed(piece.Bytes));
        size_t at = 0;
        for (const std::string& line : lines) {
          const std::string whole = line + "\r\n";
          if (text.compare(at, whole.size(), whole) == 0) at += whole.size(), ++written;
        }
        EXPECT_EQ(at, text.size()) << "the piece ends inside a line";
      }
      EXPECT_EQ(written + lost + failed, static_cast<int64_t>(lines.size()));
      EXPECT_EQ(failed > 0, !first && fail_at < whole_size);
    }
  }
}

// The size and SHA-256 told of are those of the compressed piece; a piece of
// nothing is an empty stream, and one closed early holds its whole records.
TEST(CompressingSink, TellsOfTheCompressedPieceAndEndsEveryPieceWhole) {
  for (const TFormat& format : kFormats) {
    SCOPED_TRACE(format.Name);
    const std::unique_ptr<TCompressor> compressor = MakeCompressor(format.Kind, format.Level);
    std::vector<TPieceWriter::TClosedPiece> closed;
    TPieceWriter writer(16);
    writer.Start({.Checksums = true},
                 {.Closed = [&](const TPieceWriter::TClosedPiece& piece) { closed.push_back(piece); }});
    TPiece pieces[3];
    auto open = [&](TPiece& piece, std::string_view bom) {
      writer.Open(std::make_unique<TCompressingSink>(std::make_unique<TMemorySink>(piece), *compressor, true, "p"),
                  bom);
    };
    open(pieces[0], "\xEF\xBB\xBF");
    writer.WriteText("head\r\n");
    const std::vector<std::string> lines = SomeLines();
    EXPECT_EQ(AppendAll(writer, lines), 0);
    open(pieces[1], "");
    open(pieces[2], "");
    writer.AppendLine("ab");
    writer.AppendLine("cdefghijklmno");
    writer.FlushHead();  // the second line's head written: closing cuts it off
    writer.Close();

    std::string expected = "\xEF\xBB\xBFhead\r\n";
    for (const std::string& line : lines) expected += line + "\r\n";
    const std::string texts[] = {expected, "", "ab\r\n"};
    ASSERT_EQ(closed.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(Decompressed(pieces[i].Bytes), texts[i]) << i;
      EXPECT_EQ(closed[i].Bytes, static_cast<int64_t>(pieces[i].Bytes.size())) << i;
    }
    TSha256 sha;
    sha.Update(pieces[0].Bytes.data(), pieces[0].Bytes.size());
    EXPECT_EQ(closed[0].Sha256, sha.FinishHex());
    EXPECT_EQ(closed[2].Sha256, "");  // cut back
  }
}
