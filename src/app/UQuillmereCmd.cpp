#include "app/UQuillmereCmd.h"

#include <memory>

namespace {
// The object Instance created; it lives until the modules shut down.
std::unique_ptr<TQuillmereCmd> Created;
}  // namespace

TQuillmereCmd::TQuillmereCmd() { AppInstance = this; }

TQuillmereCmd::~TQuillmereCmd() {
  if (AppInstance == this) AppInstance = nullptr;
}

TApp& TQuillmereCmd::Instance() {
  if (AppInstance == nullptr) Created = std::make_unique<TQuillmereCmd>();
  return *AppInstance;
}

void FreeApplicationObject() { Created.reset(); }
