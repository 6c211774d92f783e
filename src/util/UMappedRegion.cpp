#include "util/UMappedRegion.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The guard's table of mapped regions. The handler reads it; slots are only
// written outside the handler, and the program is single-threaded.
struct TGuardSlot {
  volatile uintptr_t Begin = 0;
  volatile uintptr_t End = 0;
  volatile sig_atomic_t Faulted = 0;
};
constexpr int kSlots = 16;
TGuardSlot Slots[kSlots];
struct sigaction PreviousAction;
bool HandlerInstalled = false;
// Taken before the handler is installed: sysconf may not be called from it.
uintptr_t PageSize = 4096;

void OnBusError(int signal, siginfo_t* info, void* context) {
  const int saved_errno = errno;  // the interrupted code may be reading it
  uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (TGuardSlot& slot : Slots) {
    if (slot.Begin == 0 || address < slot.Begin || address >= slot.End) continue;
    // Zero pages from the faulting page to the region's end: the read that
    // faulted goes on, and the owner sees Faulted before using the bytes.
    uintptr_t page = address & ~(PageSize - 1);
    mmap(reinterpret_cast<void*>(page), slot.End - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    slot.Faulted = 1;
    errno = saved_errno;
    return;
  }
  // Not ours: let the fault take its usual course when the access repeats.
  sigaction(SIGBUS, &PreviousAction, nullptr);
  errno = saved_errno;
  (void)signal;
  (void)context;
}

// The handler does only what a signal handler may: it reads the table and
// the page size, maps zero pages over the vanished ones (a plain system
// call) and, for a fault not its own, puts the previous action back.
void InstallHandler() {
  if (HandlerInstalled) return;
  PageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGBUS, &action, &PreviousAction) == 0) HandlerInstalled = true;
}

}  // namespace

bool TMappedRegion::Map(int fd, int64_t offset, size_t length) {
  Unmap();
  if (length == 0) return true;
  int slot = -1;
  for (int i = 0; i < kSlots && slot < 0; ++i)
    if (Slots[i].Begin == 0) slot = i;
  if (slot < 0) return false;
  InstallHandler();
  if (!HandlerInstalled) return false;
  const int64_t page = sysconf(_SC_PAGESIZE);
  const int64_t aligned = offset / page * page;
  const size_t skew = static_cast<size_t>(offset - aligned);
  void* base = mmap(nullptr, skew + length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, aligned);
  if (base == MAP_FAILED) return false;
  Base_ = base;
  Length_ = skew + length;
  Data_ = static_cast<const char*>(base) + skew;
  Size_ = length;
  Slot_ = slot;
  Slots[slot].Faulted = 0;
  FaultFlag_ = &Slots[slot].Faulted;
  Slots[slot].End = reinterpret_cast<uintptr_t>(base) + Length_;
  Slots[slot].Begin = reinterpret_cast<uintptr_t>(base);
  return true;
}

bool TMappedRegion::Extend(size_t length) {
  if (Base_ == nullptr) return false;
  if (length <= Size_) return true;
  const size_t grown = Length_ + (length - Size_);
  void* base = mremap(Base_, Length_, grown, MREMAP_MAYMOVE);
  if (base == MAP_FAILED) return false;
  // The guard covers no address while its bounds change; nothing reads
  // the mapping meanwhile.
  Slots[Slot_].Begin = 0;
  Slots[Slot_].End = reinterpret_cast<uintptr_t>(base) + grown;
  Slots[Slot_].Begin = reinterpret_cast<uintptr_t>(base);
  const size_t skew = static_cast<size_t>(Data_ - static_cast<const char*>(Base_));
  // From the page that held the old end (madvise takes whole pages).
  const size_t kept = Length_ / PageSize * PageSize;
  char* added = static_cast<char*>(base) + kept;
  const size_t added_length = grown - kept;
  Base_ = base;
  Length_ = grown;
  Data_ = static_cast<const char*>(base) + skew;
  Size_ = length;
  // As MAP_POPULATE does for a new mapping; kernels without it fault the
  // pages in on first reading.
  madvise(added, added_length, MADV_POPULATE_READ);
  return true;
}

void TMappedRegion::Unmap() {
  if (Slot_ >= 0) {
    Slots[Slot_].Begin = 0;
    Slots[Slot_].End = 0;
    Slots[Slot_].Faulted = 0;
    Slot_ = -1;
    FaultFlag_ = nullptr;
  }
  if (Base_ != nullptr) munmap(Base_, Length_);
  Base_ = nullptr;
  Length_ = 0;
  Data_ = nullptr;
  Size_ = 0;
}
