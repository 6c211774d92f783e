// Split rule "Lines": MaxLines lines (records) per piece, the last piece
// holding the rest; with KeepHeader the source's first line (record) heads
// every piece.
#pragma once

#include <cstdint>
#include <string>

#include "convert/UFileSplitter.h"

class TLinesFileSplitter final : public TFileSplitter {
  // The record loop and ConvertLine call the record steps directly.
  friend class TIterativeConverter;
  friend class TFileSplitter;

 public:
  using TFileSplitter::TFileSplitter;
  const std::string& Header() const { return Header_; }

 protected:
  void RecordLoop() override { RunRecordLoop(*this); }
  void ConvertOneRecord() override { ConvertLine(*this); }
  // Refuses MaxLines below 1 before the source or destination is touched.
  void InitSplit() override;
  // Once per line: what is not needed for most lines is kept out of line.
  void SplitOneLine() override {
    // Lines arrive one index at a time, so piece k begins at (k - 1) x MaxLines.
    if (LineIndex() == NextPieceAt_) [[unlikely]]
      StartPiece();
    AppendCurrentLine();
    if (RecordContinues()) [[unlikely]]
      AppendRecordRest();
    if (LineIndex() + 1 == NextPieceAt_ || IsLastLine()) [[unlikely]]
      EndPiece();
    else if (Writer().OverThreshold()) [[unlikely]]
      Writer().FlushHead();
  }

  // The lines after the current record that neither open nor close a
  // piece only join the pending text: placed as a run.
  void ConvertRecordRun() { AppendLineRun(*this, NextPieceAt_ - 2 - LineIndex(), INT64_MAX); }

 private:
  void ReadHeader();
  // Opens the next piece, headed by the header when one is kept.
  [[gnu::noinline]] void StartPiece();
  // Writes what is pending and closes the piece.
  [[gnu::noinline]] void EndPiece();

  std::string Header_;  // the kept header's lines, each ending in CR LF; empty without KeepHeader
  // Index of the line that opens the next piece: the line count of the
  // pieces so far, kept instead of a division per line.
  int64_t NextPieceAt_ = 0;
};
