#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/TestSupport.h"
#include "text/UBlockTextReader.h"
#include "util/UErrors.h"
#include "util/UMappedRegion.h"

TEST(MappedRegion, TruncatedPagesReadAsZerosAndAreReported) {
  TTempDir dir;
  std::string content(3 * 4096 + 100, 'x');
  WriteFile(dir / "f", content);
  int fd = open((dir / "f").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  TMappedRegion region;
  ASSERT_TRUE(region.Map(fd, 4096 + 10, 2 * 4096));
  EXPECT_EQ(region.Data()[0], 'x');
  EXPECT_FALSE(region.Faulted());
  ASSERT_EQ(truncate((dir / "f").c_str(), 4096), 0);
  // The vanished page would end the process without the guard.
  volatile char c = region.Data()[5000];
  EXPECT_EQ(c, 0);
  EXPECT_TRUE(region.Faulted());
  region.Unmap();
  close(fd);
}

TEST(MappedRegion, ReaderReportsASourceThatShrinksWhileMapped) {
  TTempDir dir;
  // A line longer than a read window makes the reader map the source.
  std::string content = "line " + std::string(9 << 20, 'L') + "\n";
  for (int i = 0; i < 20000; ++i) content += "line " + std::to_string(i) + "\n";
  WriteFile(dir / "src.txt", content);
  TBlockTextReader reader(64 * 1024, 0);
  reader.Open(dir / "src.txt");
  reader.SetEncodingName("UTF-8");
  reader.Next();
  ASSERT_TRUE(reader.IsMapped());
  EXPECT_EQ(reader.CurrentLine().substr(0, 6), "line L");
  ASSERT_EQ(truncate((dir / "src.txt").c_str(), 100), 0);
  EXPECT_THROW(
      {
        while (reader.HasNext()) {
          reader.Next();
          // Whatever came out before the failure is a real line of the source.
          ASSERT_EQ(reader.CurrentLine().substr(0, 5), "line ");
        }
      },
      EReadError);
}

TEST(MappedRegion, ExtendedRegionKeepsItsBytesAndItsGuard) {
  TTempDir dir;
  std::string content;
  for (int i = 0; i < 4 * 4096; ++i) content += static_cast<char>('a' + i % 26);
  WriteFile(dir / "f", content);
  int fd = open((dir / "f").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  TMappedRegion region;
  ASSERT_TRUE(region.Map(fd, 10, 100));
  ASSERT_TRUE(region.Extend(3 * 4096));
  EXPECT_EQ(std::string(region.Data(), region.Size()), content.substr(10, 3 * 4096));
  ASSERT_EQ(truncate((dir / "f").c_str(), 4096), 0);
  volatile char c = region.Data()[2 * 4096];
  EXPECT_EQ(c, 0);
  EXPECT_TRUE(region.Faulted());
  region.Unmap();
  close(fd);
}

// A line longer than the spans a large source is mapped in grows one
// mapping in place and comes out whole.
TEST(MappedRegion, ReaderHandsOutALineLongerThanItsMappingSpans) {
  TTempDir dir;
  const std::string line(20 << 20, 'L');
  WriteFile(dir / "src.txt", "a\n" + line + "\r\nb");
  TBlockTextReader reader(1 << 20, 0);
  reader.Open(dir / "src.txt");
  reader.SetEncodingName("UTF-8");
  std::vector<std::string> lines;
  while (reader.HasNext()) {
    reader.Next();
    lines.emplace_back(reader.CurrentLine());
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"a", line, "b"}));
  EXPECT_TRUE(reader.IsMapped());
}
