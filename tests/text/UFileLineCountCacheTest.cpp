#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestSupport.h"
#include "text/UFileLineCountCache.h"
#include "util/UErrors.h"

namespace {

class FileLineCountCache : public ::testing::Test {
 protected:
  void SetUp() override { TFileLineCountCache::StartUp(); }
  void TearDown() override { TFileLineCountCache::ShutDown(); }

  // Rewrites the file and gives it the modification time Seconds.
  void Rewrite(const std::string& path, const std::string& content, time_t seconds) {
    WriteFile(path, content);
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  TTempDir Dir;
};

}  // namespace

TEST_F(FileLineCountCache, RecountsOnlyWhenTheModificationTimeChanges) {
  std::string file = Dir / "a.txt";
  Rewrite(file, "1\n2\n", 1700000000);
  const TCountLineResult& first = TFileLineCountCache::GetLineCount(file);
  EXPECT_EQ(first.LineCount, 2);

  // Same time stamp: the cached result comes back, the file is not read.
  Rewrite(file, "1\n2\n3\n", 1700000000);
  EXPECT_EQ(&TFileLineCountCache::GetLineCount(file), &first);
  EXPECT_EQ(first.LineCount, 2);

  Rewrite(file, "1\n2\n3\n", 1700000100);
  EXPECT_EQ(TFileLineCountCache::GetLineCount(file).LineCount, 3);
}

TEST_F(FileLineCountCache, KeepsOneResultPerFile) {
  Rewrite(Dir / "a.txt", "1\n", 1700000000);
  Rewrite(Dir / "b.txt", "1\n2\n", 1700000000);
  const TCountLineResult& a = TFileLineCountCache::GetLineCount(Dir / "a.txt");
  const TCountLineResult& b = TFileLineCountCache::GetLineCount(Dir / "b.txt");
  EXPECT_EQ(a.LineCount, 1);
  EXPECT_EQ(b.LineCount, 2);
}

TEST_F(FileLineCountCache, FailedCountAddsNothing) {
  std::string missing = Dir / "missing.txt";
  EXPECT_THROW(TFileLineCountCache::GetLineCount(missing), EFOpenError);
  // A cached failure would return a result here instead of raising again.
  EXPECT_THROW(TFileLineCountCache::GetLineCount(missing), EFOpenError);
  WriteFile(missing, "x");
  EXPECT_EQ(TFileLineCountCache::GetLineCount(missing).LineCount, 1);
}

TEST_F(FileLineCountCache, PassesTheReadLimitToTheCounter) {
  Rewrite(Dir / "a.txt", "\n\n\n\n\n\n\n\n", 1700000000);
  const TCountLineResult& result = TFileLineCountCache::GetLineCount(Dir / "a.txt", 4);
  EXPECT_EQ(result.LineCount, 8);
  EXPECT_TRUE(result.IsEstimated);
}
