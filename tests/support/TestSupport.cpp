#include "support/TestSupport.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TTempDir::TTempDir() {
  char pattern[] = "/tmp/qm_test_XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  Path_ = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  // Make everything writable first so that permission tests leave nothing behind.
  for (auto it = std::filesystem::recursive_directory_iterator(Path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0700);
  }
  std::filesystem::remove_all(Path_, ec);
}

void MakeDirs(const std::string& path) { std::filesystem::create_directories(path); }

void WriteFile(const std::string& path, const std::string& content) {
  auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::map<std::string, std::string> FilesIn(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadFile(entry.path().string());
  return files;
}

TScopedEnv::TScopedEnv(const char* name, const char* value) : Name_(name) {
  if (const char* old = std::getenv(name)) {
    HadValue_ = true;
    OldValue_ = old;
  }
  if (value != nullptr)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

TScopedEnv::~TScopedEnv() {
  if (HadValue_)
    setenv(Name_.c_str(), OldValue_.c_str(), 1);
  else
    unsetenv(Name_.c_str());
}

std::string Utf16Bytes(const std::vector<uint16_t>& units, bool big_endian) {
  std::string bytes;
  for (uint16_t unit : units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}
