#include "text/UReadStorage.h"

#include <algorithm>
#include <cstring>

#include "text/UMappedStorage.h"

void TReadStorage::Advance(size_t count) {
  if (count > 0 && count < Size_) std::memmove(Buffer_.get(), Buffer_.get() + count, Size_ - count);
  Start_ += static_cast<int64_t>(count);
  Size_ -= count;
}

void TReadStorage::Extend(size_t count) {
  count = UnreadUpTo(count);
  const size_t needed = Size_ + count;
  if (needed > Capacity_) {
    // Growing by half again at least keeps a window that grows over a long
    // line linear in its size.
    size_t capacity = std::max(needed, Capacity_ + Capacity_ / 2);
    TLargeBlock buffer = AllocateLargeBlock(capacity);
    if (Size_ > 0) std::memcpy(buffer.get(), Buffer_.get(), Size_);
    Buffer_ = std::move(buffer);
    Capacity_ = capacity;
  }
  // The file's position is the window's end: the window only grows there.
  File_.ReadExact(Buffer_.get() + Size_, count);
  FailIfShrunk(Start_ + static_cast<int64_t>(needed));
  Size_ = needed;
}

std::unique_ptr<TSourceStorage> TReadStorage::ForLongWindow() {
  if (!TMappedStorage::CanMap(File_)) return nullptr;
  return std::make_unique<TMappedStorage>(std::move(File_), FileSize_, Start_, Size_);
}
