// A named logger: an ordered list of appenders it does not own.
#pragma once

#include <string>
#include <vector>

#include "log/ULogLevel.h"

class TLogAppender;

class TLogger {
 public:
  TLogger() = default;
  TLogger(const TLogger&) = delete;
  TLogger& operator=(const TLogger&) = delete;

  // Adds an appender at the end; the same appender may be added twice.
  void AddAppender(TLogAppender* appender);
  // Detaches every occurrence of the appender (used before it is freed).
  void RemoveAppender(TLogAppender* appender);
  const std::vector<TLogAppender*>& Appenders() const { return Appenders_; }

  // Hands the tagged message to every appender whose threshold the level
  // reaches, in order. An appender's exception leaves Log at once.
  void Log(uint32_t level, const std::string& message);
  void Debug(const std::string& message) { Log(llDebug, message); }
  void Info(const std::string& message) { Log(llInfo, message); }
  void Warn(const std::string& message) { Log(llWarn, message); }
  void Error(const std::string& message) { Log(llError, message); }

  static std::string FormatLine(uint32_t level, const std::string& message);

 private:
  std::vector<TLogAppender*> Appenders_;
};
