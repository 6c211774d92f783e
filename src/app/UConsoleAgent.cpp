#include "app/UConsoleAgent.h"

#include "log/UFileLogAppender.h"
#include "log/ULog.h"
#include "log/ULogger.h"
#include "util/UDebugHelper.h"

void TConsoleAgent::Initialize() {
  std::string path = TDebugHelper::GetAppConfigFolder("Quillmere") + "exception.log";
  ExceptionLogAppender_ = TFileLogAppender::CreateForFile(path);
  ExceptionLogAppender_->SetLevelError();
  TLog::Global().AddAppender(ExceptionLogAppender_.get());
}

void TConsoleAgent::ShowError(const std::string& message) { TLog::Global().Error(message); }
