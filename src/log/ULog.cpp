#include "log/ULog.h"

#include <memory>
#include <utility>
#include <vector>

#include "log/ULogger.h"
#include "util/UTextUtils.h"

namespace {
using TRegistry = std::vector<std::pair<std::string, std::unique_ptr<TLogger>>>;
std::unique_ptr<TRegistry> Loggers;
}  // namespace

void TLog::StartUp() {
  if (!Loggers) Loggers = std::make_unique<TRegistry>();
}

void TLog::ShutDown() {
  if (!Loggers) return;
  for (auto& entry : *Loggers) entry.second.reset();
  Loggers.reset();
}

TLogger& TLog::GetLogger(const std::string& name) {
  StartUp();
  for (auto& entry : *Loggers)
    if (SameTextAscii(entry.first, name)) return *entry.second;
  Loggers->emplace_back(name, std::make_unique<TLogger>());
  return *Loggers->back().second;
}
