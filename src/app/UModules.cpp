#include "app/UModules.h"

#include <memory>

#include "log/ULog.h"
#include "log/ULogger.h"
#include "log/UMemoryLogAppender.h"
#include "text/UEncodings.h"
#include "text/UFileLineCountCache.h"

namespace {
std::unique_ptr<TMemoryLogAppender> OwnedMemoryLog;
}

TModules::TModules() {
  TLog::StartUp();
  StartUpEncodings();
  TFileLineCountCache::StartUp();
  OwnedMemoryLog = std::make_unique<TMemoryLogAppender>();
  OwnedMemoryLog->SetMaxSize(524288);
  MemoryLog = OwnedMemoryLog.get();
  TLog::Global().AddAppender(MemoryLog);
}

TModules::~TModules() {
  if (MemoryLog != nullptr) TLog::Global().RemoveAppender(MemoryLog);
  MemoryLog = nullptr;
  OwnedMemoryLog.reset();
  TFileLineCountCache::ShutDown();
  ShutDownEncodings();
  TLog::ShutDown();
}
