#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "support/TestSupport.h"
#include "util/UPathUtils.h"
#include "util/UPieceName.h"

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

// Only this split's earlier pieces go: the unbroken run of its own names
// from 1, directly in the folder, and the temporary names of any piece.
TEST(ClearEarlierPieces, DeletesTheUnbrokenRunOfThePiecesNamesOnly) {
  struct Case {
    std::vector<std::string> files;
    std::string source, names;
    std::vector<std::string> deleted;
  } cases[] = {
      {{"1.csv", "2.csv", "3.csv", "5.csv", "1.txt", "1", "01.csv", "notes.csv", "sub.d/4.csv"},
       "a.csv",
       "",
       {"1.csv", "2.csv", "3.csv"}},
      {{"2021.csv", "2022.csv", "2023.csv", "2024.csv"}, "a.csv", "", {}},
      {{"1", "2", "3.txt", "4"}, "a", "", {"1", "2"}},
      {{"1.csv/x", "2.csv"}, "a.csv", "", {}},  // a folder of the first name ends the run
      {{"1.csv.bak", "1.csv"}, "a.csv", "", {"1.csv"}},
      {{"001.csv", "002.csv", "1.csv", "004.csv"}, "a.csv", "{n:3}{ext}", {"001.csv", "002.csv"}},
      {{"a-1.csv", "a-2.csv", "1.csv", "b-3.csv"}, "in/a.csv", "{name}-{n}{ext}", {"a-1.csv", "a-2.csv"}},
      {{".3.csv.part", ".x.part", ".01.csv.part", "..1.csv.part", ".1.txt.part"}, "a.csv", "", {".3.csv.part"}},
      {{"p0009.csv", ".p0010.csv.part", ".p10.csv.part"}, "a.csv", "p{n:4}{ext}", {".p0010.csv.part"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files[0]);
    TTempDir dir;
    for (const std::string& file : c.files) WriteFile(dir / ("out/" + file), "x");
    const TPieceName names(c.names, c.source);
    std::vector<std::string> paths = EarlierPieces(dir / "out", names);
    for (const std::string& part : UnfinishedPieces(dir / "out", names)) paths.push_back(part);
    EXPECT_EQ(DeleteEntries(paths), static_cast<int64_t>(c.deleted.size()));
    for (const std::string& file : c.files) {
      const bool deleted = std::find(c.deleted.begin(), c.deleted.end(), file) != c.deleted.end();
      EXPECT_EQ(PathExists(dir / ("out/" + file)), !deleted) << file;
    }
  }
}

TEST(ClearEarlierPieces, DeletesLinksAsLinks) {
  TTempDir dir;
  WriteFile(dir / "precious/keep.txt", "keep");
  WriteFile(dir / "target.txt", "t");
  MakeDirs(dir / "out");
  ASSERT_EQ(symlink((dir / "target.txt").c_str(), (dir / "out/1.txt").c_str()), 0);
  ASSERT_EQ(symlink((dir / "precious").c_str(), (dir / "out/2.txt").c_str()), 0);
  ASSERT_EQ(symlink((dir / "gone.txt").c_str(), (dir / "out/3.txt").c_str()), 0);
  ASSERT_EQ(symlink((dir / "target.txt").c_str(), (dir / "out/5.txt").c_str()), 0);
  EXPECT_EQ(DeleteEntries(EarlierPieces(dir / "out", TPieceName("", "a.txt"))), 3);
  EXPECT_EQ(ReadFile(dir / "precious/keep.txt"), "keep");
  EXPECT_EQ(ReadFile(dir / "target.txt"), "t");
  EXPECT_EQ(ListFolder(dir / "out"), std::vector<std::string>{"5.txt"});
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
