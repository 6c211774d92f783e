#include "execution/UFolderScanner.h"

#include <sys/stat.h>

#include <algorithm>

#include "util/UPathUtils.h"
#include "util/UTextUtils.h"

namespace {

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

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
  MaskExtension_ = ExtensionOfName(Mask);
  Visited_.clear();
  std::vector<TFound> found;
  ScanFolder(Folder, found);
  Visited_.clear();

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

  std::vector<std::string> names = ListFolder(dir);
  for (const std::string& name : names) {
    if (!MatchesMask(name, Mask) || !FileExists(dir + name)) continue;
    if (name.find("DS_Store") != std::string::npos) continue;  // Finder metadata, never a source.
    if (!ExtensionMatches(name)) continue;
    int32_t number = 0;
    AllNumeric_ = AllNumeric_ && NumericName(name, number);
    found.push_back({dir + name, number});
  }
  if (!IncludeSubfolders) return;
  for (const std::string& name : names) {
    if (!MatchesMask(name, "*.*") || IsHiddenName(name) || !DirectoryExists(dir + name)) continue;
    ScanFolder(dir + name + "/", found);
  }
}
