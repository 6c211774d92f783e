// Helpers shared by the test suites: temporary folders and whole-file I/O.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A fresh folder under /tmp, removed with everything in it on destruction.
class TTempDir {
 public:
  TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  ~TTempDir();

  const std::string& Path() const { return Path_; }
  // Path + "/" + Relative.
  std::string operator/(const std::string& relative) const { return Path_ + "/" + relative; }

 private:
  std::string Path_;
};

// Writes Content to Path, creating missing parent folders.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool PathExists(const std::string& path);
// Regular files of a folder, by name, with their content.
std::map<std::string, std::string> FilesIn(const std::string& folder);
void MakeDirs(const std::string& path);
// What a gzip or zstd file holds, all its members or frames; raises
// EReadError when it is not a complete stream of either.
std::string Decompressed(const std::string& data);
// Units as UTF-16 bytes of either order.
std::string Utf16Bytes(const std::vector<uint16_t>& units, bool big_endian);

// Sets an environment variable for the lifetime of the object (nullptr unsets).
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value);
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;
  ~TScopedEnv();

 private:
  std::string Name_;
  bool HadValue_ = false;
  std::string OldValue_;
};
