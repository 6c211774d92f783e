// Counting the lines of a file before it is split, fast and without decoding:
// line feeds are counted in the raw bytes, so UTF-8, single-byte code pages
// and UTF-16 in either byte order all count alike. Files above the read limit
// are read only up to the limit and their count is extrapolated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TCountLineResult {
  int64_t LineCount = 0;
  // True when only the first ReadLimit bytes were read and LineCount was extrapolated.
  bool IsEstimated = false;
};

// Number of 0x0A bytes in Data[0, Size).
int64_t CountLineFeeds(const char* data, size_t size);

class TTxtFileLineCounter {
 public:
  static constexpr int64_t DefaultReadLimit = 268435456;  // 256 MiB
  static constexpr size_t DefaultReadSize = 4194304;      // 4 MiB

  // ReadLimit and ReadSize exist so that tests can exercise the estimate and
  // the read boundaries on small files.
  explicit TTxtFileLineCounter(std::string file_name, int64_t read_limit = DefaultReadLimit,
                               size_t read_size = DefaultReadSize);

  // Counts the file's lines. A file no larger than ReadLimit is read whole:
  // its line feeds are counted, plus one for a last line without a line feed
  // (a file ending in 0A 00, a UTF-16 LE line feed, has none). A larger file
  // is read up to ReadLimit and the count scaled by size / ReadLimit, rounded
  // half to even, to whole thousands above 1000, and at least 1.
  //
  // A file that ends before the size it had when opened (truncated while
  // being counted) is counted as what was read, as a whole file: the result
  // is then not an estimate. Bytes appended while counting are not counted.
  //
  // Raises EFOpenError ("Unable to open file ...") when the file cannot be
  // opened or is a directory, EReadError when a read fails.
  TCountLineResult Count();

 private:
  std::string FileName_;
  int64_t ReadLimit_;
  size_t ReadSize_;
};
