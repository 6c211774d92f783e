// File-name, wildcard and folder operations shared across the system. Paths
// use "/" as separator; names are compared case-sensitively.
#pragma once

#include <sys/types.h>

#include <compare>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The extension of a bare file name: from its last dot to the end, dot
// included; empty when there is no dot or the only/last dot comes first.
std::string ExtensionOfName(std::string_view name);
// The file-name part of a path: the text after the last "/".
std::string_view FileNamePart(std::string_view path);
// The extension of the file-name part of a path (after the last "/").
std::string FileExtension(std::string_view path);
// The file name (after the last "/" or "\") with the first occurrence of its
// extension removed.
std::string FileNameWithoutExtension(std::string_view path);

// Wildcard matching: "*" any run of characters, "?" exactly one character,
// everything else literally; case-sensitive; no classes, no escapes.
bool MatchesMask(std::string_view name, std::string_view mask);

// A mask may name a folder below the one searched: "sub.d/*.txt". Folder is
// the part before the last "/", with one trailing "/" and no leading one
// (empty when the mask has no "/"); it is taken literally. Name is the part
// after it, the mask that names are matched against.
struct TMaskParts {
  std::string Folder;
  std::string Name;
};
TMaskParts SplitMask(std::string_view mask);

// The form of a piece name: one or more digits, one dot, then an extension
// without a further dot ("1.csv", "012.txt", "3.").
bool IsPieceFormName(std::string_view name);

// A name of two or more characters whose first character is a dot and whose
// second is not.
bool IsHiddenName(std::string_view name);

// Folder with one trailing "/" (a doubled trailing separator is reduced).
std::string WithTrailingSlash(std::string_view folder);

// False when Path holds a NUL byte. Such a path names no file: the system
// would see only the part in front of the NUL, another file or folder. Every
// file-system operation of the system treats it as a path that does not exist.
bool IsSystemPath(std::string_view path);

// File-system queries, following symbolic links.
bool FileExists(const std::string& path);       // exists and is not a directory
bool DirectoryExists(const std::string& path);  // exists and is a directory

// Identity of a file on disk, to compare paths that may be spelt differently.
struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  auto operator<=>(const TFileIdentity&) const = default;
};
// Identity of what the path names (links followed); false when it cannot be examined.
bool GetFileIdentity(const std::string& path, TFileIdentity& identity);
// Identities of the entries the path's last name passes through: the entry
// itself (a link not followed), then, while that is a symbolic link, the
// entry it points to, and so on; the last one is the file itself. Empty when
// the path cannot be examined.
std::vector<TFileIdentity> LinkChainIdentities(const std::string& path);

// Entry names of a folder in the order the file system yields them, without
// "." and ".."; empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);

// Full path of the first file (not a directory) matching Mask in Folder, then,
// with IncludeSubfolders, in each non-hidden subfolder whose name contains a
// dot, depth first; empty when none. No directory is searched twice. A mask
// with a folder part is looked up in that folder of each searched folder.
std::string FindFirstMatch(const std::string& folder, const std::string& mask, bool include_subfolders);

// Deletes the earlier pieces in Folder: the entries directly in it whose
// names have the form of a piece and that are not directories. A symbolic
// link is deleted as a link; one to a directory stays, as directories do.
// Nothing in subfolders is touched. Failed deletions are ignored.
void ClearFolder(const std::string& folder);
// Calls Visit with the path of every entry that ClearFolder would delete, in
// the order it would delete them; deletes nothing.
void ForEachFileClearFolderDeletes(const std::string& folder, const std::function<void(const std::string&)>& visit);

// Creates the folder and every missing parent; failures are ignored.
void ForceFolder(const std::string& path);
