#include "convert/UFileSizeFileSplitter.h"

#include "tasks/UFileSplitSession.h"

void TFileSizeFileSplitter::PlaceLine() {
  if (!IsPieceOpen()) OpenNextPiece();
  if (RecordContinues()) {
    PlaceRecord();
    return;
  }
  std::string_view line = CurrentLine();
  // The piece as it will lie on disk: every byte counted is one written.
  int64_t size = PieceBytesWritten() + PendingBytes() + static_cast<int64_t>(line.size()) + CrLfSize();
  if (Session->Settings.MaxFileSizeBytes() < size) {
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

void TFileSizeFileSplitter::PlaceRecord() {
  const int64_t limit = Session->Settings.MaxFileSizeBytes();
  // The record's lines wait in Pending from Start on until it is known
  // whether it fits the open piece: at most the limit is held.
  const size_t start = static_cast<size_t>(PendingBytes());
  bool moved = false;
  AppendLine(CurrentLine());
  for (;;) {
    if (!moved && PieceBytesWritten() + PendingBytes() > limit) {
      MoveRecordToNextPiece(start);
      moved = true;  // it heads its piece now: its lines go on as they come
    }
    if (!RecordContinues()) break;
    NextRecordLine();
    AppendContinuation(CurrentLine());
    if (moved && PendingOverThreshold()) FlushPendingHead();
  }
  if (IsLastLine()) {
    FlushPending();
    ClosePiece();
  } else if (PendingOverThreshold()) {
    FlushPendingHead();
  }
}
