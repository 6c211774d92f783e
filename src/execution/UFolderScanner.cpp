#include "execution/UFolderScanner.h"

#include <sys/stat.h>

#include <algorithm>

#include "util/UPathUtils.h"
#include "util/UTextUtils.h"

namespace {

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// Path is Folder or lies in it; both are real paths, and an empty one is no folder.
bool IsInFolder(const std::string& path, const std::string& folder) {
  return !folder.empty() && !path.empty() && (path == folder || path.starts_with(WithTrailingSlash(folder)));
}

// A name is numeric when what is left without its extension is a 32-bit
// whole number, optionally signed.
bool NumericName(const std::string& name, int32_t& number) {
  return TryParseInt32(FileNameWithoutExtension(name), number);
}

}  // namespace

void TFolderScanner::Clear() { Files_.clear(); }

void TFolderScanner::Scan() {
  AllNumeric_ = true;
  // An empty Folder would otherwise mean the root folder.
  if (Folder.empty() || Mask.empty()) return;
  MaskParts_ = SplitMask(Mask);
  MaskExtension_ = ExtensionOfName(MaskParts_.Name);
  DestinationPath_ = Destination.empty() ? std::string() : RealPath(Destination);
  FolderInDestination_ = IsInFolder(RealPath(Folder), DestinationPath_);
  Visited_.clear();
  Listed_.clear();
  std::vector<TFound> found;
  ScanFolder(Folder, found);
  Visited_.clear();
  Listed_.clear();

  if (AllNumeric_ && found.size() >= 2)
    std::stable_sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) { return a.Number < b.Number; });
  for (TFound& file : found) Files_.push_back(std::move(file.Path));
}

bool TFolderScanner::ExtensionMatches(const std::string& name) const {
  if (MaskExtension_ == ".*") return true;
  std::string extension = ExtensionOfName(name);
  // A wildcard in the mask's extension (*.tx?) matches extensions alike.
  return HasWildcard(MaskExtension_) ? MatchesMask(extension, MaskExtension_) : extension == MaskExtension_;
}

void TFolderScanner::ScanFolder(const std::string& folder, std::vector<TFound>& found) {
  std::string dir = WithTrailingSlash(folder);
  struct stat st;
  if (!IsSystemPath(dir) || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  // A directory reached again through a link was scanned already.
  if (!Visited_.insert({st.st_dev, st.st_ino}).second) return;

  const std::vector<std::string> names = ListFolder(dir);
  if (MaskParts_.Folder.empty())
    ListMatches(dir, names, found);
  else
    ListMatchesBelow(dir + MaskParts_.Folder, found);
  if (!IncludeSubfolders) return;
  for (const std::string& name : names) {
    if (IsHiddenName(name) || !DirectoryExists(dir + name) || IsExcluded(dir + name)) continue;
    ScanFolder(dir + name + "/", found);
  }
}

bool TFolderScanner::IsExcluded(const std::string& dir) const {
  const std::string path = RealPath(dir);
  if (!IsInFolder(path, DestinationPath_)) return false;
  if (!FolderInDestination_) return true;
  // The first folder below the destination on the way to Dir.
  const std::string_view below = std::string_view(path).substr(WithTrailingSlash(DestinationPath_).size());
  return below.substr(0, below.find('/')).ends_with(kPieceFolderSuffix);
}

void TFolderScanner::ListMatchesBelow(const std::string& folder, std::vector<TFound>& found) {
  struct stat st;
  if (!IsSystemPath(folder) || stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  // Scanned folders linked to one another may lead to the same folder.
  if (!Listed_.insert({st.st_dev, st.st_ino}).second) return;
  ListMatches(folder, ListFolder(folder), found);
}

void TFolderScanner::ListMatches(const std::string& dir, const std::vector<std::string>& names,
                                 std::vector<TFound>& found) {
  for (const std::string& name : names) {
    if (!MatchesMask(name, MaskParts_.Name) || !FileExists(dir + name)) continue;
    if (name.find("DS_Store") != std::string::npos) continue;  // Finder metadata, never a source.
    if (!ExtensionMatches(name)) continue;
    int32_t number = 0;
    AllNumeric_ = AllNumeric_ && NumericName(name, number);
    found.push_back({dir + name, number});
  }
}
