// Runs a batch split task: every file of the source folder that matches the
// mask is split into its own "<name>_split" folder under the destination,
// with one reused splitter and one per-file split session. A file whose
// folder already holds the pieces of a file split earlier in the same run
// fails instead.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "execution/USessionExecutor.h"
#include "util/UPathUtils.h"

class TFileSplitter;
class TFileSplitSession;
class TBatchFileSplitSession;
class TFolderScanner;
class TOutputer;

class TBatchFileSplitSessionExecutor : public TSessionExecutor {
 public:
  TBatchFileSplitSessionExecutor();
  ~TBatchFileSplitSessionExecutor() override;

  bool Execute() override;
  // Stops after the current record of the file under way; no further file
  // starts. A stop signal (StopSignal) stops the batch the same way.
  void Stop() override;
  // Removes the manifests of the piece folders of the files it lists.
  void Refuse() override;

  TFileSplitter* Splitter() const { return Splitter_.get(); }

 private:
  // Lists the files of the source folder and splits each in turn; a file
  // that fails is reported and the batch goes on.
  void SplitListedFiles(TOutputer& outputer);
  // Lists the files of the source folder into the scanner.
  void ListFiles();
  // The folder that receives the pieces of the file.
  std::string PieceFolder(const std::string& file_name) const;
  void SplitOneFile(const std::string& file_name);
  // Records the piece folder of the file just run, once its split has
  // cleared or created it.
  void ClaimPieceFolder(const std::string& file_name);

  bool Stopped_ = false;
  std::unique_ptr<TFileSplitter> Splitter_;
  TBatchFileSplitSession* BatchSession_ = nullptr;
  std::unique_ptr<TFileSplitSession> FileSession_;
  std::unique_ptr<TFolderScanner> Scanner_;
  // The piece folders of this run, with the file split into each.
  std::map<TFileIdentity, std::string> PieceFolders_;
};
