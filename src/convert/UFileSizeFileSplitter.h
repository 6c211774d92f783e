// Split rule "File Size": lines go into a piece until the next one would
// make it larger than MaxFileSize; lines are never cut.
#pragma once

#include <cstdint>

#include "convert/UFileSplitter.h"
#include "tasks/UFileSplitSession.h"

class TFileSizeFileSplitter final : public TFileSplitter {
  // The record loop and ConvertLine call the record steps directly.
  friend class TIterativeConverter;
  friend class TFileSplitter;

 public:
  using TFileSplitter::TFileSplitter;

 protected:
  void RecordLoop() override { RunRecordLoop(*this); }
  void ConvertOneRecord() override { ConvertLine(*this); }
  // Once per line: a line that fits the open piece and is not the last only
  // joins the pending text; the rest is kept out of line.
  void SplitOneLine() override {
    if (Writer().IsOpen() && !RecordContinues() && !Converts()) [[likely]] {
      if (Fits() && !IsLastLine()) [[likely]] {
        AppendCurrentLine();
        if (Writer().OverThreshold()) [[unlikely]]
          Writer().FlushHead();
        return;
      }
    }
    PlaceLine();
  }
  // The lines after the current record that fit the open piece only join
  // the pending text: placed as a run.
  void ConvertRecordRun() {
    AppendLineRun(*this, INT64_MAX, Session->Settings.MaxFileSizeBytes() - Writer().PieceSize());
  }

 private:
  // True when the open piece, as it will lie on disk, stays within the
  // limit with the current line and its line end.
  bool Fits() { return Writer().PieceSize() + CurrentLineBytes() <= Session->Settings.MaxFileSizeBytes(); }
  // After a record: the last one ends the piece; otherwise pending text
  // over the threshold is written.
  void EndRecord();
  // The rule's steps in full, for any line.
  [[gnu::noinline]] void PlaceLine();
  // A CSV record of several lines (or a converted line), placed whole:
  // measured while its lines gather, moved to the next piece as soon as it
  // cannot fit the open one.
  void PlaceRecord();
};
