// Memory for the buffers a split streams through: blocks read, text
// decoded, text pending for a piece.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

struct TLargeBlockFree {
  void operator()(char* data) const { std::free(data); }
};
using TLargeBlock = std::unique_ptr<char[], TLargeBlockFree>;

// At least Size bytes, left uninitialised; Size is set to the room given.
// A block of 256 KiB or more lies on 2 MiB boundaries, rounded up to them,
// in transparent huge pages where the system has them: the first touch of
// fresh 4 KiB pages cost about 10 microseconds each on the machines we run
// on (40 ms for 4 MiB), the first touch of a huge page half a millisecond.
// From 256 KiB, so that a piece's pending text (a flush and a line, 320
// KiB) is one huge page too: its 80 small pages cost a 20 MiB split 5%.
// Raises std::bad_alloc when there is no memory.
TLargeBlock AllocateLargeBlock(size_t& size);
