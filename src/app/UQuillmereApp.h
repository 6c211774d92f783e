// The product level of the application: runs the split command line.
#pragma once

#include <memory>

#include "app/UApp.h"
#include "app/UUIAgent.h"

class TQuillmereApp : public TApp {
 public:
  TQuillmereApp() = default;
  bool RunCommandLine() override;

 protected:
  explicit TQuillmereApp(std::unique_ptr<TUIAgent> agent) : TApp(std::move(agent)) {}
};
