// The console program's application object; it maintains AppInstance.
#pragma once

#include "app/UQuillmereApp.h"

class TQuillmereCmd : public TQuillmereApp {
 public:
  TQuillmereCmd();
  ~TQuillmereCmd() override;

  // The application object, created on first call.
  static TApp& Instance();
};

// Frees the object that Instance created, if any (at process end).
void FreeApplicationObject();
