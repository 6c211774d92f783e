// A file read block by block into a buffer.
#pragma once

#include <memory>

#include "text/UFileStorage.h"

// The window lies in a buffer that reads fill; advancing moves the bytes
// that stay to its front. For files that cannot be mapped.
class TReadStorage final : public TFileStorage {
 public:
  TReadStorage(TFileStream file, int64_t file_size) : TFileStorage(std::move(file), file_size) {}

  const char* Data() const override { return Buffer_.get(); }
  void Advance(size_t count) override;
  void Extend(size_t count) override;

 private:
  std::unique_ptr<char[]> Buffer_;  // the window from its start; Capacity_ bytes
  size_t Capacity_ = 0;             // at least Size_
};
