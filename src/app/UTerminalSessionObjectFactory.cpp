#include "app/UTerminalSessionObjectFactory.h"

#include "execution/UTerminalConvertOutputer.h"

std::unique_ptr<TOutputer> TTerminalSessionObjectFactory::CreateOutputer(const std::string&,
                                                                         const std::string& log_file_name) {
  auto outputer = std::make_unique<TTerminalConvertOutputer>();
  outputer->LogFileName = log_file_name;
  outputer->ShowProgress = ShowProgress;
  return outputer;
}
