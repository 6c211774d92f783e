// The application frame: the start sequence and the single application object.
#pragma once

#include <memory>
#include <string>

class TUIAgent;

class TApp {
 public:
  // Raises EAbort when an application object already exists; creates the UI
  // agent (a console agent), names the application and lets the agent
  // initialise.
  TApp();
  TApp(const TApp&) = delete;
  TApp& operator=(const TApp&) = delete;
  virtual ~TApp();

  // The application object; raises "TApp not create." when there is none.
  static TApp& Instance();

  // True when the process has at least one argument.
  bool IsCommandLineMode() const;
  // Logs "Start <AppName>", then runs the command line inside a guard that
  // logs escaped failures at debug level, or the interactive entry.
  void Run();
  // Command-line work; the frame does nothing.
  virtual bool RunCommandLine();
  void GetSystemInfo(std::string& info) const;

  const std::string& AppName() const { return AppName_; }

 protected:
  // As TApp(), with Agent as the UI agent: a program that talks to its user
  // in a way of its own.
  explicit TApp(std::unique_ptr<TUIAgent> agent);

 private:
  void CreateUIAgent(std::unique_ptr<TUIAgent> agent);

  std::string AppName_;
  std::unique_ptr<TUIAgent> Agent_;
};

// The single application object (not owned here); nullptr when none exists.
extern TApp* AppInstance;
