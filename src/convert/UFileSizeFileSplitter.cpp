#include "convert/UFileSizeFileSplitter.h"

#include "tasks/UFileSplitSession.h"

void TFileSizeFileSplitter::PlaceLine() {
  if (!Writer().IsOpen()) OpenNextPiece();
  // A converted line is measured as it lies in the pending text, but for
  // one written straight to its piece, which is measured on its own.
  if (RecordContinues() || (Converts() && !CurrentLineWrittenThrough())) {
    PlaceRecord();
    return;
  }
  if (!Fits()) {
    Writer().Flush();
    Writer().Close();
    OpenNextPiece();
  }
  AppendCurrentLine();
  EndRecord();
}

void TFileSizeFileSplitter::EndRecord() {
  if (IsLastLine()) {
    Writer().Flush();
    Writer().Close();
  } else if (Writer().OverThreshold()) {
    Writer().FlushHead();
  }
}

void TFileSizeFileSplitter::PlaceRecord() {
  const int64_t limit = Session->Settings.MaxFileSizeBytes();
  // The record's lines wait in Pending from Start on until it is known
  // whether it fits the open piece: at most the limit is held.
  const size_t start = static_cast<size_t>(Writer().PendingBytes());
  bool moved = false;
  AppendCurrentLine();
  for (;;) {
    if (!moved && Writer().PieceSize() > limit) {
      MoveRecordToNextPiece(start);
      moved = true;  // it heads its piece now: its lines go on as they come
    }
    if (!RecordContinues()) break;
    AppendNextRecordLine();
    if (moved && Writer().OverThreshold()) Writer().FlushHead();
  }
  EndRecord();
}
