#include "support/TestSupport.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "util/UDecompressingSource.h"
#include "util/UErrors.h"

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

namespace {

// Hands out a string in one read after another.
class TStringSource final : public TByteSource {
 public:
  explicit TStringSource(const std::string& data) : Data_(data) {}
  size_t Read(char* data, size_t size) override {
    const size_t n = std::min(size, Data_.size() - Pos_);
    std::copy_n(Data_.data() + Pos_, n, data);
    Pos_ += n;
    return n;
  }
  int64_t BytesConsumed() const override { return static_cast<int64_t>(Pos_); }

 private:
  const std::string& Data_;
  size_t Pos_ = 0;
};

}  // namespace

std::string Decompressed(const std::string& data) {
  const TCompression format = data.starts_with("\x1F\x8B")           ? cmGzip
                              : data.starts_with("\x28\xB5\x2F\xFD") ? cmZstd
                                                                     : cmNone;
  if (format == cmNone) throw EReadError("Neither gzip nor zstd data.");
  const std::unique_ptr<TByteSource> source = Decompressing(std::make_unique<TStringSource>(data), format);
  std::string out(1 << 16, '\0');
  size_t size = 0;
  while (const size_t n = source->Read(out.data() + size, out.size() - size)) {
    size += n;
    if (size == out.size()) out.resize(2 * out.size());
  }
  out.resize(size);
  return out;
}
