// RAII file handles over POSIX descriptors, with the error texts the system
// reports for them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

class TFileStream {
 public:
  TFileStream() = default;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  TFileStream(TFileStream&& other) noexcept;
  TFileStream& operator=(TFileStream&& other) noexcept;
  ~TFileStream();

  // Opens for reading (others may read and write meanwhile); raises
  // EFOpenError, also for a FIFO, socket or device ("Not a regular file"),
  // which is refused at once rather than waited on.
  static TFileStream OpenRead(const std::string& path);
  // Creates the file or empties it; raises EInOutError naming the path.
  static TFileStream Create(const std::string& path);
  // As Create, except that a symbolic link at Path is replaced by the new
  // file instead of being followed. Failures (of the later writes too) name
  // Shown instead of Path, when given: a file written under a temporary name
  // is reported under the one it is meant to have.
  static TFileStream Replace(const std::string& path, const std::string& shown = {});
  // A new file without a name in the folder of Path, to be named Path by
  // Link once whole; reported as Path. Not open where the file system or
  // the system cannot make one (or link it later); other failures raise as
  // Create's do.
  static TFileStream CreateUnnamed(const std::string& path);
  // False: CreateUnnamed never makes one (tests take the named way with it).
  static inline bool UnnamedFiles = true;
  // Opens for appending at the end, creating the file when missing; raises EInOutError.
  static TFileStream OpenAppend(const std::string& path);

  bool IsOpen() const { return Fd_ >= 0; }
  int Fd() const { return Fd_; }
  const std::string& Path() const { return Path_; }

  // Size of the open file in bytes.
  int64_t Size() const;
  // Reads up to Count bytes at the current position; returns the count read
  // (0 at the end). Raises EReadError on a failed read.
  size_t ReadSome(void* buffer, size_t count);
  // Reads exactly Count bytes or raises EReadError ("Stream read error").
  void ReadExact(void* buffer, size_t count);
  // Writes all Count bytes or raises EInOutError; EOutOfRoom when there is
  // no room for them (no space, quota, file size limit).
  void WriteAll(const void* data, size_t count);
  static constexpr size_t kLargestWrite = size_t{1} << 20;  // the most one write call is handed
  void Seek(int64_t position);
  // Cuts the file to Size bytes and moves to its end; false when it cannot.
  bool Truncate(int64_t size);
  // Gives a file made by CreateUnnamed the name Path; false with errno set
  // when it cannot (EEXIST: something has that name already).
  bool Link(const std::string& path) const;
  // Closes the file; a failing close raises EInOutError.
  void Close();

 private:
  friend bool ReadWholeFileIfExists(const std::string& path, std::string& content);
  TFileStream(int fd, std::string path) : Fd_(fd), Path_(std::move(path)) {}
  int Fd_ = -1;
  std::string Path_;
};

// Reads the whole file; false when it does not exist (a path holding a NUL
// byte names none). Other failures raise, as OpenRead's do.
bool ReadWholeFileIfExists(const std::string& path, std::string& content);
// The first Count bytes of the file, all of it when shorter. Raises as
// OpenRead does, and EReadError when reading fails.
std::string ReadFileHead(const std::string& path, size_t count);
// Creates or replaces the file with Content; raises EInOutError.
void WriteWholeFile(const std::string& path, const std::string& content);
// Gives the file written as Part the name Path, replacing what is there (a
// folder excepted); when it cannot, deletes Part and raises EInOutError
// naming Path.
void CommitPart(const std::string& part, const std::string& path);
// Writes Content as PartPath(Path), then gives it the name Path: no reader
// ever finds the file there in part. Raises EInOutError; no file is left
// under either name then.
void WriteWholeFileAtomically(const std::string& path, const std::string& content);
// Copies a file byte for byte; false on any failure.
bool CopyFileContent(const std::string& from, const std::string& to);
