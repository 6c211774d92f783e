#include "text/UFileStorage.h"

#include <algorithm>

#include "util/UErrors.h"

size_t TFileStorage::UnreadUpTo(size_t count) const {
  const int64_t unread = FileSize_ - Start_ - static_cast<int64_t>(Size_);
  return static_cast<size_t>(std::clamp<int64_t>(unread, 0, static_cast<int64_t>(count)));
}

void TFileStorage::FailIfShrunk(int64_t end) const {
  // A read that overlaps a truncation may hand out zeros for the part cut
  // off instead of falling short; the file's size afterwards tells.
  if (File_.Size() < end) throw EReadError();
}
