#include "util/ULargeBlock.h"

#include <sys/mman.h>

#include <new>

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kHugeFrom = size_t{256} << 10;

}  // namespace

TLargeBlock AllocateLargeBlock(size_t& size) {
  void* data = nullptr;
  if (size >= kHugeFrom) {
    size = (size + kHugePage - 1) / kHugePage * kHugePage;
    data = std::aligned_alloc(kHugePage, size);
    // Only advice: without huge pages the block is ordinary memory.
    if (data != nullptr) madvise(data, size, MADV_HUGEPAGE);
  } else {
    data = std::malloc(size > 0 ? size : 1);
  }
  if (data == nullptr) throw std::bad_alloc();
  return TLargeBlock(static_cast<char*>(data));
}
