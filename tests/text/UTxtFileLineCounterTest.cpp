#include <gtest/gtest.h>

#include <random>

#include "support/TestSupport.h"
#include "text/UTxtFileLineCounter.h"
#include "util/UErrors.h"

namespace {

TCountLineResult CountText(const TTempDir& dir, const std::string& content, int64_t read_limit = 268435456,
                           size_t read_size = 4194304) {
  WriteFile(dir / "f", content);
  return TTxtFileLineCounter(dir / "f", read_limit, read_size).Count();
}

// A file of Size bytes whose first Limit bytes hold LineFeeds line feeds.
std::string WithLineFeeds(size_t size, size_t limit, size_t line_feeds) {
  std::string content(size, 'x');
  for (size_t i = 0; i < line_feeds; ++i) content[i * limit / line_feeds] = '\n';
  return content;
}

}  // namespace

TEST(TxtFileLineCounter, CountsWholeFilesWhateverTheReadSize) {
  struct {
    const char* name;
    std::string content;
    int64_t lines;
  } cases[] = {
      {"empty", "", 0},
      {"lone line feed", "\n", 1},
      {"last line without line feed", "a\nb", 2},
      {"last line with line feed", "a\nb\n", 2},
      {"one NUL byte", std::string(1, '\0'), 0},
      {"one letter", "x", 1},
      {"two letters", "xy", 1},
      {"CR alone ends no line", "a\rb\rc", 1},
      {"CR LF", "a\r\nb\r\n", 2},
      {"UTF-16 LE", std::string("a\0\n\0b\0\n\0", 8), 2},
      {"UTF-16 LE with mark",
       std::string("\xFF\xFE"
                   "a\0\n\0b\0\n\0",
                   10),
       2},
      {"UTF-16 LE without final line feed", std::string("a\0\n\0b\0", 6), 2},
      {"UTF-16 BE", std::string("\0a\0\n\0b\0\n", 8), 2},
      {"NUL after a letter is a last line", std::string("a\nb\0", 4), 2},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    // Small reads put the last bytes on every side of a read boundary.
    for (size_t read_size : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{4194304}}) {
      SCOPED_TRACE(std::string(c.name) + ", read size " + std::to_string(read_size));
      TCountLineResult result = CountText(dir, c.content, 268435456, read_size);
      EXPECT_EQ(result.LineCount, c.lines);
      EXPECT_FALSE(result.IsEstimated);
    }
  }
}

TEST(TxtFileLineCounter, CountLineFeedsMatchesAByteByByteCount) {
  // Bytes next to 0x0A in value or bit pattern would show a lane that leaks.
  const char alphabet[] = {'\n', '\x8A', '\x0B', '\x09', '\x00', '\xFF', '\x7F', '\x80', 'a'};
  std::mt19937 random(42);
  std::string data(4096, '\0');
  for (char& c : data) c = alphabet[random() % sizeof(alphabet)];
  for (size_t offset = 0; offset < 9; ++offset) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{2047}, data.size() - offset}) {
      int64_t expected = 0;
      for (size_t i = 0; i < size; ++i) expected += data[offset + i] == '\n';
      EXPECT_EQ(CountLineFeeds(data.data() + offset, size), expected) << "offset " << offset << " size " << size;
    }
  }
  // Every lane full for longer than a lane can count before it is folded.
  std::string all(64 * 300 + 5, '\n');
  EXPECT_EQ(CountLineFeeds(all.data(), all.size()), 64 * 300 + 5);
}

TEST(TxtFileLineCounter, EstimatesFilesAboveTheReadLimit) {
  struct {
    const char* name;
    size_t size, limit, line_feeds;
    int64_t lines;
  } cases[] = {
      {"twice the limit", 2000, 1000, 300, 600},
      {"half to even, down", 10, 4, 1, 2},                       // 2.5
      {"half to even, up", 10, 4, 3, 8},                         // 7.5
      {"thousands, half to even down", 5000, 2000, 1000, 2000},  // 2500
      {"thousands, half to even up", 5000, 2000, 1400, 4000},    // 3500
      {"thousands, nearest", 5000, 2000, 1100, 3000},            // 2750
      {"exactly 1000 is not rounded to thousands", 5000, 2000, 400, 1000},
      {"just above 1000", 4000, 2000, 501, 1000},  // 1002
      {"no line feed still one line", 3000, 1000, 0, 1},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TCountLineResult result =
        CountText(dir, WithLineFeeds(c.size, c.limit, c.line_feeds), static_cast<int64_t>(c.limit), 3);
    EXPECT_EQ(result.LineCount, c.lines);
    EXPECT_TRUE(result.IsEstimated);
  }
}

TEST(TxtFileLineCounter, ReadsNothingBeyondTheLimit) {
  TTempDir dir;
  std::string content = WithLineFeeds(1000, 1000, 300) + std::string(1000, '\n');
  TCountLineResult result = CountText(dir, content, 1000);
  EXPECT_EQ(result.LineCount, 600);
  EXPECT_TRUE(result.IsEstimated);
}

TEST(TxtFileLineCounter, FileOfExactlyTheLimitIsCountedInFull) {
  TTempDir dir;
  TCountLineResult result = CountText(dir, WithLineFeeds(1000, 1000, 300), 1000);
  EXPECT_EQ(result.LineCount, 301);  // The last byte is no line feed.
  EXPECT_FALSE(result.IsEstimated);
}

TEST(TxtFileLineCounter, RaisesWhenTheFileCannotBeOpened) {
  TTempDir dir;
  std::string missing = dir / "missing.txt";
  try {
    TTxtFileLineCounter(missing).Count();
    FAIL() << "no error for a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to open file \"" + missing + "\": No such file or directory");
  }
  EXPECT_THROW(TTxtFileLineCounter(dir.Path()).Count(), EFOpenError);
}
