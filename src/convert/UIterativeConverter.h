// The record-by-record engine behind every split: prepare, then fetch and
// convert records until the source is exhausted or a stop condition holds.
// A failed record is counted and reported; the run goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "convert/UConvertStatus.h"
#include "util/UStopSignal.h"
#include "util/UTimeUtils.h"

class EQuillmereError;

class TIterativeConverter {
 public:
  TIterativeConverter();
  TIterativeConverter(const TIterativeConverter&) = delete;
  TIterativeConverter& operator=(const TIterativeConverter&) = delete;
  virtual ~TIterativeConverter();

  // The whole conversion: Prepare (events around it), begin, the record loop,
  // end, and always CleanUp. Returns true; a failure outside a single record
  // leaves as an exception after CleanUp.
  bool Run();
  // Asks the loop to end before the next record. A stop signal (StopSignal)
  // asks the same.
  void Stop() { LoopEnd_ = TLoopEnd::Stopped; }
  // Reports one failed record (the caller has already counted it): sets
  // ErrorText, raises OnRecordError, and logs the first five of a run.
  void RecordError(const std::string& record_label, const EQuillmereError& error);

  TConvertStatus& Status() { return *Status_; }
  const TConvertStatus& Status() const { return *Status_; }
  int64_t MaxErrorCount() const { return MaxErrorCount_; }
  void SetMaxErrorCount(int64_t count) { MaxErrorCount_ = count; }
  bool Stopped() const { return LoopEnd_ == TLoopEnd::Stopped; }
  int64_t RecordIndex() const { return RecordIndex_; }
  const char* CurrentStep() const { return CurrentStep_; }

 protected:
  virtual void Prepare() {}
  virtual void BeginConvert();
  virtual void DoAfterConvertAll() {}
  virtual void EndConvert();
  virtual void CleanUp() {}
  virtual bool SkipConvert() { return false; }
  virtual bool HasNext() = 0;
  virtual void Next() = 0;
  // Converts the fetched record; catches its own failures and reports them
  // through RecordError.
  virtual void ConvertOneRecord() = 0;
  virtual void DoAfterConvertSome() { ++RecordIndex_; }
  // While true, the total is no stop bound.
  virtual bool IsTotalUncertain() { return Status_->Total == -1; }
  virtual void CalculateTotal() = 0;

  bool ShouldStop() { return ShouldStopFor(*this); }
  // Ends the loop before the next record as the error limit does: unlike
  // after a stop request, the total is still corrected.
  void EndLoop() {
    if (LoopEnd_ == TLoopEnd::None) LoopEnd_ = TLoopEnd::Ended;
  }

  // The record loop. Its steps run once per record: a descendant whose steps
  // are final overrides this with RunRecordLoop(*this), which then calls them
  // directly instead of through the virtual table.
  virtual void RecordLoop() { RunRecordLoop(*this); }
  template <class TSelf>
  void RunRecordLoop(TSelf& self);
  // After each record: places the records that follow it which a final
  // descendant can place all at once (none here), counting them with
  // PassRecords.
  void ConvertRecordRun() {}
  // Counts up to Count records placed at once after the current one, each
  // as the record loop counts one: the stop conditions tested before it,
  // Converted and OnProgress after it. Returns how many were counted before
  // a stop condition held; only those may be placed.
  template <class TSelf>
  int64_t PassRecords(TSelf& self, int64_t count);

 private:
  template <class TSelf>
  bool ShouldStopFor(TSelf& self);
  // After a record is converted: Converted and OnProgress, then
  // DoAfterConvertSome.
  template <class TSelf>
  void RecordDone(TSelf& self);
  // Posts the error-limit message; true when the limit is exceeded.
  bool ErrorLimitExceeded();

  // Why the loop ends before the records do, if it does; tested before each
  // record.
  enum class TLoopEnd : uint8_t { None, Stopped, Ended };

  double StartTick_ = 0;
  TLoopEnd LoopEnd_ = TLoopEnd::None;
  int64_t MaxErrorCount_ = 0;
  std::unique_ptr<TConvertStatus> Status_;
  int64_t LoggedErrorCount_ = 0;
  int64_t RecordIndex_ = 0;
  const char* CurrentStep_ = "";
};

template <class TSelf>
bool TIterativeConverter::ShouldStopFor(TSelf& self) {
  if (LoopEnd_ != TLoopEnd::None) return true;
  // A stop signal is a stop request that no one could make from the
  // handler: it is taken up here, between records.
  if (StopSignal != 0) [[unlikely]] {
    Stop();
    return true;
  }
  if (MaxErrorCount_ > 0 && ErrorLimitExceeded()) return true;
  return !self.IsTotalUncertain() && Status_->Total < RecordIndex_;
}

template <class TSelf>
void TIterativeConverter::RunRecordLoop(TSelf& self) {
  RecordIndex_ = 0;
  StartTick_ = NowMs();
  CurrentStep_ = "HasNext";
  while (self.HasNext() && !ShouldStopFor(self)) {
    CurrentStep_ = "Next";
    self.Next();
    CurrentStep_ = "ConvertOneRecord";
    self.ConvertOneRecord();
    CurrentStep_ = "DoAfterConvertSome";
    RecordDone(self);
    self.ConvertRecordRun();
  }
  self.DoAfterConvertAll();
}

template <class TSelf>
void TIterativeConverter::RecordDone(TSelf& self) {
  TConvertStatus& status = *Status_;
  const int64_t converted = RecordIndex_ + 1 - status.ErrorCount;
  status.Converted = converted < 0 ? 0 : converted;
  status.Raise(status.OnProgress);
  self.DoAfterConvertSome();
}

template <class TSelf>
int64_t TIterativeConverter::PassRecords(TSelf& self, int64_t count) {
  int64_t passed = 0;
  for (; passed < count && !ShouldStopFor(self); ++passed) RecordDone(self);
  return passed;
}
