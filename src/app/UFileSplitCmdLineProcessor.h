// The split tool's command line: runs the task file named by "task".
#pragma once

#include <string>

#include "app/UCmdLineProcessor.h"
#include "execution/UTaskResult.h"

class TFileSplitCmdLineProcessor : public TCmdLineProcessor {
 public:
  // Runs the task file and ends the log with its Result line, also when it
  // did not run at all; true when it succeeded.
  bool ProcessCommands() override;

  std::string TaskFileName;

 private:
  // Runs the task; Result is what it came to so far.
  void ExecuteTaskFile(TTaskResult& result);
  // The result of a task of this file's kind that did not run.
  TTaskResult NotRun() const;
};
