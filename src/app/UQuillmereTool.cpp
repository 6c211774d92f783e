#include "app/UQuillmereTool.h"

#include "app/UOptionsCmdLineProcessor.h"
#include "app/UTerminalAgent.h"
#include "app/UTerminalSessionObjectFactory.h"
#include "util/UProcessArgs.h"
#include "util/UTextUtils.h"

namespace {

// The arguments of QuillmereCmd: its callers keep working.
bool IsTaskCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return false;
  const std::string name = AsciiLower(arguments.front().substr(0, arguments.front().find('=') + 1));
  return name == "task=" || name == "logfile=";
}

}  // namespace

TQuillmereTool::TQuillmereTool() : TQuillmereApp(std::make_unique<TTerminalAgent>("quillmere")) { AppInstance = this; }

TQuillmereTool::~TQuillmereTool() {
  if (AppInstance == this) AppInstance = nullptr;
}

bool TQuillmereTool::RunCommandLine() {
  if (IsTaskCommandLine(ProcessArguments())) {
    ExitStatus_ = esSucceeded;
    return TQuillmereApp::RunCommandLine();
  }
  TTerminalSessionObjectFactory factory;
  TOptionsCmdLineProcessor processor(factory);
  const bool result = processor.Execute();
  ExitStatus_ = processor.ExitStatus;
  return result;
}

int TQuillmereTool::ExitStatus() const { return IsCommandLineMode() ? ExitStatus_ : esUsage; }
