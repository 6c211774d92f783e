// Output room for the decoders and encoders.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

#include "util/ULargeBlock.h"

// Where a decoder or encoder writes its result, kept by the caller from call
// to call. Unlike std::string it leaves new room uninitialised: the codecs
// reserve room for the longest possible result, and zero-filling that room
// cost as much as the conversion itself.
class TCodecBuffer {
 public:
  // Room for Size bytes from the start; the contents are dropped.
  char* Reserve(size_t size) {
    if (size > Capacity_) Allocate(size, 0);
    return Data_.get();
  }

  // Room for Size bytes at O, a position in the buffer, keeping the bytes
  // before it; returns O in the buffer as it now is.
  char* Reserve(char* o, size_t size) {
    const size_t used = static_cast<size_t>(o - Data_.get());
    if (Capacity_ - used < size) Allocate(used + size, used);
    return Data_.get() + used;
  }

  char* Data() const { return Data_.get(); }
  size_t Capacity() const { return Capacity_; }

 private:
  // Grows to at least Size bytes by half again at least, so that repeated
  // growth stays linear, keeping the first Kept bytes.
  void Allocate(size_t size, size_t kept) {
    size_t capacity = std::max(size, Capacity_ + Capacity_ / 2);
    TLargeBlock data = AllocateLargeBlock(capacity);
    if (kept > 0) std::memcpy(data.get(), Data_.get(), kept);
    Data_ = std::move(data);
    Capacity_ = capacity;
  }

  TLargeBlock Data_;
  size_t Capacity_ = 0;
};
