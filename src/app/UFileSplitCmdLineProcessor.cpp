#include "app/UFileSplitCmdLineProcessor.h"

#include "app/USessionObjectFactory.h"
#include "execution/UOutputer.h"
#include "execution/USessionExecutor.h"
#include "log/ULogger.h"
#include "tasks/UTaskSession.h"
#include "util/UErrors.h"
#include "util/UPathUtils.h"
#include "util/UStopSignal.h"

bool TFileSplitCmdLineProcessor::ProcessCommands() {
  TaskFileName = OptionValue("task");
  if (TaskFileName.empty()) return false;
  return RunTaskFile().Succeeded();
}

TTaskResult TFileSplitCmdLineProcessor::RunTaskFile() {
  TTaskResult result = NotRun();
  try {
    ExecuteTaskFile(result);
  } catch (const EQuillmereError& e) {
    // Preparing the task failed (its file cannot be read, say): the Result
    // line still ends the run.
    Logger->Error(e.what());
  }
  ReportResult(result);
  return result;
}

void TFileSplitCmdLineProcessor::ReportResult(TTaskResult& result) {
  // A stop signal fails the task even when it came after the last record:
  // the process ends by the signal right after these lines.
  if (StopSignal != 0) {
    result.Completed = false;
    Logger->Error("Stopped by signal " + std::to_string(StopSignal) + ".");
  }
  Logger->Log(result.Succeeded() ? llInfo : llError, result.Text());
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
  RunSession(*session, *outputer, *executor, result);
  // Freed in this order: executor, outputer, session.
  executor.reset();
  outputer.reset();
  session.reset();
}

void TFileSplitCmdLineProcessor::RunSession(TTaskSession& session, TOutputer& outputer, TSessionExecutor& executor,
                                            TTaskResult& result) {
  executor.SetSession(&session);
  executor.Outputer = &outputer;
  std::string description;
  session.GetDescription(description);
  Logger->Info(description);
  for (const std::string& key : session.UnknownKeys) Logger->Warn("Unknown key \"" + key + "\" is ignored.");
  // A value the task cannot take fails it before anything is deleted or written.
  const std::vector<std::string> invalid = session.InvalidValues();
  for (const std::string& message : invalid) Logger->Error(message);
  // Nothing is deleted or written for such a task, but for its manifests,
  // which would claim a completed split.
  if (!invalid.empty()) executor.Refuse();
  if (invalid.empty()) {
    try {
      executor.Execute();
    } catch (const EQuillmereError& e) {
      Logger->Error("Exception on Execute Task.");
      Logger->Error(e.what());
    }
  }
  result = executor.Result();
}
