// The common half of the sources that decompress another source as they are
// read (gzip, zstd): they take their input in large reads and hand out the
// decompressed bytes in the reader's own buffer, so memory stays flat.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "util/UByteSource.h"
#include "util/UCompression.h"

// The common half of the decompressors: the compressed input and its buffer.
class TDecompressingSource : public TByteSource {
 public:
  int64_t BytesConsumed() const override { return Input_->BytesConsumed(); }

 protected:
  // Format names the format in error messages ("gzip").
  TDecompressingSource(std::unique_ptr<TByteSource> input, std::string format);
  // Refills the input buffer once it is used up; false at the input's end.
  bool FillInput();
  [[noreturn]] void FailCorrupt(std::string_view reason) const;
  [[noreturn]] void FailEndsEarly() const;

  static constexpr size_t kInputSize = 1 << 20;
  std::unique_ptr<char[]> InBuffer_;  // kInputSize bytes; [InPos_, InSize_) not yet decompressed
  size_t InPos_ = 0;
  size_t InSize_ = 0;

 private:
  std::unique_ptr<TByteSource> Input_;  // the compressed bytes; never null
  std::string Format_;
};

// Input itself for cmNone, otherwise the decompressor of Format over it.
std::unique_ptr<TByteSource> Decompressing(std::unique_ptr<TByteSource> input, TCompression format);
