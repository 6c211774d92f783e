// Where the block reader's bytes come from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "util/UMappedRegion.h"

// A window onto a source that slides forward. The reader extends the window
// until it holds a block, hands out the block's lines, then advances past
// them; the bytes after the block stay in the window and open the next one.
// Implementations differ only in where the window's bytes lie: a copy of the
// whole file, a mapping, a buffer that reads fill, and (for a source that
// cannot tell its size) a buffer that reads ahead.
class TSourceStorage {
 public:
  TSourceStorage(const TSourceStorage&) = delete;
  TSourceStorage& operator=(const TSourceStorage&) = delete;
  virtual ~TSourceStorage() = default;

  // The window's bytes, Size() of them; valid until the next Advance or
  // Extend.
  virtual const char* Data() const = 0;
  size_t Size() const { return Size_; }
  // True when the source holds at least Count bytes from the window's start
  // on. Never reads: a source that cannot tell reads ahead in Extend.
  virtual bool Holds(uint64_t count) const = 0;
  // True when no byte of the source lies beyond the window.
  bool AtEnd() const { return !Holds(uint64_t{Size_} + 1); }
  // Drops the window's first Count bytes (at most Size()); the rest opens
  // the window.
  virtual void Advance(size_t count) = 0;
  // Adds the source's next Count bytes to the window's end, fewer only where
  // the source ends, or for a stream where no more have come yet (at least
  // one then). Raises EReadError when the source delivers fewer bytes than
  // it promised (a file that shrank since it was opened).
  virtual void Extend(size_t count) = 0;
  // For progress reports: the bytes taken from the file or pipe underneath
  // so far (compressed bytes for a source decompressed as it is read), and
  // how many it holds in all (-1 when it cannot tell).
  virtual int64_t BytesTaken() const = 0;
  virtual int64_t BytesInAll() const = 0;
  // The mapping whose Faulted tells that bytes of the window vanished from
  // the source since they were taken in, and that the window holds zeros in
  // their place (a mapped file truncated meanwhile); null for a storage
  // whose bytes cannot vanish. The same for the storage's whole life, so
  // that a reader asks it once per line at the cost of a flag.
  const TMappedRegion* Guard() const { return Guard_; }
  // A storage better suited to a window that has grown far beyond a block
  // (it holds a long line): the same source with the same window, which
  // this storage hands over and may no longer serve. Null to keep this one.
  virtual std::unique_ptr<TSourceStorage> ForLongWindow() { return nullptr; }

 protected:
  TSourceStorage() = default;

  size_t Size_ = 0;                       // the window's bytes
  const TMappedRegion* Guard_ = nullptr;  // the mapping whose faults show in the window; null when none
};
