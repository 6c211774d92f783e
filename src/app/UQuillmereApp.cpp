#include "app/UQuillmereApp.h"

#include <memory>

#include "app/UFileSplitCmdLineProcessor.h"
#include "app/UFileSplitSessionObjectFactory.h"

bool TQuillmereApp::RunCommandLine() {
  auto processor = std::make_unique<TFileSplitCmdLineProcessor>();
  auto factory = std::make_unique<TFileSplitSessionObjectFactory>();
  processor->SetFactory(factory.get());
  bool result = processor->Execute();
  factory.reset();
  processor.reset();
  return result;
}
