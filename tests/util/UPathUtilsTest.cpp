#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "support/TestSupport.h"
#include "util/UPathUtils.h"

TEST(WildcardMatch, Table) {
  struct Case {
    const char *name, *mask;
    bool match;
  } cases[] = {
      {"a.txt", "*.txt", true},
      {".hidden.txt", "*.txt", true},
      {"a.txt.bak", "*.txt", false},
      {"a.TXT", "*.txt", false},
      {"README", "*.*", false},
      {"a.b", "*.*", true},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"", "*", true},
      {"anything", "*", true},
      {"a", "", false},
      {"x.tar.gzip", "*.t*z", false},
      {"x.tgz", "*.t*z", true},
      {"aaab", "*a*b", true},
      {"abcabd", "*abd", true},
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

TEST(FindFirstMatch, MaskWithAFolderPartLooksInThatFolderOfEachSearchedFolder) {
  TTempDir dir;
  WriteFile(dir / "in/a.txt", "a");
  WriteFile(dir / "in/x.d/sub.d/b.txt", "b");
  struct Case {
    const char* mask;
    bool include_subfolders;
    std::string found;
  } cases[] = {
      {"sub.d/*.txt", false, ""},
      {"sub.d/*.txt", true, dir / "in/x.d/sub.d/b.txt"},
      {"x.d/sub.d/*.txt", false, dir / "in/x.d/sub.d/b.txt"},
      {"x.d/*", false, ""},  // a folder is never a match
  };
  for (const Case& c : cases) EXPECT_EQ(FindFirstMatch(dir / "in", c.mask, c.include_subfolders), c.found) << c.mask;
  WriteFile(dir / "in/sub.d/c.txt", "c");
  EXPECT_EQ(FindFirstMatch(dir / "in", "sub.d/*.txt", true), dir / "in/sub.d/c.txt");
}

TEST(FindFirstMatch, TerminatesOnLinkCycle) {
  TTempDir dir;
  MakeDirs(dir / "in/a.d");
  ASSERT_EQ(symlink((dir / "in").c_str(), (dir / "in/a.d/loop.d").c_str()), 0);
  EXPECT_EQ(FindFirstMatch(dir / "in", "*.txt", true), "");
}

TEST(ClearFolder, DeletesOnlyEarlierPiecesDirectlyInTheFolder) {
  struct Case {
    const char* path;
    bool kept;
  } cases[] = {
      {"1.csv", false},  {"12.txt", false}, {"3.", false},         {"007.txt", false},    {"notes.txt", true},
      {".hidden", true}, {"7", true},       {"1.2.csv", true},     {"1.csv.bak", true},   {"a1.csv", true},
      {"1a.csv", true},  {".5", true},      {"sub.d/x.txt", true}, {"sub.d/2.txt", true}, {"4.d/5.txt", true},
  };
  TTempDir dir;
  for (const Case& c : cases) WriteFile(dir / ("out/" + std::string(c.path)), "x");
  ClearFolder(dir / "out");
  for (const Case& c : cases) EXPECT_EQ(PathExists(dir / ("out/" + std::string(c.path))), c.kept) << c.path;
  EXPECT_TRUE(DirectoryExists(dir / "out/4.d"));  // a folder of a piece's name stays
}

TEST(ClearFolder, DeletesLinksOfPieceNamesAsLinksAndLeavesLinksToFolders) {
  TTempDir dir;
  WriteFile(dir / "precious/keep.txt", "keep");
  WriteFile(dir / "target.txt", "t");
  MakeDirs(dir / "out");
  ASSERT_EQ(symlink((dir / "precious").c_str(), (dir / "out/link.d").c_str()), 0);
  ASSERT_EQ(symlink((dir / "precious").c_str(), (dir / "out/9.d").c_str()), 0);
  ASSERT_EQ(symlink((dir / "target.txt").c_str(), (dir / "out/8.txt").c_str()), 0);
  ASSERT_EQ(symlink((dir / "gone.txt").c_str(), (dir / "out/6.txt").c_str()), 0);
  ASSERT_EQ(symlink((dir / "target.txt").c_str(), (dir / "out/file.lnk").c_str()), 0);
  ClearFolder(dir / "out");
  EXPECT_EQ(ReadFile(dir / "precious/keep.txt"), "keep");
  EXPECT_EQ(ReadFile(dir / "target.txt"), "t");
  auto is_link = [&](const char* name) { return std::filesystem::is_symlink(dir / ("out/" + std::string(name))); };
  EXPECT_TRUE(is_link("link.d"));
  EXPECT_TRUE(is_link("9.d"));
  EXPECT_TRUE(is_link("file.lnk"));
  EXPECT_FALSE(is_link("8.txt"));
  EXPECT_FALSE(is_link("6.txt"));
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
