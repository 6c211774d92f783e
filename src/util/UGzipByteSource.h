// A gzip source decompressed as it is read (zlib).
#pragma once

#include <memory>

#include "util/UDecompressingSource.h"

// Decompresses every gzip member of Input in turn, as gzip -dc does.
class TGzipByteSource final : public TDecompressingSource {
 public:
  explicit TGzipByteSource(std::unique_ptr<TByteSource> input);
  ~TGzipByteSource() override;
  size_t Read(char* data, size_t size) override;

 private:
  struct TState;
  std::unique_ptr<TState> State_;  // zlib's stream, kept out of this header
};
