// A file copied into memory whole.
#pragma once

#include <memory>

#include "text/UFileStorage.h"

// The whole file, read into memory when the storage is made: later changes
// to the file do not matter. The window is a view into the copy.
class TMemoryStorage final : public TFileStorage {
 public:
  // Reads the File_Size bytes of File; raises EReadError when it falls short.
  TMemoryStorage(TFileStream file, int64_t file_size);

  const char* Data() const override { return Copy_.get() + Start_; }
  void Advance(size_t count) override {
    Start_ += static_cast<int64_t>(count);
    Size_ -= count;
  }
  void Extend(size_t count) override { Size_ += UnreadUpTo(count); }

 private:
  std::unique_ptr<char[]> Copy_;  // the file's bytes, FileSize_ of them
};
