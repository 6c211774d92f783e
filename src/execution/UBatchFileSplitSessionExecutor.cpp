#include "execution/UBatchFileSplitSessionExecutor.h"

#include "app/UUIAgent.h"
#include "convert/UFileSplitter.h"
#include "execution/UConvertOutputer.h"
#include "execution/UFileSplitSessionExecutor.h"
#include "execution/UFolderScanner.h"
#include "log/ULog.h"
#include "log/ULogger.h"
#include "tasks/UBatchFileSplitSession.h"
#include "tasks/UFileSplitSession.h"
#include "tasks/USessionSupport.h"
#include "util/UErrors.h"
#include "util/UPathUtils.h"
#include "util/UStopSignal.h"

TBatchFileSplitSessionExecutor::TBatchFileSplitSessionExecutor()
    : FileSession_(std::make_unique<TFileSplitSession>()), Scanner_(std::make_unique<TFolderScanner>()) {
  Result_.Batch = true;
}

TBatchFileSplitSessionExecutor::~TBatchFileSplitSessionExecutor() = default;

bool TBatchFileSplitSessionExecutor::Execute() {
  BatchSession_ = dynamic_cast<TBatchFileSplitSession*>(Session);
  if (BatchSession_ == nullptr) throw EInvalidCast();
  FileSession_->Settings = BatchSession_->Settings;
  Splitter_ = CreateSplitter(FileSession_->Settings.SplitByType);
  Splitter_->Session = FileSession_.get();
  auto* outputer = dynamic_cast<TConvertOutputer*>(Outputer);
  if (outputer == nullptr) throw EInvalidCast();
  outputer->Status = &Splitter_->Status();

  // A folder that is not there is a mistake, not a batch of no files.
  const bool found = DirectoryExists(BatchSession_->SourceFolder);
  if (found)
    SplitListedFiles(*outputer);
  else
    TLog::CommandLine().Error("Source folder \"" + BatchSession_->SourceFolder + "\" does not exist.");
  Result_.Completed = found && !Stopped_ && StopSignal == 0;
  if (UIAgent != nullptr) UIAgent->NotifyTaskEnd("File Split Has Exception.");
  return found;
}

void TBatchFileSplitSessionExecutor::ListFiles() {
  Scanner_->Clear();
  Scanner_->Folder = BatchSession_->SourceFolder;
  Scanner_->IncludeSubfolders = BatchSession_->SourceIncludeSub;
  Scanner_->Mask = BatchSession_->SourceMask;
  // An empty destination is the working directory.
  Scanner_->Destination = BatchSession_->DestFolder.empty() ? "." : BatchSession_->DestFolder;
  Scanner_->Scan();
}

void TBatchFileSplitSessionExecutor::Refuse() {
  BatchSession_ = dynamic_cast<TBatchFileSplitSession*>(Session);
  if (BatchSession_ == nullptr) throw EInvalidCast();
  if (!DirectoryExists(BatchSession_->SourceFolder)) return;
  ListFiles();
  for (const std::string& file : Scanner_->Files()) TFileSplitter::RemoveManifest(PieceFolder(file));
}

std::string TBatchFileSplitSessionExecutor::PieceFolder(const std::string& file_name) const {
  // An empty destination means the working directory, as for a single file.
  const std::string& dest = BatchSession_->DestFolder;
  std::string piece_folder = FileNameWithoutExtension(file_name) + kPieceFolderSuffix;
  return dest.empty() ? piece_folder : dest + "/" + piece_folder;
}

void TBatchFileSplitSessionExecutor::SplitListedFiles(TOutputer& outputer) {
  PieceFolders_.clear();
  ListFiles();
  const size_t count = Scanner_->Files().size();
  for (size_t i = 0; i < count; ++i) {
    if (Stopped_ || StopSignal != 0) break;
    const std::string file = Scanner_->Files()[i];
    ++Result_.Files;
    try {
      SplitOneFile(file);
    } catch (const std::exception& e) {
      ++Result_.FilesFailed;
      // One file's failure ends the work on that file only, but it is
      // reported: in the log file with the file's name, and on "Global".
      std::string message = "Cannot split \"" + file + "\": " + e.what();
      try {
        outputer.WriteError(message);
        TLog::Global().Error("In TBatchFileSplitSessionExecutor.Execute, " + message);
      } catch (const EQuillmereError&) {
      }
    }
  }
}

void TBatchFileSplitSessionExecutor::SplitOneFile(const std::string& file_name) {
  FileSession_->SourceFile = file_name;
  // Without a named encoding each file is detected by itself, as a split
  // task without one is when it is loaded.
  const std::string& encoding = BatchSession_->Settings.SourceEncoding;
  FileSession_->Settings.SourceEncoding = encoding.empty() ? DetectEncodingOrEmpty(file_name) : encoding;
  FileSession_->DestFolder = PieceFolder(file_name);
  // Files of one name share a piece folder: the pieces of the one split
  // first are kept, and the later ones are not split.
  TFileIdentity folder;
  if (DirectoryExists(FileSession_->DestFolder) && GetFileIdentity(FileSession_->DestFolder, folder)) {
    auto earlier = PieceFolders_.find(folder);
    if (earlier != PieceFolders_.end())
      throw EQuillmereError("The piece folder \"" + FileSession_->DestFolder + "\" already holds the pieces of \"" +
                            earlier->second + "\" split earlier in this batch.");
  }
  Outputer->Attach();
  try {
    Splitter_->Run();
  } catch (...) {
    ClaimPieceFolder(file_name);
    CountSplit(*Splitter_, Result_);
    throw;
  }
  ClaimPieceFolder(file_name);
  CountSplit(*Splitter_, Result_);
}

void TBatchFileSplitSessionExecutor::ClaimPieceFolder(const std::string& file_name) {
  // A split that failed before it cleared or created the folder leaves it to
  // the next file of that name.
  TFileIdentity folder;
  if (Splitter_->DestinationTouched() && DirectoryExists(FileSession_->DestFolder) &&
      GetFileIdentity(FileSession_->DestFolder, folder))
    PieceFolders_.emplace(folder, file_name);
}

void TBatchFileSplitSessionExecutor::Stop() {
  Stopped_ = true;
  if (Splitter_) Splitter_->Stop();
  if (Outputer != nullptr) Outputer->WriteMessage("Stopped");
}
