// The application object of the quillmere program: the split tool with a
// conventional command line, errors on standard error and an exit status.
// A command line that begins with task= or logfile= is run exactly as
// QuillmereCmd runs it.
#pragma once

#include "app/UQuillmereApp.h"

class TQuillmereTool final : public TQuillmereApp {
 public:
  // Creates the terminal agent; raises EAbort when an application object
  // exists already. The object is AppInstance until it is destroyed.
  TQuillmereTool();
  ~TQuillmereTool() override;

  bool RunCommandLine() override;
  // The process's exit status once Run has returned: the command line's,
  // or a usage error when there were no arguments.
  int ExitStatus() const;

 private:
  int ExitStatus_ = 1;  // until the command line says otherwise
};
