// Runs one loaded task session.
#pragma once

class TTaskSession;
class TOutputer;

class TSessionExecutor {
 public:
  TSessionExecutor() = default;
  TSessionExecutor(const TSessionExecutor&) = delete;
  TSessionExecutor& operator=(const TSessionExecutor&) = delete;
  virtual ~TSessionExecutor() = default;

  virtual void SetSession(TTaskSession* session) { Session = session; }
  // Runs the session; true when the run ended without a caught failure.
  // Failures before the run (wrong session kind, no split rule) raise.
  virtual bool Execute() = 0;
  // Asks a running split to stop after its current record.
  virtual void Stop() = 0;

  TTaskSession* Session = nullptr;  // not owned
  TOutputer* Outputer = nullptr;    // not owned; set before Execute
};
