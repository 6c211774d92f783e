#include "text/UMappedStorage.h"

#include <algorithm>

#include "util/UErrors.h"

namespace {

constexpr int64_t kMiB = 1048576;
// Files are mapped in spans of this many bytes, starting on multiples of
// kMapAlign (the size of a large page).
constexpr int64_t kMapSpan = 8 * kMiB;
constexpr int64_t kMapAlign = 2 * kMiB;

}  // namespace

bool TMappedStorage::CanMap(const TFileStream& file) {
  TMappedRegion probe;
  return probe.Map(file.Fd(), 0, 1);
}

TMappedStorage::TMappedStorage(TFileStream file, int64_t file_size, int64_t start, size_t size)
    : TMappedStorage(std::move(file), file_size) {
  Start_ = start;
  MapWindow(size);
  Size_ = size;
}

void TMappedStorage::Advance(size_t count) {
  Start_ += static_cast<int64_t>(count);
  Size_ -= count;
  MapWindow(Size_);
}

void TMappedStorage::Extend(size_t count) {
  count = UnreadUpTo(count);
  MapWindow(Size_ + count);
  Size_ += count;
}

void TMappedStorage::MapWindow(size_t size) {
  // A file that shrank since it was opened cannot deliver the window: the
  // same failure as a read that falls short.
  const int64_t window_end = Start_ + static_cast<int64_t>(size);
  FailIfShrunk(window_end);
  const int64_t map_end = MapStart_ + static_cast<int64_t>(Map_.Size());
  if (Map_.Data() != nullptr && Start_ >= MapStart_ && window_end <= map_end) return;
  const int64_t start = Start_ / kMapAlign * kMapAlign;
  if (Map_.Data() != nullptr && Start_ >= MapStart_ && Start_ < map_end && window_end - start > kMapSpan) {
    // A window larger than a span holds a long line: the mapping doubles
    // in place, so a line of any length is mapped once.
    const int64_t doubled = std::min(FileSize_, MapStart_ + 2 * static_cast<int64_t>(Map_.Size()));
    if (Map_.Extend(static_cast<size_t>(std::max(window_end, doubled) - MapStart_))) return;
  }
  // Spans of several blocks, on 2 MiB boundaries of the file: pages that the
  // page cache holds in 2 MiB pieces are then mapped as such, which costs
  // next to nothing, and the scan meets far fewer address translations.
  int64_t end = std::max(window_end, start + kMapSpan);
  end = std::max(window_end, std::min(FileSize_, (end + kMapAlign - 1) / kMapAlign * kMapAlign));
  if (!Map_.Map(File_.Fd(), start, static_cast<size_t>(end - start))) throw EReadError();
  MapStart_ = start;
}
