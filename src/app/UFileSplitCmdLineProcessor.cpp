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
  TTaskResult result = NotRun();
  try {
    ExecuteTaskFile(result);
  } catch (const EQuillmereError& e) {
    // Preparing the task failed (its file cannot be read, say): the Result
    // line still ends the run.
    Logger->Error(e.what());
  }
  Logger->Log(result.Succeeded() ? llInfo : llError, result.Text());
  return result.Succeeded();
}

TTaskResult TFileSplitCmdLineProcessor::NotRun() const {
  // The counts of the task's kind: a batch counts files.
  if (!Factory->IsTaskFile(TaskFileName)) return {};
  return Factory->CreateExecutor(TaskFileName)->Result();
}

void TFileSplitCmdLineProcessor::ExecuteTaskFile(TTaskResult& result) {
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
  for (const std::string& key : session->UnknownKeys) Logger->Warn("Unknown key \"" + key + "\" is ignored.");
  // A value the task cannot take fails it before anything is deleted or
  // written, but for a manifest, which would claim a completed split.
  const std::vector<std::string> invalid = session->InvalidValues();
  for (const std::string& message : invalid) Logger->Error(message);
  if (!invalid.empty()) executor->Refuse();
  if (invalid.empty()) {
    try {
      executor->Execute();
    } catch (const EQuillmereError& e) {
      Logger->Error("Exception on Execute Task.");
      Logger->Error(e.what());
    }
  }
  result = executor->Result();
  // Freed in this order: executor, outputer, session.
  executor.reset();
  outputer.reset();
  session.reset();
}
