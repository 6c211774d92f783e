#include "convert/UFileSizeFileSplitter.h"

#include "tasks/UFileSplitSession.h"

void TFileSizeFileSplitter::PlaceLine() {
  if (!IsPieceOpen()) OpenNextPiece();
  std::string_view line = CurrentLine();
  int64_t size = PieceBytesWritten() + PendingBytes() + static_cast<int64_t>(line.size()) + 2;
  if (SizeLimit(Session->MaxFileSize) < size) {
    FlushPending();
    ClosePiece();
    OpenNextPiece();
  }
  AppendLine(line);
  if (IsLastLine()) {
    FlushPending();
    ClosePiece();
  } else if (PendingOverThreshold()) {
    FlushPendingHead();
  }
}
