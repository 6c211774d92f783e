// The application frame's single point of contact with a user interface.
// The application object creates one agent and publishes it as UIAgent.
#pragma once

#include <memory>
#include <string>

class TFileLogAppender;

class TUIAgent {
 public:
  TUIAgent();
  TUIAgent(const TUIAgent&) = delete;
  TUIAgent& operator=(const TUIAgent&) = delete;
  // Detaches the exception log from "Global" before freeing it.
  virtual ~TUIAgent();

  // Called once while the application object is built.
  virtual void Initialize() = 0;
  // Called by Run when the process has no arguments.
  virtual void RunInteractive() = 0;
  virtual void ShowError(const std::string& message) = 0;
  // Called by the executors after each run.
  virtual void NotifyTaskEnd(const std::string& message) = 0;
  // Asks a yes/no question.
  virtual bool Confirm(const std::string& message) = 0;
  // Shows how a run stands as one line that replaces the one shown before;
  // with Done the line stays (a summary) and the next one starts afresh.
  // An empty Text without Done removes the line. An agent without a screen
  // shows nothing.
  virtual void ShowProgress(const std::string&, bool) {}

  TFileLogAppender* ExceptionLogAppender() const { return ExceptionLogAppender_.get(); }

 protected:
  std::unique_ptr<TFileLogAppender> ExceptionLogAppender_;
};

// The process-wide UI agent (owned by the application object); nullptr when none.
extern TUIAgent* UIAgent;
