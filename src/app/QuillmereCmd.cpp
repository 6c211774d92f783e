// Entry point of the console program. It prints nothing: success and failure
// are reported in the log files only.
#include "app/UModules.h"
#include "app/UQuillmereCmd.h"
#include "util/UProcessArgs.h"
#include "util/UStopSignal.h"

int main(int argc, char** argv) {
  SetProcessArguments(argc, argv);
  InstallStopSignalHandlers();
  int status = 0;
  try {
    TModules modules;
    TQuillmereCmd::Instance().Run();
    FreeApplicationObject();
  } catch (...) {
    // A failure outside Run's guard (while building the application object
    // or writing the start line) ends the process with a failure status but,
    // like everything else, without terminal output.
    status = 217;
  }
  // A stop signal ends the process by the signal, after the run has
  // stopped cleanly and reported it.
  EndByStopSignal();
  return status;
}
