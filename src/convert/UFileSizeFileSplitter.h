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
    if (IsPieceOpen() && !RecordContinues()) [[likely]] {
      const std::string_view line = CurrentLine();
      const int64_t size = PieceBytesWritten() + PendingBytes() + static_cast<int64_t>(line.size()) + CrLfSize();
      if (size <= Session->Settings.MaxFileSizeBytes() && !IsLastLine()) [[likely]] {
        AppendLine(line);
        if (PendingOverThreshold()) [[unlikely]]
          FlushPendingHead();
        return;
      }
    }
    PlaceLine();
  }

 private:
  // The rule's steps in full, for any line.
  [[gnu::noinline]] void PlaceLine();
  // A CSV record of several lines, placed whole: measured while its lines
  // gather, moved to the next piece as soon as it cannot fit the open one.
  void PlaceRecord();
};
