#include "util/UFdByteSource.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "util/UErrors.h"

TFdByteSource::TFdByteSource(int fd, std::string name) : Fd_(fd), Name_(std::move(name)) {}

size_t TFdByteSource::Read(char* data, size_t size) {
  for (;;) {
    const ssize_t got = ::read(Fd_, data, size);
    if (got >= 0) {
      Consumed_ += got;
      return static_cast<size_t>(got);
    }
    if (errno != EINTR) throw EReadError("Cannot read " + Name_ + ": " + SysErrorMessage(errno));
  }
}
