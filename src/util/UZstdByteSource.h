// A zstd source decompressed as it is read (libzstd).
#pragma once

#include <memory>

#include "util/UDecompressingSource.h"

// Decompresses every zstd frame of Input in turn.
class TZstdByteSource final : public TDecompressingSource {
 public:
  explicit TZstdByteSource(std::unique_ptr<TByteSource> input);
  ~TZstdByteSource() override;
  size_t Read(char* data, size_t size) override;

 private:
  struct TState;
  std::unique_ptr<TState> State_;  // libzstd's context, kept out of this header
};
