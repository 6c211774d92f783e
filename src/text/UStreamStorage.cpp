#include "text/UStreamStorage.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// Reads ask for what the window needs, and at least this much.
constexpr size_t kLeastRead = 1 << 16;
}  // namespace

TStreamStorage::TStreamStorage(std::unique_ptr<TByteSource> source, int64_t total)
    : Source_(std::move(source)), Total_(total) {
  Fill(kLookAhead);
}

void TStreamStorage::Advance(size_t count) {
  count = std::min(count, Size_);
  const size_t rest = Size_ - count + Ahead_;
  if (count > 0 && rest > 0) std::memmove(Buffer_.get(), Buffer_.get() + count, rest);
  Size_ -= count;
}

void TStreamStorage::Extend(size_t count) {
  if (count == 0) return;
  // Beyond the look-ahead, the bytes read already come first; only without
  // them does the window wait for the stream, for one read.
  if (Ahead_ <= kLookAhead && !Ended_) ReadOnce(std::max(count, kLeastRead));
  const size_t spare = Ended_ ? Ahead_ : Ahead_ - std::min(Ahead_, kLookAhead);
  const size_t taken = std::min(count, spare);
  Size_ += taken;
  Ahead_ -= taken;
}

void TStreamStorage::Fill(size_t wanted) {
  while (Size_ + Ahead_ < wanted && !Ended_) ReadOnce(wanted - Size_ - Ahead_);
}

void TStreamStorage::ReadOnce(size_t count) {
  const size_t held = Size_ + Ahead_;
  if (held + count > Capacity_) {
    // Growing by half again at least keeps a window that grows over a long
    // line linear in its size.
    size_t capacity = std::max(held + std::max(count, kLeastRead), Capacity_ + Capacity_ / 2);
    TLargeBlock buffer = AllocateLargeBlock(capacity);
    if (held > 0) std::memcpy(buffer.get(), Buffer_.get(), held);
    Buffer_ = std::move(buffer);
    Capacity_ = capacity;
  }
  const size_t got = Source_->Read(Buffer_.get() + held, Capacity_ - held);
  if (got == 0)
    Ended_ = true;
  else
    Ahead_ += got;
}
