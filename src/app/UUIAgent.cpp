#include "app/UUIAgent.h"

#include "log/UFileLogAppender.h"
#include "log/ULog.h"
#include "log/ULogger.h"

TUIAgent* UIAgent = nullptr;

TUIAgent::TUIAgent() = default;

TUIAgent::~TUIAgent() {
  if (ExceptionLogAppender_) TLog::Global().RemoveAppender(ExceptionLogAppender_.get());
}
