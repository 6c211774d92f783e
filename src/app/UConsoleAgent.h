// The console program's UI agent: shows nothing, logs errors, answers no.
#pragma once

#include "app/UUIAgent.h"

class TConsoleAgent : public TUIAgent {
 public:
  // Attaches the exception log (configuration folder + "exception.log", error
  // level) to "Global". Opens no file.
  void Initialize() override;
  void RunInteractive() override {}
  void ShowError(const std::string& message) override;
  void NotifyTaskEnd(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
};
