// A file read block by block into a buffer.
#pragma once

#include <memory>

#include "text/UFileStorage.h"
#include "util/ULargeBlock.h"

// The window lies in a buffer that reads fill; advancing moves the bytes
// that stay to its front. Reading costs less than mapping where address
// translations are dear (virtual machines): the kernel copies through its
// own large pages, and the buffer stays in the processor's caches. A window
// that grows over a long line is mapped instead (ForLongWindow), so that a
// line of gigabytes costs no buffer of its own.
class TReadStorage final : public TFileStorage {
 public:
  TReadStorage(TFileStream file, int64_t file_size) : TFileStorage(std::move(file), file_size) {}

  const char* Data() const override { return Buffer_.get(); }
  void Advance(size_t count) override;
  void Extend(size_t count) override;
  std::unique_ptr<TSourceStorage> ForLongWindow() override;

 private:
  TLargeBlock Buffer_;   // the window from its start; Capacity_ bytes
  size_t Capacity_ = 0;  // at least Size_
};
