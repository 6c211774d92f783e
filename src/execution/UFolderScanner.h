// Lists the source files of a batch: the files of a folder whose names match
// a wildcard mask, optionally those of its subfolders too, in numeric order
// when every listed name is a number.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "util/UPathUtils.h"

// A batch splits each file into the folder of its name with this appended.
inline constexpr char kPieceFolderSuffix[] = "_split";

class TFolderScanner {
 public:
  // Empties the list of files.
  void Clear();

  // Appends to Files the full path (folder + "/" + name) of every file (not
  // a directory, links followed) of Folder whose name matches Mask and whose
  // extension matches the mask's, skipping names that contain "DS_Store".
  // A mask with a folder part ("sub.d/*.txt") lists that folder of each
  // scanned folder instead, under paths such as folder + "/sub.d/a.txt".
  // With IncludeSubfolders, the subfolders that are not hidden are scanned
  // too, depth first, each directory at most once, so that symbolic-link
  // cycles end; the batch's own piece folders are not (see Destination). When every file this scan listed has a numeric
  // name and there are at least two, they are put in numeric order (equal
  // numbers keep the order found). An empty Folder or Mask lists nothing; a
  // folder that cannot be read contributes nothing. Never raises for the
  // file system.
  void Scan();

  const std::vector<std::string>& Files() const { return Files_; }
  // Every file the last Scan listed has a numeric name.
  bool AllNumeric() const { return AllNumeric_; }

  std::string Folder;
  std::string Mask;
  bool IncludeSubfolders = false;
  // The batch's destination, so that it never splits its own pieces: the
  // subfolder scan leaves it out with everything in it, however reached.
  // When Folder itself lies in it, only its piece folders are left out: the
  // folders directly in it whose names end in kPieceFolderSuffix.
  std::string Destination;

 private:
  struct TFound {
    std::string Path;
    int32_t Number;  // Meaningful while every name found is numeric.
  };

  void ScanFolder(const std::string& folder, std::vector<TFound>& found);
  // Dir ends with "/"; Names are its entries.
  void ListMatches(const std::string& dir, const std::vector<std::string>& names, std::vector<TFound>& found);
  void ListMatchesBelow(const std::string& folder, std::vector<TFound>& found);
  bool ExtensionMatches(const std::string& name) const;
  // Dir holds pieces of the batch (see Destination).
  bool IsExcluded(const std::string& dir) const;

  std::vector<std::string> Files_;
  bool AllNumeric_ = false;
  // State of the running scan.
  TMaskParts MaskParts_;
  std::string MaskExtension_;
  std::string DestinationPath_;  // Destination with every link resolved; empty when it does not exist
  bool FolderInDestination_ = false;
  std::set<std::pair<dev_t, ino_t>> Visited_;
  // The folders listed by a mask with a folder part, each at most once.
  std::set<std::pair<dev_t, ino_t>> Listed_;
};
