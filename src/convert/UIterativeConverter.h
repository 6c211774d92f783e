// The record-by-record engine behind every split: prepare, then fetch and
// convert records until the source is exhausted or a stop condition holds.
// A failed record is counted and reported; the run goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "convert/UConvertStatus.h"

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
  // Asks the loop to end before the next record.
  void Stop() { Stopped_ = true; }
  // Reports one failed record (the caller has already counted it): sets
  // ErrorText, raises OnRecordError, and logs the first five of a run.
  void RecordError(const std::string& record_label, const EQuillmereError& error);

  TConvertStatus& Status() { return *Status_; }
  const TConvertStatus& Status() const { return *Status_; }
  int64_t MaxErrorCount() const { return MaxErrorCount_; }
  void SetMaxErrorCount(int64_t count) { MaxErrorCount_ = count; }
  bool Stopped() const { return Stopped_; }
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

  bool ShouldStop();

 private:
  void RecordLoop();

  double StartTick_ = 0;
  bool Stopped_ = false;
  int64_t MaxErrorCount_ = 0;
  std::unique_ptr<TConvertStatus> Status_;
  int64_t LoggedErrorCount_ = 0;
  int64_t RecordIndex_ = 0;
  const char* CurrentStep_ = "";
};
