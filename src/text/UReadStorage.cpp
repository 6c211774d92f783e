#include "text/UReadStorage.h"

#include <algorithm>
#include <cstring>

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
    const size_t capacity = std::max(needed, Capacity_ + Capacity_ / 2);
    auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    if (Size_ > 0) std::memcpy(buffer.get(), Buffer_.get(), Size_);
    Buffer_ = std::move(buffer);
    Capacity_ = capacity;
  }
  // The file's position is the window's end: the window only grows there.
  File_.ReadExact(Buffer_.get() + Size_, count);
  FailIfShrunk(Start_ + static_cast<int64_t>(needed));
  Size_ = needed;
}
