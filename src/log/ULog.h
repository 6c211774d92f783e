// The process-wide registry of named loggers. Names ignore letter case, so
// "Global" and "global" are one logger. Loggers live until ShutDown.
#pragma once

#include <string>

class TLogger;

class TLog {
 public:
  // Creates the registry (module start-up); GetLogger also creates it on demand.
  static void StartUp();
  // Frees every logger, first to last, then the registry (module shutdown).
  static void ShutDown();

  // The logger registered under Name, created and registered when absent.
  static TLogger& GetLogger(const std::string& name);
  static TLogger& Global() { return GetLogger("Global"); }
  // The log file of the command line: what the user reads of a run.
  static TLogger& CommandLine() { return GetLogger("cmdline"); }
};
