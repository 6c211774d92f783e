#include "text/UTxtFileLineCounter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "text/simd/UKernels.h"
#include "util/UErrors.h"
#include "util/UFileStream.h"
#include "util/UMappedRegion.h"

namespace {

// Rounds half to even, as the default floating-point rounding mode does.
int64_t RoundHalfEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

// Scales an estimate, or counts a last line without a line feed: LineCount
// holds the line feeds of the first Limit bytes of a file of Size bytes,
// Before and Last the last two bytes read.
void SettleCount(TCountLineResult& result, int64_t size, int64_t limit, unsigned char before, unsigned char last) {
  if (result.IsEstimated) {
    double estimate = static_cast<double>(result.LineCount) * (static_cast<double>(size) / static_cast<double>(limit));
    result.LineCount = estimate > 1000 ? RoundHalfEven(estimate / 1000) * 1000 : RoundHalfEven(estimate);
    if (result.LineCount == 0 && size > 0) result.LineCount = 1;
  } else if (size == 1) {
    // A lone NUL byte is no line.
    if (last != 0x0A && last != 0x00) ++result.LineCount;
  } else if (size >= 2) {
    // A last line without line feed counts; 0A 00 is a UTF-16 LE line feed.
    bool ends_with_line_feed = last == 0x0A || (before == 0x0A && last == 0x00);
    if (!ends_with_line_feed) ++result.LineCount;
  }
}

}  // namespace

int64_t CountLineFeeds(const char* data, size_t size) { return TKernels::CountLineFeeds(data, size); }

TTxtFileLineCounter::TTxtFileLineCounter(std::string file_name, int64_t read_limit, size_t read_size)
    : FileName_(std::move(file_name)),
      ReadLimit_(std::max<int64_t>(read_limit, 1)),
      ReadSize_(std::max<size_t>(read_size, 1)) {}

TCountLineResult TTxtFileLineCounter::Count() {
  TFileStream file = TFileStream::OpenRead(FileName_);
  struct stat st;
  if (::fstat(file.Fd(), &st) != 0) throw EFOpenError(FileName_, SysErrorMessage(errno));
  // A directory opens for reading on Linux but cannot be read.
  if (S_ISDIR(st.st_mode)) throw EFOpenError(FileName_, SysErrorMessage(EISDIR));

  TCountLineResult result;
  int64_t size = st.st_size;
  int64_t limit = ReadLimit_;
  result.IsEstimated = size > limit;
  if (!result.IsEstimated) limit = size;

  std::vector<char> buffer;
  TMappedRegion region;
  int64_t position = 0;
  unsigned char last = 0, before = 0;
  while (position < limit) {
    size_t wanted = static_cast<size_t>(std::min<int64_t>(limit - position, static_cast<int64_t>(ReadSize_)));
    const char* data = nullptr;
    size_t got = 0;
    // Counting a mapped piece spares copying it out of the page cache; a
    // piece that a truncation removed meanwhile is read instead, which then
    // falls short as a read of a shrunk file does.
    if (file.Size() >= position + static_cast<int64_t>(wanted) && region.Map(file.Fd(), position, wanted)) {
      int64_t count = CountLineFeeds(region.Data(), wanted);
      if (!region.Faulted()) {
        result.LineCount += count;
        data = region.Data();
        got = wanted;
      }
    }
    if (data == nullptr) {
      region.Unmap();
      if (buffer.size() < wanted) buffer.resize(wanted);
      file.Seek(position);
      got = file.ReadSome(buffer.data(), wanted);
      if (got == 0) break;  // The file became shorter since it was opened.
      data = buffer.data();
      result.LineCount += CountLineFeeds(data, got);
    }
    before = got >= 2 ? static_cast<unsigned char>(data[got - 2]) : last;
    last = static_cast<unsigned char>(data[got - 1]);
    position += static_cast<int64_t>(got);
  }
  region.Unmap();
  file.Close();

  if (position < limit) {
    // Truncated while counted: what was read is the whole file now.
    result.IsEstimated = false;
    size = position;
  }

  SettleCount(result, size, limit, before, last);
  return result;
}
