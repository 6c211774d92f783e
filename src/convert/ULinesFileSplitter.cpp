#include "convert/ULinesFileSplitter.h"

#include <cstdint>

#include "tasks/UFileSplitSession.h"
#include "text/UBlockTextReader.h"
#include "util/UErrors.h"

void TLinesFileSplitter::InitSplit() {
  if (Session->Settings.MaxLines < 1)
    throw EQuillmereError("Invalid MaxLines " + std::to_string(Session->Settings.MaxLines) +
                          ": a piece must hold at least 1 line.");
  TFileSplitter::InitSplit();
  NextPieceAt_ = 0;
  ReadHeader();
}

void TLinesFileSplitter::ReadHeader() {
  Header_.clear();
  // The header is no record of its own: LineIndex stays at -1.
  if (Session->Settings.KeepHeader) ReadUncountedRecord(Header_);
}

void TLinesFileSplitter::StartPiece() {
  const int64_t max_lines = Session->Settings.MaxLines;
  NextPieceAt_ = NextPieceAt_ > INT64_MAX - max_lines ? INT64_MAX : NextPieceAt_ + max_lines;
  OpenNextPiece();
  Writer().WriteText(Header_);
}

void TLinesFileSplitter::EndPiece() {
  Writer().Flush();
  Writer().Close();
}
