// A file mapped into memory span by span.
#pragma once

#include "text/UFileStorage.h"
#include "util/UMappedRegion.h"

// The window lies in a mapping of the file, in spans of several blocks on
// boundaries of large pages; a window that outgrows its span holds a long
// line, and the mapping then doubles in place, so that a line of any length
// is mapped once. Pages that a truncation removes read as zeros and show as
// Faulted (TMappedRegion's guard).
class TMappedStorage final : public TFileStorage {
 public:
  // False when File cannot be mapped; it is then read instead.
  static bool CanMap(const TFileStream& file);
  TMappedStorage(TFileStream file, int64_t file_size) : TFileStorage(std::move(file), file_size) { Guard_ = &Map_; }
  // The window of Size bytes from the file offset Start on, mapped at once:
  // a window another storage began.
  TMappedStorage(TFileStream file, int64_t file_size, int64_t start, size_t size);

  const char* Data() const override { return Map_.Data() + (Start_ - MapStart_); }
  void Advance(size_t count) override;
  void Extend(size_t count) override;

 private:
  // Makes sure Size bytes of the file from Start_ on are mapped.
  void MapWindow(size_t size);

  TMappedRegion Map_;     // holds the window
  int64_t MapStart_ = 0;  // the file offset of Map_'s first byte, at most Start_ while a window is mapped
};
