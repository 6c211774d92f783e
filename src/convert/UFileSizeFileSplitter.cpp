#include "convert/UFileSizeFileSplitter.h"

#include <limits>

#include "tasks/UFileSplitSession.h"

int64_t TFileSizeFileSplitter::SizeLimit(int64_t max_file_size) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  if (max_file_size > (kMax >> 20)) return kMax;
  if (max_file_size < (kMin >> 20)) return kMin;
  return max_file_size * 1048576;
}

void TFileSizeFileSplitter::SplitOneLine() {
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
