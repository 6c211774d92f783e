#include "util/UPathUtils.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "util/UPieceName.h"
#include "util/UTextUtils.h"

std::string ExtensionOfName(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return std::string(name.substr(dot));
}

std::string_view FileNamePart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string FileExtension(std::string_view path) { return ExtensionOfName(FileNamePart(path)); }

std::string FileNameWithoutExtension(std::string_view path) {
  size_t sep = path.find_last_of("/\\");
  std::string name(sep == std::string_view::npos ? path : path.substr(sep + 1));
  std::string ext = ExtensionOfName(name);
  if (!ext.empty()) name.erase(name.find(ext), ext.size());
  return name;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
  // Greedy matching with one backtrack point: the last "*" seen.
  size_t n = 0, m = 0;
  size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && mask[m] == name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      star_n = n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

TMaskParts SplitMask(std::string_view mask) {
  size_t slash = mask.rfind('/');
  if (slash == std::string_view::npos) return {{}, std::string(mask)};
  std::string_view folder = mask.substr(0, slash);
  // The folder part always lies below the folder searched.
  while (!folder.empty() && folder.front() == '/') folder.remove_prefix(1);
  return {folder.empty() ? std::string() : WithTrailingSlash(folder), std::string(mask.substr(slash + 1))};
}

bool IsHiddenName(std::string_view name) { return name.size() >= 2 && name[0] == '.' && name[1] != '.'; }

std::string WithTrailingSlash(std::string_view folder) {
  std::string dir(folder);
  if (dir.empty() || dir.back() != '/') dir += '/';
  while (dir.size() >= 2 && dir.compare(dir.size() - 2, 2, "//") == 0) dir.pop_back();
  return dir;
}

bool IsSystemPath(std::string_view path) { return path.find('\0') == std::string_view::npos; }

bool FileExists(const std::string& path) {
  struct stat st;
  return IsSystemPath(path) && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return IsSystemPath(path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool GetFileIdentity(const std::string& path, TFileIdentity& identity) {
  struct stat st;
  if (!IsSystemPath(path) || stat(path.c_str(), &st) != 0) return false;
  identity = {st.st_dev, st.st_ino};
  return true;
}

bool GetEntryIdentity(const std::string& path, TFileIdentity& identity) {
  struct stat st;
  if (!IsSystemPath(path) || lstat(path.c_str(), &st) != 0) return false;
  identity = {st.st_dev, st.st_ino};
  return true;
}

std::vector<TFileIdentity> LinkChainIdentities(const std::string& path) {
  std::vector<TFileIdentity> chain;
  std::string entry = path;
  // The kernel's own bound on links followed in one lookup.
  constexpr int kMaxLinks = 40;
  for (int i = 0; i <= kMaxLinks && IsSystemPath(entry); ++i) {
    struct stat st;
    if (lstat(entry.c_str(), &st) != 0) break;
    chain.push_back({st.st_dev, st.st_ino});
    if (!S_ISLNK(st.st_mode)) break;
    char target[4096];
    ssize_t n = readlink(entry.c_str(), target, sizeof(target));
    if (n <= 0 || static_cast<size_t>(n) == sizeof(target)) break;
    std::string next(target, static_cast<size_t>(n));
    // A relative target is taken from the folder that holds the link.
    size_t slash = entry.rfind('/');
    if (next[0] != '/' && slash != std::string::npos) next.insert(0, entry, 0, slash + 1);
    entry = std::move(next);
  }
  return chain;
}

std::string RealPath(const std::string& path) {
  if (!IsSystemPath(path)) return {};
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string result(real);
  free(real);
  return result;
}

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  if (!IsSystemPath(folder)) return names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    names.emplace_back(name);
  }
  closedir(dir);
  return names;
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

std::string PartPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  std::string part;
  part.reserve(path.size() + 6);
  part.append(path, 0, name).append(".").append(path, name).append(".part");
  return part;
}

std::vector<std::string> EarlierPieces(const std::string& folder, const TPieceName& names) {
  std::vector<std::string> pieces;
  for (int64_t number = 1;; ++number) {
    std::string path = JoinPath(folder, names.Name(number));
    struct stat st;
    if (!IsSystemPath(path) || lstat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
      return pieces;
    pieces.push_back(std::move(path));
  }
}

std::vector<std::string> UnfinishedPieces(const std::string& folder, const TPieceName& names) {
  std::vector<std::string> parts;
  for (const std::string& name : ListFolder(folder))
    if (names.IsPartName(name)) parts.push_back(JoinPath(folder, name));
  return parts;
}

int64_t DeleteEntries(const std::vector<std::string>& paths) {
  int64_t deleted = 0;
  for (const std::string& path : paths) deleted += IsSystemPath(path) && unlink(path.c_str()) == 0;
  return deleted;
}

void ForceFolder(const std::string& path) {
  std::vector<std::string> parts;
  bool absolute = !path.empty() && path[0] == '/';
  SplitText(absolute ? std::string_view(path).substr(1) : std::string_view(path), "/", parts);
  if (absolute) parts[0] = "/" + parts[0];
  std::string prefix;
  for (size_t i = 0; i < parts.size(); ++i) {
    prefix = i == 0 ? parts[0] : prefix + "/" + parts[i];
    if (prefix.empty() || prefix == "/") continue;
    if (IsSystemPath(prefix) && !DirectoryExists(prefix)) mkdir(prefix.c_str(), 0777);
  }
}
