#include "util/UPathUtils.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "support/TestSupport.h"

TEST(WildcardMatch, Table) {
  struct Case {
    const char *name, *mask;
    bool match;
  } cases[] = {
      {"a.txt", "*.txt", true},     {".hidden.txt", "*.txt", true}, {"a.txt.bak", "*.txt", false},
      {"a.TXT", "*.txt", false},    {"README", "*.*", false},       {"a.b", "*.*", true},
      {"abc", "a?c", true},         {"ac", "a?c", false},           {"", "*", true},
      {"anything", "*", true},      {"a", "", false},               {"x.tar.gzip", "*.t*z", false},
      {"x.tgz", "*.t*z", true},     {"aaab", "*a*b", true},         {"abcabd", "*abd", true},
      {"report.csv", "report.csv", true},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " vs " << c.mask;
}

TEST(FileNames, WithoutExtensionAndExtension) {
  EXPECT_EQ(FileNameWithoutExtension("/in/sub/report.csv"), "report");
  EXPECT_EQ(FileNameWithoutExtension("a.txt.txt"), "a.txt");
  EXPECT_EQ(FileNameWithoutExtension("x.txtfoo.txt"), "xfoo.txt");
  EXPECT_EQ(FileNameWithoutExtension("README"), "README");
  EXPECT_EQ(FileNameWithoutExtension(".profile"), ".profile");
  EXPECT_EQ(FileNameWithoutExtension("c:\\dir\\a.b"), "a");
  EXPECT_EQ(FileExtension("/a/old.data/job"), "");
  EXPECT_EQ(FileExtension("/a/b/job.sft"), ".sft");
  EXPECT_EQ(FileExtension(".sft"), "");
  EXPECT_EQ(WithTrailingSlash("/data//"), "/data/");
  EXPECT_EQ(WithTrailingSlash("/data"), "/data/");
}

TEST(FindFirstMatch, SearchesFolderThenDottedSubfolders) {
  TTempDir dir;
  WriteFile(dir / "in/sub.d/x.txt", "x");
  WriteFile(dir / "in/plain/y.txt", "y");
  EXPECT_EQ(FindFirstMatch(dir / "in", "*.txt", false), "");
  EXPECT_EQ(FindFirstMatch(dir / "in//", "*.txt", true), dir / "in/sub.d/x.txt");
  WriteFile(dir / "in/top.txt", "t");
  EXPECT_EQ(FindFirstMatch(dir / "in", "*.txt", true), dir / "in/top.txt");
  EXPECT_EQ(FindFirstMatch(dir / "missing", "*", true), "");
}

TEST(FindFirstMatch, TerminatesOnLinkCycle) {
  TTempDir dir;
  MakeDirs(dir / "in/a.d");
  ASSERT_EQ(symlink((dir / "in").c_str(), (dir / "in/a.d/loop.d").c_str()), 0);
  EXPECT_EQ(FindFirstMatch(dir / "in", "*.txt", true), "");
}

TEST(ClearFolder, DeletesDottedFilesInDottedFoldersOnly) {
  TTempDir dir;
  WriteFile(dir / "out/1.txt", "");
  WriteFile(dir / "out/.hidden", "");
  WriteFile(dir / "out/3", "");
  WriteFile(dir / "out/sub.d/a.csv", "");
  WriteFile(dir / "out/sub.d/deep.e/b.csv", "");
  WriteFile(dir / "out/plain/c.csv", "");
  ClearFolder(dir / "out");
  EXPECT_FALSE(PathExists(dir / "out/1.txt"));
  EXPECT_FALSE(PathExists(dir / "out/.hidden"));
  EXPECT_FALSE(PathExists(dir / "out/sub.d/a.csv"));
  EXPECT_FALSE(PathExists(dir / "out/sub.d/deep.e/b.csv"));
  EXPECT_TRUE(PathExists(dir / "out/3"));
  EXPECT_TRUE(PathExists(dir / "out/plain/c.csv"));
  EXPECT_TRUE(PathExists(dir / "out/sub.d/deep.e"));
}

TEST(ClearFolder, NeverFollowsLinksToDirectories) {
  TTempDir dir;
  WriteFile(dir / "precious/keep.txt", "keep");
  MakeDirs(dir / "out");
  ASSERT_EQ(symlink((dir / "precious").c_str(), (dir / "out/link.d").c_str()), 0);
  WriteFile(dir / "target.txt", "t");
  ASSERT_EQ(symlink((dir / "target.txt").c_str(), (dir / "out/file.lnk").c_str()), 0);
  ClearFolder(dir / "out");
  EXPECT_EQ(ReadFile(dir / "precious/keep.txt"), "keep");
  EXPECT_TRUE(PathExists(dir / "out/link.d"));
  EXPECT_FALSE(PathExists(dir / "out/file.lnk"));  // the link goes, its target stays
  EXPECT_EQ(ReadFile(dir / "target.txt"), "t");
}

TEST(ForceFolder, CreatesEveryMissingParent) {
  TTempDir dir;
  ForceFolder(dir / "a/b/c");
  EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
  ForceFolder(dir / "a/b/c");  // existing folders are fine
  WriteFile(dir / "file", "");
  ForceFolder(dir / "file/x");  // failures are ignored
  EXPECT_FALSE(DirectoryExists(dir / "file/x"));
}
