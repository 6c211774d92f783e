#include "log/ULogger.h"

#include <algorithm>

#include "log/ULogAppender.h"

std::string_view LogLevelTag(uint32_t level) {
  switch (level) {
    case llInfo:
      return "[info]\t";
    case llWarn:
      return "[warn]\t";
    case llError:
      return "[error]\t";
    case llFatal:
      return "[fatal]\t";
    default:
      return "[debug]\t";
  }
}

void TLogger::AddAppender(TLogAppender* appender) { Appenders_.push_back(appender); }

void TLogger::RemoveAppender(TLogAppender* appender) {
  Appenders_.erase(std::remove(Appenders_.begin(), Appenders_.end(), appender), Appenders_.end());
}

std::string TLogger::FormatLine(uint32_t level, const std::string& message) {
  return std::string(LogLevelTag(level)) + message;
}

void TLogger::Log(uint32_t level, const std::string& message) {
  for (TLogAppender* appender : Appenders_) {
    if (level < appender->Level()) continue;
    appender->Append(FormatLine(level, message));
  }
}
