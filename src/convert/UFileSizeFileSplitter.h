// Split rule "File Size": lines go into a piece until the next one would
// make it larger than MaxFileSize megabytes; lines are never cut.
#pragma once

#include <cstdint>

#include "convert/UFileSplitter.h"

class TFileSizeFileSplitter final : public TFileSplitter {
  // The record loop and ConvertLine call the record steps directly.
  friend class TIterativeConverter;
  friend class TFileSplitter;

 public:
  // MaxFileSize x 1,048,576 bytes; a limit beyond 64 bits means no limit.
  static int64_t SizeLimit(int64_t max_file_size);

 protected:
  void RecordLoop() override { RunRecordLoop(*this); }
  void ConvertOneRecord() override { ConvertLine(*this); }
  void SplitOneLine() override;
};
