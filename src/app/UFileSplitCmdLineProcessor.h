// The split tool's command line: runs the task file named by "task".
#pragma once

#include <string>

#include "app/UCmdLineProcessor.h"
#include "execution/UTaskResult.h"

class TSessionExecutor;
class TOutputer;
class TTaskSession;

class TFileSplitCmdLineProcessor : public TCmdLineProcessor {
 public:
  // Runs the task file and ends the log with its Result line, also when it
  // did not run at all; true when it succeeded.
  bool ProcessCommands() override;

  std::string TaskFileName;

 protected:
  // Runs the task file TaskFileName names, as ProcessCommands does; what
  // it came to.
  TTaskResult RunTaskFile();
  // Runs the task; Result is what it came to so far.
  void ExecuteTaskFile(TTaskResult& result);
  // Hands Session and Outputer to Executor, logs the description, the
  // unknown keys and the invalid values, and runs it unless a value is
  // invalid; Result := what it came to.
  void RunSession(TTaskSession& session, TOutputer& outputer, TSessionExecutor& executor, TTaskResult& result);
  // Logs how the task ended: "Stopped by signal <n>." at error level when a
  // stop signal came (the task then failed), then its Result line.
  void ReportResult(TTaskResult& result);

 private:
  // The result of a task of this file's kind that did not run.
  TTaskResult NotRun() const;
};
