// The storages of a regular file.
#pragma once

#include <cstdint>

#include "text/USourceStorage.h"
#include "util/UFileStream.h"

// A regular file as a source: its size, taken when it was opened, says how
// far it reaches, and a file found shorter later (truncated while it is
// read) fails the read rather than hand out zeros for what it lost.
class TFileStorage : public TSourceStorage {
 public:
  bool Holds(uint64_t count) const override { return count <= static_cast<uint64_t>(FileSize_ - Start_); }
  // Bytes are taken when they enter the window.
  int64_t BytesTaken() const override { return Start_ + static_cast<int64_t>(Size_); }
  int64_t BytesInAll() const override { return FileSize_; }

 protected:
  TFileStorage(TFileStream file, int64_t file_size) : File_(std::move(file)), FileSize_(file_size) {}
  // The bytes of the file after the window: at most Count of them.
  size_t UnreadUpTo(size_t count) const;
  // Raises EReadError when the file is now shorter than End.
  void FailIfShrunk(int64_t end) const;

  TFileStream File_;        // the open file
  const int64_t FileSize_;  // its size when it was opened
  int64_t Start_ = 0;       // the file offset of the window's first byte
};
