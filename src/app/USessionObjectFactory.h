// Knows which task-file kinds exist and builds the objects that run one.
#pragma once

#include <memory>
#include <string>

class TTaskSession;
class TSessionExecutor;
class TOutputer;

class TSessionObjectFactory {
 public:
  TSessionObjectFactory() = default;
  TSessionObjectFactory(const TSessionObjectFactory&) = delete;
  TSessionObjectFactory& operator=(const TSessionObjectFactory&) = delete;
  virtual ~TSessionObjectFactory() = default;

  // Whether the file name's extension names a known task kind.
  virtual bool IsTaskFile(const std::string& file_name) = 0;
  // A session of the file's kind, loaded from the file; load failures raise.
  virtual std::unique_ptr<TTaskSession> CreateSession(const std::string& file_name) = 0;
  // The executor of the file's kind, without session or outputer.
  virtual std::unique_ptr<TSessionExecutor> CreateExecutor(const std::string& file_name) = 0;
  // The outputer that reports into LogFileName.
  virtual std::unique_ptr<TOutputer> CreateOutputer(const std::string& file_name, const std::string& log_file_name) = 0;
};
