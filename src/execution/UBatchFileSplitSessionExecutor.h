// Runs a batch split task: every file of the source folder that matches the
// mask is split into its own "<name>_split" folder under the destination,
// with one reused splitter and one per-file split session.
#pragma once

#include <memory>
#include <string>

#include "execution/USessionExecutor.h"

class TFileSplitter;
class TFileSplitSession;
class TBatchFileSplitSession;
class TFolderScanner;

class TBatchFileSplitSessionExecutor : public TSessionExecutor {
 public:
  TBatchFileSplitSessionExecutor();
  ~TBatchFileSplitSessionExecutor() override;

  bool Execute() override;
  // Stops after the current record of the file under way; no further file starts.
  void Stop() override;

  TFileSplitter* Splitter() const { return Splitter_.get(); }

 private:
  void SplitOneFile(const std::string& file_name);

  bool Stopped_ = false;
  std::unique_ptr<TFileSplitter> Splitter_;
  TBatchFileSplitSession* BatchSession_ = nullptr;
  std::unique_ptr<TFileSplitSession> FileSession_;
  std::unique_ptr<TFolderScanner> Scanner_;
};
