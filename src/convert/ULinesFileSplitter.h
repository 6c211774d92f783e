// Split rule "Lines": MaxLines lines per piece, the last piece holding the
// rest; with KeepHeader the source's first line heads every piece.
#pragma once

#include <string>

#include "convert/UFileSplitter.h"

class TLinesFileSplitter final : public TFileSplitter {
  // The record loop and ConvertLine call the record steps directly.
  friend class TIterativeConverter;
  friend class TFileSplitter;

 public:
  const std::string& Header() const { return Header_; }

 protected:
  void RecordLoop() override { RunRecordLoop(*this); }
  void ConvertOneRecord() override { ConvertLine(*this); }
  // Refuses MaxLines below 1 before the source or destination is touched.
  void InitSplit() override;
  void SplitOneLine() override;

 private:
  void ReadHeader();
  void WriteHeader();

  std::string Header_;
  // Index of the line that opens the next piece: the line count of the
  // pieces so far, kept instead of a division per line.
  int64_t NextPieceAt_ = 0;
};
