// The split tool's command line: runs the task file named by "task".
#pragma once

#include <string>

#include "app/UCmdLineProcessor.h"

class TFileSplitCmdLineProcessor : public TCmdLineProcessor {
 public:
  bool ProcessCommands() override;

  std::string TaskFileName;

 private:
  void ExecuteTaskFile();
};
