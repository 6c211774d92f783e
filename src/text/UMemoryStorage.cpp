#include "text/UMemoryStorage.h"

TMemoryStorage::TMemoryStorage(TFileStream file, int64_t file_size) : TFileStorage(std::move(file), file_size) {
  Copy_ = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(FileSize_) + 1);
  File_.ReadExact(Copy_.get(), static_cast<size_t>(FileSize_));
  FailIfShrunk(FileSize_);
}
