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

  std::string LogFileName;
};
