#include "convert/UIterativeConverter.h"

#include "log/ULog.h"
#include "log/ULogger.h"
#include "util/UErrors.h"

TIterativeConverter::TIterativeConverter() : Status_(std::make_unique<TConvertStatus>()) {}

TIterativeConverter::~TIterativeConverter() { Stop(); }

bool TIterativeConverter::Run() {
  try {
    Status_->Raise(Status_->OnBeforePrepare);
    try {
      Prepare();
    } catch (...) {
      Status_->Raise(Status_->OnAfterPrepare);
      throw;
    }
    Status_->Raise(Status_->OnAfterPrepare);
    if (!SkipConvert()) {
      BeginConvert();
      RecordLoop();
      EndConvert();
    }
  } catch (...) {
    CleanUp();
    throw;
  }
  CleanUp();
  return true;
}

void TIterativeConverter::BeginConvert() {
  LoopEnd_ = TLoopEnd::None;  // a stop requested during Prepare is forgotten
  LoggedErrorCount_ = 0;
  CalculateTotal();
  Status_->Start();
}

bool TIterativeConverter::ErrorLimitExceeded() {
  if (Status_->ErrorCount <= MaxErrorCount_) return false;
  Status_->Message = "Maxinum error count (" + std::to_string(MaxErrorCount_) + ") exceeded. ";
  TLog::Global().Debug(Status_->Message);
  Status_->Raise(Status_->OnMessage);
  return true;
}

void TIterativeConverter::EndConvert() {
  if (LoopEnd_ != TLoopEnd::Stopped) Status_->FixTotal();
  Status_->Finish();
}

void TIterativeConverter::RecordError(const std::string& record_label, const EQuillmereError& error) {
  Status_->ErrorText = record_label + "\r\n" + error.what();
  Status_->Raise(Status_->OnRecordError);
  if (LoggedErrorCount_ < 5) {
    ++LoggedErrorCount_;
    // The record is already counted and reported; an exception log that
    // cannot be written (its folder missing) must not end the run.
    try {
      TLog::Global().Error(error.what());
    } catch (const EQuillmereError&) {
    }
  }
}
