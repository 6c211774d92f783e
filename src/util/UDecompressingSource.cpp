#include "util/UDecompressingSource.h"

#include <utility>

#include "util/UErrors.h"
#include "util/UGzipByteSource.h"
#include "util/UZstdByteSource.h"

TDecompressingSource::TDecompressingSource(std::unique_ptr<TByteSource> input, std::string format)
    : InBuffer_(std::make_unique_for_overwrite<char[]>(kInputSize)),
      Input_(std::move(input)),
      Format_(std::move(format)) {}

bool TDecompressingSource::FillInput() {
  InPos_ = 0;
  InSize_ = Input_->Read(InBuffer_.get(), kInputSize);
  return InSize_ > 0;
}

void TDecompressingSource::FailCorrupt(std::string_view reason) const {
  throw EReadError("The " + Format_ + " data of the source is corrupt (" + std::string(reason) + ").");
}

void TDecompressingSource::FailEndsEarly() const {
  throw EReadError("The " + Format_ + " data of the source ends early: the source is cut short.");
}

std::unique_ptr<TByteSource> Decompressing(std::unique_ptr<TByteSource> input, TCompression format) {
  switch (format) {
    case cmGzip:
      return std::make_unique<TGzipByteSource>(std::move(input));
    case cmZstd:
      return std::make_unique<TZstdByteSource>(std::move(input));
    case cmNone:
    case cmUnknown:
      break;
  }
  return input;
}
