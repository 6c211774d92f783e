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

// A piece closed with the head of a record written (a stop) ends whole
// records, and the size told of is the compressed file's.
TEST(CompressingSink, ClosedEarlyPieceHoldsItsWholeRecords) {
  for (const TFormat& format : kFormats) {
    SCOPED_TRACE(format.Name);
    const std::unique_ptr<TCompressor> compressor = MakeCompressor(format.Kind, format.Level);
    int64_t told = -1;
    TPieceWriter writer(16);
    writer.Start({}, {.Closed = [&](const TPieceWriter::TClosedPiece& piece) { told = piece.Bytes; }});
    TPiece piece;
    writer.Open(std::make_unique<TCompressingSink>(std::make_unique<TMemorySink>(piece), *compressor, false, "p"), "");
    writer.AppendLine("ab");
    writer.AppendLine("cdefghijklmno");
    writer.FlushHead();  // the second line's head written: closing cuts it off
    writer.Close();
    EXPECT_EQ(Decompressed(piece.Bytes), "ab\r\n");
    EXPECT_EQ(told, static_cast<int64_t>(piece.Bytes.size()));
  }
}
