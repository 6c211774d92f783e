// Runs one loaded task session.
#pragma once

#include "execution/UTaskResult.h"

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
  // For a task that is not run (a value it cannot take): removes the
  // manifests of its destination, which would claim that a split of it
  // completed, and touches nothing else.
  virtual void Refuse() = 0;
  // What Execute came to; before it, or when it raised, a task that did not
  // run to its end, with the counts reached so far (none before Execute).
  const TTaskResult& Result() const { return Result_; }

  TTaskSession* Session = nullptr;  // not owned
  TOutputer* Outputer = nullptr;    // not owned; set before Execute

 protected:
  TTaskResult Result_;
};
