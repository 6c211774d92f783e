// A file descriptor read front to back: standard input, a pipe or a file.
#pragma once

#include <string>

#include "util/UByteSource.h"

class TFdByteSource final : public TByteSource {
 public:
  // Reads Fd, which the caller keeps open and closes; Name says in errors
  // what it is ("standard input", a path).
  TFdByteSource(int fd, std::string name);

  size_t Read(char* data, size_t size) override;
  int64_t BytesConsumed() const override { return Consumed_; }

 private:
  int Fd_;            // open for reading; not owned
  std::string Name_;  // how errors name the source
  int64_t Consumed_ = 0;
};
