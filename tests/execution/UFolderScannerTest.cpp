#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "execution/UFolderScanner.h"
#include "support/TestSupport.h"
#include "util/UPathUtils.h"

namespace {

std::vector<std::string> Scan(const std::string& folder, const std::string& mask, bool include_subfolders = false) {
  TFolderScanner scanner;
  scanner.Folder = folder;
  scanner.Mask = mask;
  scanner.IncludeSubfolders = include_subfolders;
  scanner.Scan();
  return scanner.Files();
}

std::vector<std::string> Sorted(std::vector<std::string> files) {
  std::sort(files.begin(), files.end());
  return files;
}

// Full paths of Names in Folder, in the order the file system lists them.
std::vector<std::string> InListingOrder(const std::string& folder, std::vector<std::string> names) {
  std::vector<std::string> paths;
  for (const std::string& entry : ListFolder(folder))
    if (std::find(names.begin(), names.end(), entry) != names.end()) paths.push_back(folder + "/" + entry);
  return paths;
}

}  // namespace

TEST(FolderScanner, SelectsNamesByMaskAndExtension) {
  TTempDir dir;
  for (const char* name : {"a.txt", ".hidden.txt", "a.txt.bak", "a.TXT", "README", ".profile", ".DS_Store",
                           "notes_DS_Store.txt", "b.tx", "c.tex", "d.cpp", "e.c"})
    WriteFile(dir / name, "x");
  MakeDirs(dir / "sub.txt");  // A folder is never listed as a file.
  ASSERT_EQ(symlink((dir / "a.txt").c_str(), (dir / "link.txt").c_str()), 0);
  ASSERT_EQ(symlink((dir / "gone").c_str(), (dir / "broken.txt").c_str()), 0);

  struct {
    const char* mask;
    std::vector<std::string> names;
  } cases[] = {
      {"*.txt", {".hidden.txt", "a.txt", "link.txt"}},
      {"*", {".profile", "README"}},
      {"*.*", {".hidden.txt", ".profile", "a.TXT", "a.txt", "a.txt.bak", "b.tx", "c.tex", "d.cpp", "e.c", "link.txt"}},
      {"a.*", {"a.TXT", "a.txt", "a.txt.bak"}},
      {"*.tx?", {".hidden.txt", "a.txt", "link.txt"}},
      {"*.c*", {"d.cpp", "e.c"}},
      {"README", {"README"}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    std::vector<std::string> expected;
    for (const std::string& name : c.names) expected.push_back(dir / name);
    EXPECT_EQ(Sorted(Scan(dir.Path(), c.mask)), expected);
  }
}

TEST(FolderScanner, PathsHaveOneSlashWhateverTheFolderSpelling) {
  TTempDir dir;
  WriteFile(dir / "a.txt", "x");
  for (const std::string& folder : {dir.Path(), dir.Path() + "/", dir.Path() + "//"}) {
    EXPECT_EQ(Scan(folder, "*.txt"), std::vector<std::string>{dir / "a.txt"}) << folder;
  }
}

TEST(FolderScanner, NothingForAMissingOrEmptyFolder) {
  TTempDir dir;
  EXPECT_TRUE(Scan(dir / "missing", "*.*", true).empty());
  EXPECT_TRUE(Scan("", "*.*", true).empty());
}

TEST(FolderScanner, NumericNamesAreListedInNumericOrder) {
  TTempDir dir;
  for (const char* name : {"10.txt", "9.txt", "1.txt", "-3.txt", "+2.txt"})
    WriteFile(dir / ("n/" + std::string(name)), "x");
  EXPECT_EQ(Scan(dir / "n", "*.txt"), (std::vector<std::string>{dir / "n/-3.txt", dir / "n/1.txt", dir / "n/+2.txt",
                                                                dir / "n/9.txt", dir / "n/10.txt"}));

  // One name that is no 32-bit whole number keeps the listing order.
  for (const char* odd : {"b.txt", "10.5.txt", "a10.txt", "3000000000.txt"}) {
    SCOPED_TRACE(odd);
    TTempDir mixed;
    for (const char* name : {"10.txt", "9.txt", odd}) WriteFile(mixed / name, "x");
    TFolderScanner scanner;
    scanner.Folder = mixed.Path();
    scanner.Mask = "*.txt";
    scanner.Scan();
    EXPECT_FALSE(scanner.AllNumeric());
    EXPECT_EQ(scanner.Files(), InListingOrder(mixed.Path(), {"10.txt", "9.txt", odd}));
  }
}

TEST(FolderScanner, NumericSubfolderBesideOtherNamesStaysUnsorted) {
  TTempDir dir;
  WriteFile(dir / "top.txt", "x");
  for (const char* name : {"10.txt", "9.txt", "1.txt"}) WriteFile(dir / ("sub.d/" + std::string(name)), "x");
  std::vector<std::string> expected{dir / "top.txt"};
  for (const std::string& path : InListingOrder(dir / "sub.d", {"10.txt", "9.txt", "1.txt"})) expected.push_back(path);
  EXPECT_EQ(Scan(dir.Path(), "*.txt", true), expected);
}

TEST(FolderScanner, DescendsIntoEveryVisibleSubfolder) {
  TTempDir dir;
  for (const char* path : {"top.txt", "archive.2020/a.txt", "archive.2020/deep.d/b.txt", "archive/c.txt",
                           ".cache/d.txt", ".cache.d/e.txt", "plain.d/none/f.txt"})
    WriteFile(dir / path, "x");
  std::vector<std::string> files = Scan(dir.Path(), "*.txt", true);
  EXPECT_EQ(Sorted(files),
            (std::vector<std::string>{dir / "archive.2020/a.txt", dir / "archive.2020/deep.d/b.txt",
                                      dir / "archive/c.txt", dir / "plain.d/none/f.txt", dir / "top.txt"}));
  // The folder's own files come first, then each subfolder's, depth first.
  EXPECT_EQ(files.front(), dir / "top.txt");
  EXPECT_EQ(Scan(dir.Path(), "*.txt", false), std::vector<std::string>{dir / "top.txt"});
}

TEST(FolderScanner, LinkCyclesEndAndNoFolderIsScannedTwice) {
  TTempDir dir;
  WriteFile(dir / "in/a.txt", "x");
  WriteFile(dir / "in/sub.d/b.txt", "x");
  WriteFile(dir / "other/c.txt", "x");
  ASSERT_EQ(symlink((dir / "in").c_str(), (dir / "in/sub.d/back.d").c_str()), 0);
  ASSERT_EQ(symlink((dir / "other").c_str(), (dir / "in/one.d").c_str()), 0);
  ASSERT_EQ(symlink((dir / "other").c_str(), (dir / "in/two.d").c_str()), 0);
  std::vector<std::string> files = Scan(dir / "in", "*.txt", true);
  std::vector<std::string> names;
  for (const std::string& path : files) names.push_back(std::string(FileNamePart(path)));
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

TEST(FolderScanner, MaskWithAFolderPartListsThatFolderOfEachScannedFolder) {
  TTempDir dir;
  for (const char* path : {"top.txt", "sub.d/a.txt", "sub.d/a.csv", "sub.d/README", "arch.d/c.txt",
                           "arch.d/sub.d/b.txt", "arch.d/sub.d/deep.d/d.txt"})
    WriteFile(dir / path, "x");
  MakeDirs(dir / "sub.d/f.txt");  // still no file
  struct {
    const char* mask;
    bool include_subfolders;
    std::vector<std::string> paths;
  } cases[] = {
      {"sub.d/*.txt", false, {"sub.d/a.txt"}},
      {"sub.d/*.txt", true, {"arch.d/sub.d/b.txt", "sub.d/a.txt"}},
      {"/sub.d//*.txt", false, {"sub.d/a.txt"}},
      {"sub.d/*", false, {"sub.d/README"}},  // the mask's extension is its name's
      {"arch.d/sub.d/*.*", false, {"arch.d/sub.d/b.txt"}},
      {"missing.d/*.txt", true, {}},
      {"sub.d/", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    std::vector<std::string> expected;
    for (const std::string& path : c.paths) expected.push_back(dir / path);
    EXPECT_EQ(Sorted(Scan(dir.Path(), c.mask, c.include_subfolders)), expected);
  }
}

// A batch never splits its own pieces: its destination is left out with all
// it holds, however reached; when the destination holds the folder scanned,
// only its piece folders are.
TEST(FolderScanner, LeavesOutTheDestination) {
  TTempDir dir;
  for (const char* path : {"in/a.txt", "in/out/a_split/1.txt", "in/out/b.txt", "in/sub/c.txt", "in/a_split/1.txt"})
    WriteFile(dir / path, "x");
  ASSERT_EQ(symlink((dir / "in/out").c_str(), (dir / "in/sub/out.lnk").c_str()), 0);
  const struct {
    std::string destination;
    std::vector<std::string> paths;
  } cases[] = {
      {dir / "in/out", {"in/a.txt", "in/a_split/1.txt", "in/sub/c.txt"}},
      {dir / "in/sub/out.lnk/", {"in/a.txt", "in/a_split/1.txt", "in/sub/c.txt"}},
      {dir / "in", {"in/a.txt", "in/out/a_split/1.txt", "in/out/b.txt", "in/sub/c.txt"}},
      {dir.Path(), {"in/a.txt", "in/a_split/1.txt", "in/out/a_split/1.txt", "in/out/b.txt", "in/sub/c.txt"}},
      {dir / "missing", {"in/a.txt", "in/a_split/1.txt", "in/out/a_split/1.txt", "in/out/b.txt", "in/sub/c.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.destination);
    TFolderScanner scanner;
    scanner.Folder = dir / "in";
    scanner.Mask = "*.txt";
    scanner.IncludeSubfolders = true;
    scanner.Destination = c.destination;
    scanner.Scan();
    std::vector<std::string> expected;
    for (const std::string& path : c.paths) expected.push_back(dir / path);
    EXPECT_EQ(Sorted(scanner.Files()), expected);
  }
}
