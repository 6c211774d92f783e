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
  if (!Session->Settings.KeepHeader || !Reader().HasNext()) return;
  // The header is no record of its own: LineIndex stays at -1.
  Reader().Next();
  StartRecordAtCurrentLine();
  Header_.assign(Reader().CurrentLine());
  Header_ += CrLf();
  while (RecordContinues()) {
    NextRecordLine();
    Header_ += Reader().CurrentLine();
    Header_ += CrLf();
  }
}

void TLinesFileSplitter::WriteHeader() {
  if (Session->Settings.KeepHeader && !Header_.empty()) WriteText(Header_);
}

void TLinesFileSplitter::StartPiece() {
  const int64_t max_lines = Session->Settings.MaxLines;
  NextPieceAt_ = NextPieceAt_ > INT64_MAX - max_lines ? INT64_MAX : NextPieceAt_ + max_lines;
  OpenNextPiece();
  WriteHeader();
}

void TLinesFileSplitter::EndPiece() {
  FlushPending();
  if (IsPieceOpen()) ClosePiece();
}
