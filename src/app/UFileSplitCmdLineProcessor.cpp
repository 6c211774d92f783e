#include "app/UFileSplitCmdLineProcessor.h"

#include "app/USessionObjectFactory.h"
#include "execution/UOutputer.h"
#include "execution/USessionExecutor.h"
#include "log/ULogger.h"
#include "tasks/UTaskSession.h"
#include "util/UErrors.h"
#include "util/UPathUtils.h"

bool TFileSplitCmdLineProcessor::ProcessCommands() {
  TaskFileName = OptionValue("task");
  if (TaskFileName.empty()) return false;
  ExecuteTaskFile();
  return true;
}

void TFileSplitCmdLineProcessor::ExecuteTaskFile() {
  if (!FileExists(TaskFileName)) {
    Logger->Error("task file: " + TaskFileName + " not exists.");
    return;
  }
  Logger->Info(TaskFileName);
  if (!Factory->IsTaskFile(TaskFileName)) {
    Logger->Error("invalid task file.");
    return;
  }
  std::unique_ptr<TTaskSession> session = Factory->CreateSession(TaskFileName);
  std::unique_ptr<TOutputer> outputer = Factory->CreateOutputer(TaskFileName, LogFileName);
  std::unique_ptr<TSessionExecutor> executor = Factory->CreateExecutor(TaskFileName);
  executor->SetSession(session.get());
  executor->Outputer = outputer.get();
  std::string description;
  session->GetDescription(description);
  Logger->Info(description);
  try {
    executor->Execute();
  } catch (const EQuillmereError& e) {
    Logger->Error("Exception on Execute Task.");
    Logger->Error(e.what());
  }
  // Freed in this order: executor, outputer, session.
  executor.reset();
  outputer.reset();
  session.reset();
}
