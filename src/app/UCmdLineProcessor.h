// Turns the process arguments (name=value) into options, opens the log file
// named by "logfile" on the "cmdline" logger, and runs the commands.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TSessionObjectFactory;
class TLogger;
class TFileLogAppender;

class TCmdLineProcessor {
 public:
  TCmdLineProcessor();
  TCmdLineProcessor(const TCmdLineProcessor&) = delete;
  TCmdLineProcessor& operator=(const TCmdLineProcessor&) = delete;
  // Detaches and frees the log-file appender.
  virtual ~TCmdLineProcessor();

  void SetFactory(TSessionObjectFactory* factory) { Factory = factory; }
  // Parses the arguments and runs ProcessCommands inside a guard that logs
  // an escaped failure at error level. False without arguments, or when
  // ParseCommandLine says there is nothing to run.
  bool Execute();
  // Keeps the arguments in Params and attaches the log file that "logfile"
  // names; false without arguments.
  virtual bool ParseCommandLine();
  virtual bool ProcessCommands() { return false; }
  // LogFileName := FileName, and its appender (info level) is attached to
  // the "cmdline" logger, which becomes Logger. An empty name logs nowhere.
  void AttachLogFile(const std::string& file_name);

  // The trimmed value of the first argument whose name (before its first
  // "=") equals Name ignoring letter case; "" when there is none.
  std::string OptionValue(const std::string& name) const;

  std::vector<std::string> Params;
  std::string LogFileName;
  TSessionObjectFactory* Factory = nullptr;  // not owned
  TLogger* Logger = nullptr;                 // owned by the registry
  std::unique_ptr<TFileLogAppender> LogAppender;
};
