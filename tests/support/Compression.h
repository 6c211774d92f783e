// Compressed data and streams for the tests of what reads them.
#pragma once

#include <cstddef>
#include <string>

#include "util/UByteSource.h"

// Text compressed as one gzip member or one zstd frame.
std::string Gzip(const std::string& text);
std::string Zstd(const std::string& text);

// Hands out Data in reads of at most Chunk bytes, as a pipe would.
class TMemorySource final : public TByteSource {
 public:
  TMemorySource(std::string data, size_t chunk) : Data_(std::move(data)), Chunk_(chunk) {}
  size_t Read(char* data, size_t size) override;
  int64_t BytesConsumed() const override { return static_cast<int64_t>(Pos_); }

 private:
  std::string Data_;
  size_t Chunk_;
  size_t Pos_ = 0;
};
