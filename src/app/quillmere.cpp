// Entry point of the quillmere program.
#include "app/UModules.h"
#include "app/UQuillmereTool.h"
#include "util/UProcessArgs.h"
#include "util/UStopSignal.h"

int main(int argc, char** argv) {
  SetProcessArguments(argc, argv);
  InstallStopSignalHandlers();
  int status = 217;
  try {
    TModules modules;
    TQuillmereTool app;
    app.Run();
    status = app.ExitStatus();
  } catch (...) {
    // A failure outside Run's guard (while building the application object
    // or writing the start line).
  }
  EndByStopSignal();
  return status;
}
