// A read-only memory mapping of part of a file, guarded against the file
// shrinking while it is mapped.
//
// Reading a mapped page that a truncation has removed raises SIGBUS, which
// would end the process. While a region is mapped, a SIGBUS handler replaces
// such pages by zero pages and marks the region as faulted; its reader checks
// Faulted() and reports a read error instead of using the zeros. Faults at
// other addresses keep their usual effect.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstddef>
#include <cstdint>

class TMappedRegion {
 public:
  TMappedRegion() = default;
  TMappedRegion(const TMappedRegion&) = delete;
  TMappedRegion& operator=(const TMappedRegion&) = delete;
  ~TMappedRegion() { Unmap(); }

  // Maps Length bytes of the open file Fd from Offset (any offset), replacing
  // an earlier mapping; false when the file cannot be mapped (the caller then
  // reads it instead). Length 0 maps nothing and succeeds.
  bool Map(int fd, int64_t offset, size_t length);
  // Grows the mapping to Length bytes from the same offset, keeping the
  // pages it holds mapped (the region may move: Data changes); false when
  // it cannot grow, the mapping then being as it was. A window that keeps
  // growing over a long line thus costs time linear in its size.
  bool Extend(size_t length);
  void Unmap();

  const char* Data() const { return Data_; }
  size_t Size() const { return Size_; }
  // A page of the region vanished since it was mapped; its bytes read as zeros.
  // Read once per line: inline, from the guard's own flag.
  bool Faulted() const { return FaultFlag_ != nullptr && *FaultFlag_ != 0; }

 private:
  void* Base_ = nullptr;  // page-aligned start of the mapping
  size_t Length_ = 0;     // length of the mapping
  const char* Data_ = nullptr;
  size_t Size_ = 0;
  int Slot_ = -1;                                     // entry in the guard's table
  const volatile sig_atomic_t* FaultFlag_ = nullptr;  // that entry's flag
};
