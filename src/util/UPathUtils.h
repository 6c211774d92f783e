// File-name, wildcard and folder operations shared across the system. Paths
// use "/" as separator; names are compared case-sensitively.
#pragma once

#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TPieceName;

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
// Identity of the entry itself (a link not followed); false when there is none.
bool GetEntryIdentity(const std::string& path, TFileIdentity& identity);
// Identities of the entries the path's last name passes through: the entry
// itself (a link not followed), then, while that is a symbolic link, the
// entry it points to, and so on; the last one is the file itself. Empty when
// the path cannot be examined.
std::vector<TFileIdentity> LinkChainIdentities(const std::string& path);

// The absolute path of what Path names, every symbolic link resolved; empty
// when it does not exist.
std::string RealPath(const std::string& path);

// Entry names of a folder in the order the file system yields them, without
// "." and ".."; empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);

// Folder + "/" + Name; Name alone for the empty folder (the working directory).
std::string JoinPath(const std::string& folder, std::string_view name);
// The name a file is written under until it is whole: "." + its name +
// ".part", in its folder.
std::string PartPath(const std::string& path);

// The earlier pieces of a split into Folder whose pieces Names names: the
// files named Names.Name(1), Name(2) and so on, up to the first number that
// names neither a regular file nor a symbolic link directly in Folder (links
// are not followed). Every other file looks like no piece of this split,
// however its name reads.
std::vector<std::string> EarlierPieces(const std::string& folder, const TPieceName& names);
// What interrupted splits into Folder left: the entries named "." + a piece
// name + ".part".
std::vector<std::string> UnfinishedPieces(const std::string& folder, const TPieceName& names);
// Deletes the entries, symbolic links as links, and returns how many it
// deleted; failed deletions are ignored.
int64_t DeleteEntries(const std::vector<std::string>& paths);

// Creates the folder and every missing parent; failures are ignored.
void ForceFolder(const std::string& path);
