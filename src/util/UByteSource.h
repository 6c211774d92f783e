// Bytes read front to back once: standard input, a pipe, or a decompressor
// over another such source. Whatever cannot seek or tell its size in advance
// is read through this interface.
#pragma once

#include <cstddef>
#include <cstdint>

class TByteSource {
 public:
  TByteSource() = default;
  TByteSource(const TByteSource&) = delete;
  TByteSource& operator=(const TByteSource&) = delete;
  virtual ~TByteSource() = default;

  // Reads up to Size (> 0) bytes into Data and returns how many it read; 0
  // only once the source has ended. Raises EReadError when the source fails,
  // is corrupt or ends before its data does (a compressed stream cut short).
  virtual size_t Read(char* data, size_t size) = 0;
  // Bytes taken from the file or pipe underneath so far (compressed bytes for
  // a decompressor): what a progress report can measure against.
  virtual int64_t BytesConsumed() const = 0;
};
