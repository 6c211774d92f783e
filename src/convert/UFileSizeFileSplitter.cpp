#include "convert/UFileSizeFileSplitter.h"

#include "tasks/UFileSplitSession.h"

void TFileSizeFileSplitter::PlaceLine() {
  if (!IsPieceOpen()) OpenNextPiece();
  std::string_view line = CurrentLine();
  // The piece as it will lie on disk: every byte counted is one written.
  int64_t size = PieceBytesWritten() + PendingBytes() + static_cast<int64_t>(line.size()) + CrLfSize();
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
