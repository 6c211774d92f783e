// The product level of the application: runs the split command line.
#pragma once

#include "app/UApp.h"

class TQuillmereApp : public TApp {
 public:
  bool RunCommandLine() override;
};
