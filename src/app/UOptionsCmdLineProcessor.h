// The quillmere program's command line: conventional options that describe
// a split, held as a task session in memory, or a task file to run. Errors
// reach standard error through the UI agent as well as the log file, and
// the outcome becomes the exit status.
#pragma once

#include <memory>
#include <string>

#include "app/UFileSplitCmdLineProcessor.h"
#include "app/USplitOptions.h"

class TTerminalSessionObjectFactory;
class TLogAppender;

// Exit statuses of the quillmere program; a stop signal ends it by the signal.
enum TExitStatus { esSucceeded = 0, esFailed = 1, esUsage = 2 };

class TOptionsCmdLineProcessor final : public TFileSplitCmdLineProcessor {
 public:
  // Builds its outputers through Factory, which the caller keeps.
  explicit TOptionsCmdLineProcessor(TTerminalSessionObjectFactory& factory);
  ~TOptionsCmdLineProcessor() override;

  // Reads the options and builds the session they describe (or takes the
  // task file named), touching nothing: a usage error is shown and ends
  // with esUsage, --help and --version print to standard output and end
  // with esSucceeded. Then attaches the log file, and standard error for
  // the errors logged.
  bool ParseCommandLine() override;
  // Writes the task file (--write-task) or runs the split; a log file that
  // cannot be opened fails before anything else. Sets ExitStatus.
  bool ProcessCommands() override;

  // What the command line came to.
  TExitStatus ExitStatus = esFailed;
  // The session the options describe; null for a task file.
  const TTaskSession* Session() const { return Session_.get(); }

  // The text of --help.
  static std::string HelpText();

 private:
  // Checks the arguments and builds Session_ from the options, or takes
  // the task file; raises EUsageError.
  void PrepareRun();
  void BuildSession(const std::string& source, const std::string& dest, bool folder);
  void WriteTask();
  TTaskResult RunOptionsSession();

  TTerminalSessionObjectFactory& Factory_;
  TSplitOptions Options_;
  std::unique_ptr<TTaskSession> Session_;
  std::unique_ptr<TLogAppender> ErrorEcho_;  // errors logged on "cmdline", to the UI agent
  bool ShowProgress_ = false;
};
