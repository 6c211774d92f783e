#include "execution/UFileSplitSessionExecutor.h"

#include "app/UUIAgent.h"
#include "convert/UFileSizeFileSplitter.h"
#include "convert/ULinesFileSplitter.h"
#include "convert/USymbolFileSplitter.h"
#include "execution/UConvertOutputer.h"
#include "log/ULog.h"
#include "log/ULogger.h"
#include "tasks/UFileSplitSession.h"
#include "util/UErrors.h"

std::unique_ptr<TFileSplitter> CreateSplitter(const TNamedChoice<TSplitRule>& rule, const TSplitterSizes& sizes) {
  switch (rule.Value()) {
    case srLines:
      return std::make_unique<TLinesFileSplitter>(sizes);
    case srFileSize:
      return std::make_unique<TFileSizeFileSplitter>(sizes);
    case srSymbol:
      return std::make_unique<TSymbolFileSplitter>(sizes);
    case srUnknown:
      break;
  }
  throw EQuillmereError("Unknown split rule \"" + rule.Text() +
                        "\": SplitByType must be \"Lines\", \"File Size\" or \"Symbol\".");
}

void CountSplit(const TFileSplitter& splitter, TTaskResult& result) {
  result.Pieces += splitter.PiecesCreated();
  result.Records += splitter.Status().Converted;
  result.RecordsFailed += splitter.Status().ErrorCount;
  result.CharactersReplaced += splitter.CharactersReplaced();
}

TFileSplitSessionExecutor::TFileSplitSessionExecutor() = default;

TFileSplitSessionExecutor::~TFileSplitSessionExecutor() = default;

bool TFileSplitSessionExecutor::Execute() {
  auto* session = dynamic_cast<TFileSplitSession*>(Session);
  if (session == nullptr) throw EInvalidCast();
  Splitter_ = CreateSplitter(session->Settings.SplitByType, SplitterSizes);
  Splitter_->Session = session;
  auto* outputer = dynamic_cast<TConvertOutputer*>(Outputer);
  if (outputer == nullptr) throw EInvalidCast();
  outputer->Status = &Splitter_->Status();
  outputer->Attach();
  bool result = false;
  try {
    result = Splitter_->Run();
  } catch (const EQuillmereError& e) {
    outputer->WriteError(e.what());
    // The log file now holds the failure. An exception log that cannot be
    // written (its folder missing, the usual state on a new machine) must
    // not turn it into a second, unrelated failure of the task.
    try {
      TLog::Global().Error(std::string("In TFileSplitSessionExecutor.Execute, ") + e.what());
    } catch (const EQuillmereError&) {
    }
    result = false;
  }
  Result_.Completed = result && !Splitter_->Stopped();
  CountSplit(*Splitter_, Result_);
  if (UIAgent != nullptr) UIAgent->NotifyTaskEnd("File Split Has Exception.");
  return result;
}

void TFileSplitSessionExecutor::Refuse() {
  auto* session = dynamic_cast<TFileSplitSession*>(Session);
  if (session == nullptr) throw EInvalidCast();
  TFileSplitter::RemoveManifest(session->DestFolder);
}

void TFileSplitSessionExecutor::Stop() {
  if (Splitter_) Splitter_->Stop();
}
