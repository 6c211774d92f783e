// Turns the events of a run into report lines.
#pragma once

#include <string>

class TOutputer {
 public:
  TOutputer() = default;
  TOutputer(const TOutputer&) = delete;
  TOutputer& operator=(const TOutputer&) = delete;
  virtual ~TOutputer() = default;

  // Binds the outputer to the status of the coming run.
  virtual void Attach() = 0;
  // Appends one time-stamped line to LogFileName (nothing when it is empty).
  // A log file that cannot be written raises EInOutError.
  virtual void WriteMessage(const std::string& text);
  // Reports a failure of the run (a split, or a file of a batch) as one
  // line: WriteMessage here; an outputer that also shows failures elsewhere
  // adds that.
  virtual void WriteError(const std::string& text) { WriteMessage(text); }

  std::string LogFileName;
};
