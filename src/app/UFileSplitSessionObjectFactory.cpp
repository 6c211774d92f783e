#include "app/UFileSplitSessionObjectFactory.h"

#include "execution/UBatchFileSplitSessionExecutor.h"
#include "execution/UFileSplitSessionExecutor.h"
#include "execution/ULogConvertOutputer.h"
#include "tasks/UBatchFileSplitSession.h"
#include "tasks/UFileSplitSession.h"
#include "util/UPathUtils.h"

bool TFileSplitSessionObjectFactory::IsTaskFile(const std::string& file_name) {
  std::string ext = FileExtension(file_name);
  return ext == ".sft" || ext == ".bst";
}

std::unique_ptr<TTaskSession> TFileSplitSessionObjectFactory::CreateSession(const std::string& file_name) {
  std::string ext = FileExtension(file_name);
  std::unique_ptr<TTaskSession> session;
  if (ext == ".sft")
    session = std::make_unique<TFileSplitSession>();
  else if (ext == ".bst")
    session = std::make_unique<TBatchFileSplitSession>();
  if (session) session->LoadFromFile(file_name);
  return session;
}

std::unique_ptr<TSessionExecutor> TFileSplitSessionObjectFactory::CreateExecutor(const std::string& file_name) {
  std::string ext = FileExtension(file_name);
  if (ext == ".sft") return std::make_unique<TFileSplitSessionExecutor>();
  if (ext == ".bst") return std::make_unique<TBatchFileSplitSessionExecutor>();
  return nullptr;
}

std::unique_ptr<TOutputer> TFileSplitSessionObjectFactory::CreateOutputer(const std::string&,
                                                                          const std::string& log_file_name) {
  auto outputer = std::make_unique<TLogConvertOutputer>();
  outputer->LogFileName = log_file_name;
  return outputer;
}
