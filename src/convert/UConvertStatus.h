// Counters, times and texts of one conversion run, and the events through
// which the run reports to an outputer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TConvertStatus;

// An event handler bound to its object; receives the status as sender.
using TStatusEvent = std::function<void(TConvertStatus&)>;

class TConvertStatus {
 public:
  TConvertStatus() = default;
  TConvertStatus(const TConvertStatus&) = delete;
  TConvertStatus& operator=(const TConvertStatus&) = delete;

  // Resets Converted, ErrorCount, Message, ErrorText and FinishNote, takes StartTick and
  // raises OnStart. UnitName, Total, Estimated and the descriptions stay.
  void Start();
  // Takes FinishTick and raises OnFinish.
  void Finish();
  // Milliseconds since Start.
  double ElapsedMs() const;
  // Makes Total the converted count when the total was an estimate, or when
  // it differs and no record failed.
  void FixTotal();

  // Calls the handler when one is assigned.
  void Raise(const TStatusEvent& event) {
    if (event) event(*this);
  }

  // Where a run stands beyond its counters, for a progress report.
  struct TMeasure {
    int64_t BytesRead = 0;    // of the source, as it lies on disk or comes through a pipe
    int64_t BytesTotal = -1;  // the source's size; -1 when it cannot tell (a pipe)
    int64_t Pieces = 0;       // created so far
  };

  TStatusEvent OnStart, OnFinish, OnRecordError, OnMessage, OnProgress, OnBeforePrepare, OnAfterPrepare;
  // Set by the converter and asked only when a report wants it, never per
  // record; empty when the converter has nothing to tell.
  std::function<TMeasure()> Measure;
  std::string UnitName;
  bool Estimated = false;
  int64_t Total = 0;  // -1: no total known
  int64_t Converted = 0;
  int64_t ErrorCount = 0;
  double StartTick = 0;
  double FinishTick = 0;
  std::string Message;
  std::string ErrorText;
  std::string FromDesc;
  std::string ToDesc;
  // A line the outputer writes after the summary; empty for none. Reset by
  // Start.
  std::string FinishNote;
};
