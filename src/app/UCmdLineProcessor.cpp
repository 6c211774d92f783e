#include "app/UCmdLineProcessor.h"

#include "log/UFileLogAppender.h"
#include "log/ULog.h"
#include "log/ULogger.h"
#include "util/UErrors.h"
#include "util/UProcessArgs.h"
#include "util/UTextUtils.h"

TCmdLineProcessor::TCmdLineProcessor() = default;

TCmdLineProcessor::~TCmdLineProcessor() {
  // Nothing may log into a freed appender: the logger outlives us.
  if (Logger != nullptr && LogAppender) Logger->RemoveAppender(LogAppender.get());
}

bool TCmdLineProcessor::Execute() {
  if (!ParseCommandLine()) return false;
  try {
    return ProcessCommands();
  } catch (const EQuillmereError& e) {
    Logger->Error(e.what());
    return false;
  }
}

bool TCmdLineProcessor::ParseCommandLine() {
  const std::vector<std::string>& args = ProcessArguments();
  if (args.empty()) return false;
  Params = args;
  AttachLogFile(OptionValue("logfile"));
  return true;
}

void TCmdLineProcessor::AttachLogFile(const std::string& file_name) {
  LogFileName = file_name;
  LogAppender = TFileLogAppender::CreateForFile(LogFileName);
  LogAppender->SetLevelInfo();
  Logger = &TLog::CommandLine();
  Logger->AddAppender(LogAppender.get());
}

std::string TCmdLineProcessor::OptionValue(const std::string& name) const {
  for (const std::string& param : Params) {
    size_t eq = param.find('=');
    if (eq == std::string::npos) continue;
    if (SameTextAscii(std::string_view(param).substr(0, eq), name)) return Trim(std::string_view(param).substr(eq + 1));
  }
  return {};
}
