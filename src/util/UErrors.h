// The system's failures. Every failure the system raises derives from
// EQuillmereError, which carries the message that boundaries log.
#pragma once

#include <stdexcept>
#include <string>

// Base of all of the system's exceptions: carries a message and nothing else.
class EQuillmereError : public std::runtime_error {
 public:
  explicit EQuillmereError(const std::string& message) : std::runtime_error(message) {}
};

// A silent abort: raised where work must stop without any message being logged.
class EAbort : public EQuillmereError {
 public:
  EAbort() : EQuillmereError("Operation aborted") {}
};

// Opening, creating, writing or closing a file failed.
class EInOutError : public EQuillmereError {
 public:
  using EQuillmereError::EQuillmereError;
};

// A write failed for lack of room: the disk or the quota is full, or the
// file has reached the size limit.
class EOutOfRoom : public EInOutError {
 public:
  using EInOutError::EInOutError;
};

// An object was used as a class it is not (a session or outputer of the wrong kind).
class EInvalidCast : public EQuillmereError {
 public:
  EInvalidCast() : EQuillmereError("Invalid class typecast") {}
};

// A file could not be opened for reading: "Unable to open file "<path>": <reason>".
class EFOpenError : public EQuillmereError {
 public:
  EFOpenError(const std::string& path, const std::string& reason);
};

// A read delivered fewer bytes than asked for.
class EReadError : public EQuillmereError {
 public:
  EReadError() : EQuillmereError("Stream read error") {}
  // A read that failed for a reason worth naming (a corrupt compressed stream).
  explicit EReadError(const std::string& message) : EQuillmereError(message) {}
};

// The reason text of errno, as the operating system words it.
std::string SysErrorMessage(int error_number);
