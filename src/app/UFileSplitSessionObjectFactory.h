// The factory of the split tool: ".sft" split tasks and ".bst" batch split
// tasks, told apart by the exact extension of the file name.
#pragma once

#include "app/USessionObjectFactory.h"

class TFileSplitSessionObjectFactory : public TSessionObjectFactory {
 public:
  bool IsTaskFile(const std::string& file_name) override;
  std::unique_ptr<TTaskSession> CreateSession(const std::string& file_name) override;
  std::unique_ptr<TSessionExecutor> CreateExecutor(const std::string& file_name) override;
  std::unique_ptr<TOutputer> CreateOutputer(const std::string& file_name, const std::string& log_file_name) override;
};
