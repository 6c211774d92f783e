// Where log lines end up. An appender receives tagged lines (tag + message)
// from the loggers it is attached to; loggers do not own their appenders.
#pragma once

#include <string>

#include "log/ULogLevel.h"

class TLogAppender {
 public:
  TLogAppender() = default;
  TLogAppender(const TLogAppender&) = delete;
  TLogAppender& operator=(const TLogAppender&) = delete;
  virtual ~TLogAppender() = default;

  // Receives one tagged line. Failures (a file that cannot be written) raise
  // to whoever logged.
  virtual void Append(const std::string& line) = 0;

  uint32_t Level() const { return Level_; }
  void SetLevel(uint32_t level) { Level_ = level; }
  void SetLevelDebug() { Level_ = llDebug; }
  void SetLevelInfo() { Level_ = llInfo; }
  void SetLevelError() { Level_ = llError; }

 private:
  // Lowest level accepted; a new appender accepts everything.
  uint32_t Level_ = llDebug;
};
